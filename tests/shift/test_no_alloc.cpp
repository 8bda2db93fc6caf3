// The poll must not use the heap when no change is announced: a counting
// global allocator watches the calls.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "shift/clsShiftClass.h"
#include "support/temp_dir.h"

namespace {
std::atomic<long> g_allocations{0};
}

void* operator new(std::size_t size) {
    g_allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

using namespace dg::shift;

class ShiftPollAllocationTest : public dg::testsupport::TempDirTest {};

TEST_F(ShiftPollAllocationTest, PollingWithoutAnAnnouncementAllocatesNothing) {
    clsShiftClass controller;
    int events = 0;
    controller.eventSetClass.Connect([&](std::int16_t, const std::string&, const std::string&, double) { ++events; });
    const ClockReading outside{10 * 3600 + 30, 46363};
    controller.ShiftClassAt(outside);
    controller.ShiftClass();  // loads the time zone data once

    long before = g_allocations.load();
    for (int i = 0; i < 1000; ++i) controller.ShiftClassAt({outside.secondsOfDay + i % 60, outside.today});
    EXPECT_EQ(g_allocations.load() - before, 0);

    // Inside a window whose change has been announced already. (The real
    // clock above may itself have been in a change window.)
    events = 0;
    controller.ShiftClassAt({6 * 3600 + 5, 46363});
    EXPECT_EQ(events, 1);
    before = g_allocations.load();
    for (int i = 0; i < 100; ++i) controller.ShiftClassAt({6 * 3600 + 6 + i % 50, 46363});
    EXPECT_EQ(g_allocations.load() - before, 0);

    // The real clock, on a controller nobody listens to.
    clsShiftClass quiet;
    quiet.ShiftClass();
    before = g_allocations.load();
    for (int i = 0; i < 1000; ++i) quiet.ShiftClass();
    EXPECT_EQ(g_allocations.load() - before, 0);
}
