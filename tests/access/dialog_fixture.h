#pragma once
// A controller in a fresh working directory, its BackAdmin events recorded
// together with whether any access dialog was still open when each arrived.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "access/clsPassword.h"
#include "access/shared_state.h"
#include "access_support.h"
#include "tests/support/temp_dir.h"
#include "ui_testing/driver.h"

namespace dg::accesstest {

namespace uit = dg::ui::testing;
using Ev = std::pair<std::int16_t, std::int16_t>;
using Events = std::vector<Ev>;

inline bool AnyAccessFormOpen() {
    return uit::FormOpen("frmLogin") || uit::FormOpen("Revise") || uit::FormOpen("frmLanding");
}

inline std::string FocusName() { return uit::FocusedControl(); }

// The caption of an open form.
inline std::string CaptionOf(const std::string& formName) { return uit::CaptionOf(formName).value_or(""); }

// A locked box: read-only to the operator. False when no such box is open.
inline bool LockedOf(const std::string& name) {
    if (!uit::TextOf(name)) ADD_FAILURE() << "no open box " << name;
    return uit::LockedOf(name);
}

class AccessDialogTest : public testsupport::TempDirTest {
protected:
    void SetUp() override {
        TempDirTest::SetUp();
        uit::Reset();
        access::strLevel().clear();
        access::strPassword().clear();
    }
    void TearDown() override {
        EXPECT_EQ(uit::PendingActions(), 0u) << "queued actions never ran";
        for (const auto& error : uit::DriverErrors()) ADD_FAILURE() << "driver: " << error;
        uit::Reset();
        TempDirTest::TearDown();
    }
    std::unique_ptr<access::clsPassword> Make() {
        auto c = std::make_unique<access::clsPassword>();
        c->BackAdmin.Connect([this](std::int16_t data, std::int16_t command) {
            events.emplace_back(data, command);
            openAtEvent.push_back(AnyAccessFormOpen());
        });
        return c;
    }
    // Logs in at `level` with the default password through the login dialog.
    void LogIn(access::clsPassword& c, const std::string& level) {
        if (level != "管理员") uit::Choose("Combo1", level);
        uit::Click("cmdOK");
        c.ShowDialog();
    }
    std::vector<std::string> MessageTexts() const {
        std::vector<std::string> texts;
        for (const auto& m : uit::Messages()) texts.push_back(m.text);
        return texts;
    }

    Events events;
    std::vector<bool> openAtEvent;
};

}  // namespace dg::accesstest
