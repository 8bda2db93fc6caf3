#include <gtest/gtest.h>

#include <vector>

#include "ui/app.h"
#include "ui/form.h"
#include "ui_testing/driver.h"
#include "ui/win32/geometry.h"

namespace {

namespace t = dg::ui::testing;
using dg::ui::CloseOrigin;
using dg::ui::win32::FontHeight;
using dg::ui::win32::TwipsToPixels;

TEST(Win32Geometry, TwipsAndPointsFollowTheScreenResolution) {
    // 96 dpi: 15 twips a pixel; 120 dpi: 12; 144 dpi: 10. Halves round away from zero.
    EXPECT_EQ(TwipsToPixels(5385, 96), 359);
    EXPECT_EQ(TwipsToPixels(5385, 120), 449);
    EXPECT_EQ(TwipsToPixels(5385, 144), 539);
    EXPECT_EQ(TwipsToPixels(7, 96), 0);
    EXPECT_EQ(TwipsToPixels(8, 96), 1);
    EXPECT_EQ(TwipsToPixels(-8, 96), -1);
    EXPECT_EQ(FontHeight(12, 96), -16);
    EXPECT_EQ(FontHeight(10.5, 96), -14);
    EXPECT_EQ(FontHeight(10.5, 144), -21);
}

class Recorder : public dg::ui::Form {
public:
    Recorder() : Form("frmRecorder") {}
    std::vector<CloseOrigin> origins;

protected:
    void Build() override { AddButton({"cmdA", -1, {120, 120, 900, 360}}, "A"); }
    bool OnQueryUnload(CloseOrigin origin) override {
        origins.push_back(origin);
        return false;
    }
};

TEST(Win32Form, SessionEndClosesAsTheSystemAndTheFrameAsTheFrame) {
    t::Reset();
    Recorder form;
    form.ShowModeless();
    t::EndSession();
    ASSERT_TRUE(t::RunQueued());
    EXPECT_FALSE(form.Loaded());
    form.ShowModeless();
    t::CloseFromFrame();
    ASSERT_TRUE(t::RunQueued());
    dg::ui::ProcessEvents(50);
    EXPECT_FALSE(form.Loaded());
    EXPECT_EQ(form.origins, (std::vector<CloseOrigin>{CloseOrigin::System, CloseOrigin::Frame}));
    EXPECT_TRUE(t::DriverErrors().empty());
}

}  // namespace
