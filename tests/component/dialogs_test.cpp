// The access and shift dialogs behind the C interface, driven through real
// widgets by the ui test driver (the component's objects linked in
// statically, so that the driver and the dialogs share one ui layer).
#include <gtest/gtest.h>

#include <thread>

#include "access/shared_state.h"
#include "dutygate/dutygate.h"
#include "sink_recorder.h"
#include "tests/support/temp_dir.h"
#include "ui_testing/driver.h"

namespace {

using dg::componenttest::Recorder;
namespace uit = dg::ui::testing;
using Lines = std::vector<std::string>;

class DialogTest : public dg::testsupport::TempDirTest {
protected:
    void SetUp() override {
        TempDirTest::SetUp();
        uit::Reset();
        dg::access::strLevel().clear();
        dg::access::strPassword().clear();
    }
    void TearDown() override {
        EXPECT_EQ(uit::PendingActions(), 0u) << "queued actions never ran";
        for (const auto& error : uit::DriverErrors()) ADD_FAILURE() << "driver: " << error;
        uit::Reset();
        dg_process_events(0);
        EXPECT_EQ(DllCanUnloadNow(), DG_S_OK);
        TempDirTest::TearDown();
    }
    static dg_object* Create(const char* progid, Recorder* recorder = nullptr) {
        dg_object* obj = nullptr;
        EXPECT_EQ(dg_create_object(progid, &obj), DG_S_OK) << dg_last_error();
        std::uint32_t cookie = 0;
        if (recorder != nullptr) {
            EXPECT_EQ(dg_advise(obj, &Recorder::Sink, recorder, &cookie), DG_S_OK);
        }
        return obj;
    }
    static dg_status Invoke(dg_object* obj, std::int32_t dispid) {
        dg_variant result{};
        result.vt = DG_VT_I2;
        const dg_status status = dg_invoke(obj, dispid, nullptr, 0, &result);
        EXPECT_EQ(result.vt, DG_VT_EMPTY);
        return status;
    }
};

TEST_F(DialogTest, ALoginReachesTheSinkBeforeShowDialogReturns) {
    Recorder r;
    dg_object* password = Create(DG_PROGID_CLSPASSWORD, &r);
    bool openAtEvent = true;
    r.during = [&] {
        openAtEvent = uit::FormOpen("frmLogin");
        dg_release(password);  // destroyed once ShowDialog has returned
    };
    uit::Click("cmdOK");  // the default password of a fresh database
    ASSERT_EQ(Invoke(password, DG_DISPID_SHOWDIALOG), DG_S_OK) << dg_last_error();
    EXPECT_EQ(r.events, Lines{"1 BackAdmin(I2:1, I2:199)"});
    EXPECT_FALSE(openAtEvent);
    EXPECT_EQ(DllCanUnloadNow(), DG_S_OK);
}

TEST_F(DialogTest, TwoObjectsOnOneThreadShareTheLevelInHand) {
    Recorder ra, rb;
    dg_object* a = Create(DG_PROGID_CLSPASSWORD, &ra);
    dg_object* b = Create(DG_PROGID_CLSPASSWORD, &rb);

    uit::Choose("Combo1", "工程师");
    uit::Click("cmdOK");
    ASSERT_EQ(Invoke(a, DG_DISPID_SHOWDIALOG), DG_S_OK);
    EXPECT_EQ(ra.events, Lines{"1 BackAdmin(I2:2, I2:199)"});

    // b's change-password dialog acts on a's level: a mismatched
    // confirmation reports that level's index.
    uit::Run([] { EXPECT_EQ(uit::TextOf("Combo1"), "工程师"); });
    uit::Focus("Text2");
    uit::Type("Text2", "579");
    uit::Focus("Text1_1");
    uit::Type("Text1_1", "one");
    uit::Type("Text1_2", "two");
    uit::QueueAnswer(dg::ui::Answer::Ok);
    uit::Click("Command1");
    uit::Click("Command2");
    ASSERT_EQ(Invoke(b, DG_DISPID_SHOWREVISE), DG_S_OK);

    // b's logout dialog shows it too.
    uit::Run([] { EXPECT_EQ(uit::TextOf("Combo1"), "工程师"); });
    uit::QueueAnswer(dg::ui::Answer::Yes);
    uit::Click("Command1");
    ASSERT_EQ(Invoke(b, DG_DISPID_SHOWLANDING), DG_S_OK);
    EXPECT_EQ(rb.events, (Lines{"1 BackAdmin(I2:2, I2:199)", "1 BackAdmin(I2:0, I2:200)"}));
    EXPECT_EQ(ra.events.size(), 1u) << "events go to the object whose dialog raised them";
    dg_release(a);
    dg_release(b);
}

TEST_F(DialogTest, ShowSetClassReturnsWithTheDialogOpenUntilTheObjectGoes) {
    dg_object* shift = Create(DG_PROGID_CLSSHIFTCLASS);
    ASSERT_EQ(Invoke(shift, DG_DISPID_SHOWSETCLASS), DG_S_OK) << dg_last_error();
    EXPECT_TRUE(uit::FormOpen("frmClass"));
    EXPECT_GE(dg_process_events(0), 1);

    // Released on another thread: the dialog is closed here, by the next call.
    std::thread([&] { dg_release(shift); }).join();
    EXPECT_TRUE(uit::FormOpen("frmClass"));
    dg_process_events(0);
    EXPECT_FALSE(uit::FormOpen("frmClass"));
}

}  // namespace
