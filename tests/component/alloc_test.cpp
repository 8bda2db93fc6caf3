// Polling through the C interface uses no heap when no change is announced:
// a counting global allocator (which libdutygate's calls reach too) watches.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "dutygate/dutygate.h"
#include "tests/support/temp_dir.h"

namespace {
std::atomic<long> allocations{0};
int events = 0;
void Sink(void*, std::int32_t, const char*, const dg_variant*, std::uint32_t) { ++events; }
}  // namespace

void* operator new(std::size_t size) {
    allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace {

using AllocationTest = dg::testsupport::TempDirTest;

TEST_F(AllocationTest, TheDispatchPathAllocatesNothing) {
    dg_object* shift = nullptr;
    const long atStart = allocations.load();
    ASSERT_EQ(dg_create_object(DG_PROGID_CLSSHIFTCLASS, &shift), DG_S_OK);
    ASSERT_GT(allocations.load(), atStart) << "the counter does not see the library's allocations";
    std::uint32_t cookie = 0;
    ASSERT_EQ(dg_advise(shift, &Sink, nullptr, &cookie), DG_S_OK);
    dg_variant result{};
    ASSERT_EQ(dg_invoke(shift, DG_DISPID_SHIFTCLASS, nullptr, 0, &result), DG_S_OK);  // loads the time zone

    // A round in which the real clock met a change time (whose event may
    // allocate) is run again.
    long used = 0;
    for (int round = 0, before = events; round < 3 && (round == 0 || events != before); ++round) {
        before = events;
        const long start = allocations.load();
        for (int i = 0; i < 1000; ++i) {
            std::int32_t id = 0;
            ASSERT_EQ(dg_get_dispid(shift, "ShiftClass", &id), DG_S_OK);
            dg_add_ref(shift);
            ASSERT_EQ(dg_invoke(shift, id, nullptr, 0, &result), DG_S_OK);
            dg_release(shift);
        }
        used = allocations.load() - start;
    }
    EXPECT_EQ(used, 0);
    dg_release(shift);
}

}  // namespace
