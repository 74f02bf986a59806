# Installation and the Debian package.
#
# One private tree holds the programs and libraries exactly as the build tree
# does (bin/ beside lib/, RPATH $ORIGIN/../lib), so plug-ins are found by name
# wherever the tree is unpacked; <prefix>/bin only links into it.
#
#   <prefix>/lib/tavolin/bin/      Tavolin, tavolin-today, tavolin-watch, tavolin-camsim
#   <prefix>/lib/tavolin/bin/protocol -> ../../../share/tavolin/protocol
#   <prefix>/lib/tavolin/lib/      libraries and plug-ins
#   <prefix>/lib/tavolin/device/   the handheld's "\" for tavolin-today:
#       Program Files/Tavolin/Tavolin -> ../../../bin/Tavolin
#   <prefix>/bin/<program>         -> ../lib/tavolin/bin/<program>
#   <prefix>/share/tavolin/protocol/*.ptz, desktop entries, icons, docs

include(GNUInstallDirs)

set(TAVOLIN_PRIVATE_DIR lib/tavolin)
set(TAVOLIN_PROGRAMS Tavolin tavolin-today tavolin-watch tavolin-camsim)
# Every library and plug-in made with tavolin_shared_library.
get_property(TAVOLIN_LIBRARIES GLOBAL PROPERTY TAVOLIN_SHARED_LIBRARIES)

foreach(program ${TAVOLIN_PROGRAMS})
  if(TARGET ${program})
    install(TARGETS ${program} RUNTIME DESTINATION ${TAVOLIN_PRIVATE_DIR}/bin)
    install(CODE "
      file(MAKE_DIRECTORY \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/bin\")
      file(CREATE_LINK ../${TAVOLIN_PRIVATE_DIR}/bin/${program}
           \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/bin/${program}\" SYMBOLIC)")
  endif()
endforeach()
foreach(library ${TAVOLIN_LIBRARIES})
  if(TARGET ${library})
    install(TARGETS ${library} LIBRARY DESTINATION ${TAVOLIN_PRIVATE_DIR}/lib)
  endif()
endforeach()

install(DIRECTORY ${CMAKE_SOURCE_DIR}/ptz/protocol/ DESTINATION share/tavolin/protocol
  FILES_MATCHING PATTERN "*.ptz")
install(CODE "
  set(private \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${TAVOLIN_PRIVATE_DIR}\")
  file(MAKE_DIRECTORY \"\${private}/bin\" \"\${private}/device/Program Files/Tavolin\")
  file(CREATE_LINK ../../../share/tavolin/protocol \"\${private}/bin/protocol\" SYMBOLIC)
  file(CREATE_LINK ../../../bin/Tavolin \"\${private}/device/Program Files/Tavolin/Tavolin\" SYMBOLIC)")

install(FILES packaging/tavolin.desktop packaging/tavolin-today.desktop DESTINATION share/applications)
install(FILES viewer/resources/app.png DESTINATION share/icons/hicolor/48x48/apps RENAME tavolin.png)
install(FILES today/icons/tavolin-today.png DESTINATION share/icons/hicolor/48x48/apps)
install(FILES packaging/copyright DESTINATION share/doc/tavolin)
# Debian wants the change log compressed, byte-for-byte reproducible.
set(changelog_gz ${CMAKE_BINARY_DIR}/packaging/changelog.gz)
add_custom_command(OUTPUT ${changelog_gz}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/packaging
  COMMAND gzip -9n < ${CMAKE_SOURCE_DIR}/packaging/changelog > ${changelog_gz}
  DEPENDS ${CMAKE_SOURCE_DIR}/packaging/changelog)
add_custom_target(tavolin_changelog ALL DEPENDS ${changelog_gz})
install(FILES ${changelog_gz} DESTINATION share/doc/tavolin)
# Manual pages, compressed the same way.
foreach(program ${TAVOLIN_PROGRAMS})
  set(page_gz ${CMAKE_BINARY_DIR}/packaging/man/${program}.1.gz)
  add_custom_command(OUTPUT ${page_gz}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/packaging/man
    COMMAND gzip -9n < ${CMAKE_SOURCE_DIR}/packaging/man/${program}.1 > ${page_gz}
    DEPENDS ${CMAKE_SOURCE_DIR}/packaging/man/${program}.1)
  list(APPEND manual_pages ${page_gz})
endforeach()
add_custom_target(tavolin_manual_pages ALL DEPENDS ${manual_pages})
install(FILES ${manual_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# The Debian package: the same tree under /usr.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tavolin)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_CONTACT "Tavolin developers <tavolin@tavolin.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "viewer for network video cameras")
# CPack puts the summary first and indents these lines.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Tavolin keeps a list of 16 network cameras and shows the live video of one
of them (MPEG-4, and H.264, H.265 or Motion JPEG from RTSP and ONVIF
cameras), with pan, tilt and zoom control, presets, the camera's on-screen
menu, events, two-way audio and stepping through a group of cameras. A
launcher strip starts the viewer with one tap.")
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The simulated RTSP camera (tavolin-camsim --rtsp) builds its pipelines from
# these plug-ins at run time; nothing else needs them.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "gstreamer1.0-plugins-base, gstreamer1.0-plugins-good, gstreamer1.0-plugins-bad, gstreamer1.0-plugins-ugly")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_BINARY_DIR}/lib)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
include(CPack)
