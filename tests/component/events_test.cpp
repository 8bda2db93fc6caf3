// Events through the C interface, with the clock that ShiftClass reads set
// by the test (the component's objects linked in statically).
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "component/core/testing_hooks.h"
#include "dutygate/dutygate.h"
#include "dutygate/dutygate.hpp"
#include "sink_recorder.h"
#include "store/location.h"
#include "store/store.h"
#include "tests/support/temp_dir.h"

namespace {

using dg::componenttest::Recorder;
using Lines = std::vector<std::string>;

const std::int32_t kDay = dg::store::DateTime::FromCivil(2026, 12, 7).day;
const std::string kChange = "1 eventSetClass(I2:4, BSTR:2, BSTR:乙班, DATE:" + std::to_string(kDay) + ")";

dg::shift::ClockReading At0600_20() { return {6 * 3600 + 20, kDay}; }
dg::shift::ClockReading At0601_00() { return {6 * 3600 + 60, kDay}; }

class EventTest : public dg::testsupport::TempDirTest {
protected:
    void SetUp() override {
        TempDirTest::SetUp();
        dg::component::SetClockForTesting(&At0600_20);
        ASSERT_EQ(dg_create_object(DG_PROGID_CLSSHIFTCLASS, &shift_), DG_S_OK) << dg_last_error();
    }
    void TearDown() override {
        if (shift_ != nullptr) dg_release(shift_);
        dg::component::SetClockForTesting(nullptr);
        EXPECT_EQ(DllCanUnloadNow(), DG_S_OK);
        TempDirTest::TearDown();
    }
    std::uint32_t Advise(Recorder& r) {
        std::uint32_t cookie = 0;
        EXPECT_EQ(dg_advise(shift_, &Recorder::Sink, &r, &cookie), DG_S_OK);
        return cookie;
    }
    dg_status Poll() { return dg_invoke(shift_, DG_DISPID_SHIFTCLASS, nullptr, 0, nullptr); }
    // Past the change window and back into it: the next poll announces again.
    void Rearm() {
        dg::component::SetClockForTesting(&At0601_00);
        EXPECT_EQ(Poll(), DG_S_OK);
        dg::component::SetClockForTesting(&At0600_20);
    }

    dg_object* shift_ = nullptr;
};

TEST_F(EventTest, AShiftChangeArrivesOnceWithTypedArguments) {
    Recorder r;
    Advise(r);
    dg_variant result{};
    result.vt = DG_VT_I2;
    ASSERT_EQ(dg_invoke(shift_, DG_DISPID_SHIFTCLASS, nullptr, 0, &result), DG_S_OK);
    EXPECT_EQ(result.vt, DG_VT_EMPTY);
    EXPECT_EQ(r.events, Lines{kChange});  // the shift number as text, the date without a time
    EXPECT_EQ(Poll(), DG_S_OK);
    EXPECT_EQ(r.events.size(), 1u) << "announced twice in one minute";
    Rearm();
    EXPECT_EQ(Poll(), DG_S_OK);
    EXPECT_EQ(r.events.size(), 2u);
}

TEST_F(EventTest, EverySinkInOrderAndUnadviseDuringTheEvent) {
    std::vector<int> order;
    Recorder first, second, third;
    const std::uint32_t firstCookie = Advise(first);
    Advise(second);
    const std::uint32_t thirdCookie = Advise(third);
    first.during = [&] {
        order.push_back(1);
        EXPECT_EQ(dg_unadvise(shift_, firstCookie), DG_S_OK);  // itself
    };
    bool rearranged = false;
    second.during = [&] {
        order.push_back(2);
        if (std::exchange(rearranged, true)) return;
        EXPECT_EQ(dg_unadvise(shift_, thirdCookie), DG_S_OK);  // one not yet called
        std::uint32_t late = 0;
        EXPECT_EQ(dg_advise(shift_, &Recorder::Sink, &third, &late), DG_S_OK);  // for the next event only
    };
    third.during = [&] { order.push_back(3); };
    ASSERT_EQ(Poll(), DG_S_OK);
    EXPECT_EQ(order, (std::vector<int>{1, 2}));
    Rearm();
    ASSERT_EQ(Poll(), DG_S_OK);
    EXPECT_EQ(order, (std::vector<int>{1, 2, 2, 3}));
}

TEST_F(EventTest, ASinkMayCallTheObjectAgainOrReleaseIt) {
    Recorder r, later;
    r.during = [&] {
        std::int32_t id = 0;
        EXPECT_EQ(dg_get_dispid(shift_, "ShiftClass", &id), DG_S_OK);
        EXPECT_EQ(dg_invoke(shift_, id, nullptr, 0, nullptr), DG_S_OK);
        EXPECT_EQ(dg_release(shift_), 0u);
        EXPECT_EQ(DllCanUnloadNow(), DG_S_FALSE) << "destroyed under its own event";
    };
    Advise(r);
    Advise(later);
    ASSERT_EQ(Poll(), DG_S_OK);
    shift_ = nullptr;
    EXPECT_EQ(r.events.size(), 1u);
    EXPECT_EQ(later.events.size(), 1u) << "the other sinks still get the event";
    EXPECT_EQ(DllCanUnloadNow(), DG_S_OK);
}

TEST_F(EventTest, ACalculationFailureComesBackAsItsStatus) {
    {
        dg::store::Connection connection(dg::store::kOpenConnectionString);
        dg::store::Recordset row(connection, "tblClassTime");
        row.Set("班制", dg::store::Value(5));
        row.Update();
    }
    dg_object* bad = nullptr;
    ASSERT_EQ(dg_create_object(DG_PROGID_CLSSHIFTCLASS, &bad), DG_S_OK);
    EXPECT_EQ(dg_invoke(bad, DG_DISPID_SHIFTCLASS, nullptr, 0, nullptr), DG_E_OUT_OF_RANGE);
    EXPECT_STRNE(dg_last_error(), "");
    dg_release(bad);
}

TEST_F(EventTest, TheCppLayerConnectsHandlersAndThrowsStatuses) {
    dg_add_ref(shift_);
    const dutygate::Object shift = dutygate::Object::Adopt(shift_);
    Lines seen;
    dutygate::Connection link;
    link = shift.Advise([&](const dutygate::Event& e) {
        seen.push_back(std::string(e.name) + " " + std::string(e.Bstr(1)) + " " + std::string(e.Bstr(2)));
        link.Disconnect();  // its own connection, from inside
    });
    shift.Call("ShiftClass");
    EXPECT_EQ(seen, Lines{"eventSetClass 2 乙班"});
    EXPECT_FALSE(link.Connected());
    try {
        shift.Call("Nothing");
        ADD_FAILURE() << "no exception";
    } catch (const dutygate::Error& e) {
        EXPECT_EQ(e.status(), DG_E_UNKNOWN_NAME);
    }
}

}  // namespace
