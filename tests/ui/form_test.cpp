// Forms: loading, showing, closing and the window's keys.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "test_form.h"
#include "ui/app.h"
#include "ui/errors.h"
#include "ui_testing/driver.h"

namespace dg::ui {
namespace {

namespace t = dg::ui::testing;
using test::TestForm;
using test::TestFormOptions;

class FormTest : public ::testing::Test {
protected:
    void SetUp() override { t::Reset(); }
    void TearDown() override {
        EXPECT_TRUE(t::DriverErrors().empty()) << t::DriverErrors().front();
        EXPECT_EQ(t::PendingActions(), 0u);
        t::Reset();
        ProcessEvents(0);  // windows of unloaded forms go
    }
};

int ExistingWindows(const std::string& name) { return t::WindowsOf(name); }

int VisibleWindows(const std::string& name) {
    const auto open = t::OpenForms();
    return static_cast<int>(std::count(open.begin(), open.end(), name));
}

TEST_F(FormTest, UnloadDiscardsControlsButKeepsTheFormObject) {
    TestForm form;
    form.Load();
    EXPECT_TRUE(form.Loaded());
    EXPECT_FALSE(form.Visible());
    form.txtName.SetText("李四");
    form.UpDown1.SetValue(2);
    TextBox oldHandle = form.txtName;

    EXPECT_EQ(ExistingWindows("frmTest"), 1);
    form.Unload();
    EXPECT_FALSE(form.Loaded());
    EXPECT_EQ(ExistingWindows("frmTest"), 0);  // the window is gone, not hidden
    EXPECT_FALSE(oldHandle.Valid());
    EXPECT_THROW(oldHandle.Text(), UiError);  // reads too
    EXPECT_EQ(form.queries, (std::vector<CloseOrigin>{CloseOrigin::Code}));
    EXPECT_EQ(form.log.back(), "unload");

    form.Load();  // design-time contents again; the form's own variables stay
    EXPECT_EQ(form.txtName.Text(), "张三");
    EXPECT_EQ(form.UpDown1.Value(), 0);
    EXPECT_EQ(form.loads, 2);
    EXPECT_FALSE(oldHandle.Valid());
    form.Unload();
    form.Unload();  // not loaded: nothing happens
    EXPECT_EQ(form.queries.size(), 2u);
}

TEST_F(FormTest, ShowModalBlocksWhileHandlersRun) {
    TestForm form;
    bool sawItOpen = false;
    form.onOk = [&] {
        sawItOpen = t::FormOpen("frmTest") && form.Visible();
        form.Unload();
    };
    t::Type("txtName", "abc");
    t::Click("cmdOK");
    form.ShowModal();  // returns only once the OK handler has closed it
    EXPECT_TRUE(sawItOpen);
    EXPECT_FALSE(form.Loaded());
    // The box opened with the focus and its text selected: typing replaced it.
    // The click took the focus from it before the click handler ran.
    EXPECT_EQ(form.log,
              (std::vector<std::string>{"load", "name:a", "name:ab", "name:abc", "name-lost", "ok", "unload"}));
}

TEST_F(FormTest, WindowCarriesNameCaptionSizeFocusAndCloseButtonOnly) {
    TestForm form;
    t::Run([&] {
        EXPECT_EQ(t::CaptionOf("frmTest"), "测试窗体");
        EXPECT_EQ(t::GeometryOf("frmTest"), (t::PixelRect{0, 0, 320, 240}));
        // A control in a frame sits relative to the frame (at 8, 32 on the form).
        EXPECT_EQ(t::GeometryOf("txtName"), (t::PixelRect{8 + 16, 32 + 20, 133, 24}));
        EXPECT_TRUE(t::GeometryOf("UpDown1_0").has_value());  // array element: name_index
        EXPECT_TRUE(form.txtName.HasFocus());                 // first in tab order that takes the focus (not lblTitle)
        form.Unload();
    });
    form.ShowModal();
}

TEST_F(FormTest, ShowModelessReturnsAndASecondShowLeavesOneWindow) {
    TestForm form;
    form.ShowModeless();
    EXPECT_TRUE(form.Visible());
    form.ShowModeless();
    EXPECT_EQ(form.loads, 1);
    EXPECT_EQ(VisibleWindows("frmTest"), 1);
    EXPECT_EQ(ProcessEvents(0), 1);

    t::Click("cmdOther");
    ASSERT_TRUE(t::RunQueued());
    EXPECT_EQ(form.log.back(), "other");
    form.Unload();
    EXPECT_EQ(VisibleWindows("frmTest"), 0);
    EXPECT_EQ(ProcessEvents(0), 0);
}

TEST_F(FormTest, FrameCloseCanBeRefusedAndIsToldFromCodeClose) {
    TestForm form;
    form.refuseClose = true;
    t::CloseFromFrame();
    t::Run([&] {
        EXPECT_TRUE(form.Visible());  // refused: still open
        form.Unload();                // refused as well
        EXPECT_TRUE(form.Loaded());
        form.refuseClose = false;
    });
    t::CloseFromFrame();
    form.ShowModal();
    EXPECT_FALSE(form.Loaded());
    EXPECT_EQ(form.queries, (std::vector<CloseOrigin>{CloseOrigin::Frame, CloseOrigin::Code, CloseOrigin::Frame}));
    EXPECT_EQ(form.log.back(), "unload");
}

TEST_F(FormTest, SessionEndIsSystemOrigin) {
    TestForm form;
    t::EndSession();
    form.ShowModal();
    EXPECT_FALSE(form.Loaded());
    EXPECT_EQ(form.queries, (std::vector<CloseOrigin>{CloseOrigin::System}));
}

TEST_F(FormTest, EscClicksCancelButton) {
    TestForm form;
    form.onCancel = [&] { form.Unload(); };
    t::PressKey("txtName", t::Key::Escape);
    form.ShowModal();
    EXPECT_EQ(form.queries, (std::vector<CloseOrigin>{CloseOrigin::Code}));
    EXPECT_NE(std::find(form.log.begin(), form.log.end(), "cancel"), form.log.end());
}

TEST_F(FormTest, EscWithoutCancelButtonAndEnterWithoutDefaultButtonDoNothing) {
    TestFormOptions options;
    options.cancelButton = false;
    options.defaultButton = false;
    TestForm form(options);
    t::Type("txtName", "x");
    t::PressKey("txtName", t::Key::Escape);
    t::PressKey("txtName", t::Key::Enter);
    t::Run([&] {
        EXPECT_TRUE(form.Visible());  // still open, with the edit
        EXPECT_EQ(t::TextOf("txtName"), "x");
    });
    t::CloseFromFrame();
    form.ShowModal();
    EXPECT_EQ(form.queries, (std::vector<CloseOrigin>{CloseOrigin::Frame}));
    EXPECT_EQ(std::count(form.log.begin(), form.log.end(), "cancel"), 0);
    EXPECT_EQ(std::count(form.log.begin(), form.log.end(), "ok"), 0);
}

TEST_F(FormTest, EnterPressesDefaultButtonOrTheFocusedOne) {
    TestForm form;
    t::PressKey("txtName", t::Key::Enter);   // default button
    t::PressKey("cmdOther", t::Key::Enter);  // the focused button itself
    t::PressKey("cmdOther", t::Key::Space);
    t::Run([&] { form.Unload(); });
    form.ShowModal();
    EXPECT_EQ(form.log, (std::vector<std::string>{"load", "ok", "name-lost", "other", "other", "unload"}));
}

TEST_F(FormTest, DefaultBorderFollowsTheFocusAndTabKeepsTheTabOrder) {
    TestForm form;
    std::vector<std::string> carriers;
    auto note = [&] { carriers.push_back(t::FocusedControl() + ">" + t::DefaultBorderOf("frmTest")); };
    t::Run(note);                          // txtName: the form's default button
    t::PressKey("cmdOther", t::Key::Tab);  // past the last one: round to txtName, the label skipped
    t::Run(note);
    t::PressKey("txtPassword", t::Key::Tab);  // the combo
    t::Run(note);
    t::Focus("cmdCancel");
    t::Run(note);
    t::PressKey("cmdCancel", t::Key::Enter);  // the button with the border
    t::Run([&] { form.Unload(); });
    form.ShowModal();
    EXPECT_EQ(carriers,
              (std::vector<std::string>{"txtName>cmdOK", "txtName>cmdOK", "Combo1>cmdOK", "cmdCancel>cmdCancel"}));
    EXPECT_EQ(std::count(form.log.begin(), form.log.end(), "cancel"), 1);
    EXPECT_EQ(std::count(form.log.begin(), form.log.end(), "ok"), 0);
}

TEST_F(FormTest, FormDestroyedInsideItsOwnClickHandler) {
    auto form = std::make_unique<TestForm>();
    TestForm* raw = form.get();
    raw->onOk = [&form] { form.reset(); };  // the controller lets its dialog go
    t::Click("cmdOK");
    raw->ShowModal();  // must return without touching the destroyed form
    EXPECT_EQ(form, nullptr);
    EXPECT_EQ(ExistingWindows("frmTest"), 0);
}

TEST_F(FormTest, ModelessFormDestroyedInsideItsOwnClickHandler) {
    auto form = std::make_unique<TestForm>();
    form->onOk = [&form] { form.reset(); };
    form->ShowModeless();
    t::Click("cmdOK");
    ASSERT_TRUE(t::RunQueued());
    EXPECT_EQ(form, nullptr);
    EXPECT_EQ(VisibleWindows("frmTest"), 0);
    ProcessEvents(0);  // deleted by the event loop, once the click has been handled
    EXPECT_EQ(ExistingWindows("frmTest"), 0);
}

TEST_F(FormTest, UnloadThenReloadInsideAClickHandler) {
    TestForm form;
    int round = 0;
    form.onOk = [&] {
        form.Unload();
        if (++round == 1) form.ShowModal();  // a fresh window, shown from the old one's handler
    };
    t::Click("cmdOK");
    t::Click("cmdOK");
    form.ShowModal();
    EXPECT_EQ(round, 2);
    EXPECT_EQ(form.loads, 2);
    EXPECT_FALSE(form.Loaded());
    ProcessEvents(0);
    EXPECT_EQ(ExistingWindows("frmTest"), 0);
}

TEST_F(FormTest, HandlerFailureIsShownAndTheFormStaysUsable) {
    TestForm form;
    form.onOk = [] { throw UiError(kStatusFail, "database is locked"); };
    t::QueueAnswer(Answer::Ok);
    t::Click("cmdOK");
    t::Run([&] {
        EXPECT_TRUE(form.Visible());
        form.Unload();
    });
    form.ShowModal();
    ASSERT_EQ(t::Messages().size(), 1u);
    EXPECT_EQ(t::Messages()[0].text, "database is locked");
    EXPECT_EQ(t::Messages()[0].icon, Icon::Critical);
}

TEST_F(FormTest, LoadFailureLeavesTheFormUnloaded) {
    struct Failing : Form {
        Failing() : Form("frmFailing") {}
        void Build() override { AddLabel({"Label1", -1, {0, 0, 600, 300}}, "x"); }
        void OnLoad() override { throw UiError(kStatusFail, "no table"); }
    } form;
    EXPECT_THROW(form.ShowModal(), UiError);
    EXPECT_FALSE(form.Loaded());
}

TEST_F(FormTest, ScreenshotShowsTheForm) {
    TestForm form;
    bool saved = false;
    t::Type("txtPassword", "579");
    t::Run([&] {
        form.UpDown1.SetValue(2);
        saved = t::SaveScreenshot("frmTest", "ui_test_form.png");
        form.Unload();
    });
    form.ShowModal();
    EXPECT_TRUE(saved);
}

}  // namespace
}  // namespace dg::ui
