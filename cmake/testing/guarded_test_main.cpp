// The main of every test program but the viewer's (which brings its own with
// a QApplication): tests reach loopback cameras only and draw offscreen,
// however they are started: through ctest with or without a preset, through
// test discovery, or by hand.
#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv) {
    ::setenv("TAVOLIN_LOOPBACK_ONLY", "1", 1);
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
