// The exported names; each forwards to the C++ operations and lets nothing
// escape across the boundary.
#include "catalogue.h"
#include "operations.h"

extern "C" {

TILTRA_API int PTZStartup(void) { return 1; }
TILTRA_API int PTZCleanup(void) { return 1; }

TILTRA_API PTZHandle PTZOpenInterface(const PTZOpenRecord* record) { return tiltra::openBuiltin(record); }

TILTRA_API PTZHandle PTZOpenInterfaceWithFile(const PTZOpenRecord* record) { return tiltra::openFile(record); }

TILTRA_API int PTZCloseInterface(PTZHandle handle) {
    tiltra::close(handle);
    return 1;
}

TILTRA_API PTZHandle PTZSetServerHandle(PTZHandle handle, int value) {
    if (handle) handle->serverHandle = value;
    return handle;
}

TILTRA_API int PTZGetMousePTZ(PTZHandle handle) { return handle ? handle->attributes.mousePtz : 0; }

TILTRA_API const char* PTZEnumerate(PTZHandle handle, int kind, int* length) {
    return tiltra::enumerate(handle, kind, length);
}

TILTRA_API const char* PTZEnumerateProtocol(const char* vendor, int* length) {
    return tiltra::listProtocols(vendor, length);
}

TILTRA_API const unsigned char* PTZGetString(PTZHandle handle, const char* command, int param1, int param2,
                                             int* count) {
    return tiltra::getString(handle, command, param1, param2, count);
}

TILTRA_API const char* PTZGetStringURL(PTZHandle handle, const char* command, int param1, int param2, int* count) {
    return tiltra::getStringUrl(handle, command, param1, param2, count);
}

TILTRA_API const char* GetURLCommand(const char* ip, const char* user, const char* password, const char* hex) {
    return tiltra::urlCommand(ip, user, password, hex);
}

TILTRA_API const void* PTZMove(PTZHandle handle, int code, int param1, int param2, int* count) {
    return tiltra::move(handle, code, param1, param2, count);
}

TILTRA_API const void* PTZZoom(PTZHandle handle, int code, int* count) { return tiltra::zoom(handle, code, count); }

TILTRA_API const void* PTZFocus(PTZHandle handle, int code) { return tiltra::focus(handle, code); }
TILTRA_API const void* PTZIris(PTZHandle handle, int code) { return tiltra::iris(handle, code); }
TILTRA_API const void* PTZOSD(PTZHandle handle, int code) { return tiltra::osd(handle, code); }

TILTRA_API int PTZPreset(PTZHandle handle, int code, int number) { return tiltra::preset(handle, code, number); }

TILTRA_API int PTZDayNight(PTZHandle handle, int code) { return tiltra::dayNight(handle, code); }
TILTRA_API int PTZBLC(PTZHandle handle, int code) { return tiltra::blc(handle, code); }

} // extern "C"
