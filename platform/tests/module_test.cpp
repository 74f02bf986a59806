#include "platform/module.h"

#include <gtest/gtest.h>

namespace {

TEST(ModuleTest, BareNameBecomesLibraryFileName) {
    EXPECT_EQ(platform::Module::fileNameFor("Fenwa20-M"), "libFenwa20-M.so");
}

TEST(ModuleTest, MissingModuleFailsWithReason) {
    platform::Module m;
    EXPECT_FALSE(m.load("NoSuchPlugin-X"));
    EXPECT_FALSE(m.isLoaded());
    EXPECT_FALSE(m.error().empty());
    EXPECT_EQ(m.symbol("anything"), nullptr);
}

TEST(ModuleTest, NameWithPathIsRefused) {
    platform::Module m;
    EXPECT_FALSE(m.load("../lib/libc"));
    EXPECT_FALSE(m.load(""));
}

TEST(ModuleTest, SystemLibraryLoadsAndResolvesByName) {
    platform::Module m;
    ASSERT_TRUE(m.loadPath("libm.so.6")) << m.error();
    EXPECT_NE(m.symbol("cos"), nullptr);
    EXPECT_EQ(m.symbol("no_such_function_here"), nullptr);
    m.unload();
    EXPECT_FALSE(m.isLoaded());
}

} // namespace
