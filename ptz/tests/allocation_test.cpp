// Command requests walk the stored lines with fixed buffers only; a request
// that allocated would show up here.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "ptz_test_support.h"

namespace {
std::atomic<long> gAllocations{0};
}

// Every form the library or the tests use goes through the counter, so that
// allocation and release always meet the same allocator.
namespace {
void* counted(std::size_t size) noexcept {
    gAllocations.fetch_add(1, std::memory_order_relaxed);
    return std::malloc(size == 0 ? 1 : size);
}
} // namespace

// The replacements below pair malloc with free; GCC, once it inlines a
// test's new and delete, only sees "new" meeting "free".
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

void* operator new(std::size_t size) {
    if (void* p = counted(size)) return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) {
    if (void* p = counted(size)) return p;
    throw std::bad_alloc();
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return counted(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return counted(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }

namespace {

using tiltra::test::Handle;

class Allocations : public tiltra::test::ProtocolFolder {};

TEST_F(Allocations, RequestsAllocateNothing) {
    const std::string path = std::string(TILTRA_PROTOCOL_DIR) + "/Pelco-D.ptz";
    const long beforeOpen = gAllocations.load();
    Handle h = openFile(path, 3, 2, "127.0.0.1", "u", "p");
    ASSERT_NE(h, nullptr);
    // Opening stores the lines, so the counter does see the library.
    ASSERT_GT(gAllocations.load(), beforeOpen + 100);
    int count = 0;
    const long before = gAllocations.load();
    EXPECT_NE(PTZGetString(h.get(), "OSDLEAVE", 0, 0, &count), nullptr);
    EXPECT_NE(PTZGetStringURL(h.get(), "PRESETGOTO", 8, 0, &count), nullptr);
    EXPECT_EQ(PTZGetString(h.get(), "NOSUCHCOMMAND", 0, 0, &count), nullptr);
    EXPECT_NE(PTZMove(h.get(), 2, 3, 0, &count), nullptr);
    EXPECT_NE(PTZMove(h.get(), 6, 0, 0, &count), nullptr);
    EXPECT_NE(PTZZoom(h.get(), 28, &count), nullptr);
    EXPECT_NE(PTZZoom(h.get(), 30, &count), nullptr);
    EXPECT_NE(PTZOSD(h.get(), 10), nullptr);
    EXPECT_EQ(PTZPreset(h.get(), 25, 1), 0);
    EXPECT_NE(PTZEnumerate(h.get(), 1, &count), nullptr);
    EXPECT_NE(PTZEnumerate(h.get(), 2, &count), nullptr);
    EXPECT_NE(GetURLCommand("127.0.0.1", "u", "p", "FF"), nullptr);
    EXPECT_EQ(gAllocations.load(), before);
}

} // namespace
