// The logic's tests need an event loop for queued signals and timers, and no
// widget: one QCoreApplication for the whole run. They only ever reach
// loopback cameras, whoever starts them.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <cstdlib>

int main(int argc, char** argv) {
    ::setenv("TAVOLIN_LOOPBACK_ONLY", "1", 1);
    ::testing::InitGoogleTest(&argc, argv);
    QCoreApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
