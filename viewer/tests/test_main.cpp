// Viewer tests drive real widgets, so one QApplication lives for the whole run.
// They run offscreen, and only ever reach loopback cameras, whoever starts them
// (ctest, test discovery or a developer by hand).
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    ::setenv("TAVOLIN_LOOPBACK_ONLY", "1", 1);
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
