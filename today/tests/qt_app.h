// One QApplication for the Qt tests of this executable, made before the
// first test and destroyed after the last one, while Qt's own globals (and
// the font caches it frees) are still there.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <memory>

class QtApplicationEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        if (QApplication::instance() == nullptr) app_ = std::make_unique<QApplication>(argc_, argv_);
    }
    void TearDown() override { app_.reset(); }

private:
    int argc_ = 1;
    char name_[12] = "today_tests";
    char* argv_[2] = {name_, nullptr};
    std::unique_ptr<QApplication> app_;
};

inline ::testing::Environment* const qtApplicationEnvironment =
    ::testing::AddGlobalTestEnvironment(new QtApplicationEnvironment);

inline void ensureQtApplication() {
    // The environment has made it; nothing to do but to be sure.
    ASSERT_NE(QApplication::instance(), nullptr);
}
