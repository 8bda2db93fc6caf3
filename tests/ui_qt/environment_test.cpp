// The GUI's surroundings: no display, a host application without widgets,
// calls from a foreign thread. The display cases run in child processes of
// this test program, started with the display variables removed, so that a
// Qt abort would show as a killed child instead of killing the tests.
#include <gtest/gtest.h>

#include <QCoreApplication>

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "shift/clsShiftClass.h"
#include "support/temp_dir.h"
#include "ui/test_form.h"
#include "ui/app.h"
#include "ui/errors.h"
#include "ui/message_box.h"

extern char** environ;

namespace dg::ui {
namespace {

struct ChildResult {
    bool exited = false;
    int exitCode = -1;
    int signal = 0;
    std::string output;  // stdout and stderr together
};

// Runs one (disabled) test of this program in a child process, with the
// display variables replaced by `env` (a value of nullptr removes it).
ChildResult RunChild(const std::string& test, const std::map<std::string, const char*>& env) {
    std::vector<std::string> entries;
    for (char** e = environ; *e; ++e) {
        const std::string entry = *e;
        const std::string name = entry.substr(0, entry.find('='));
        if (env.count(name)) continue;
        entries.push_back(entry);
    }
    for (const auto& [name, value] : env)
        if (value) entries.push_back(name + "=" + value);
    std::vector<char*> envp;
    for (auto& entry : entries) envp.push_back(entry.data());
    envp.push_back(nullptr);

    std::string filter = "--gtest_filter=*" + test;
    std::string alsoDisabled = "--gtest_also_run_disabled_tests";
    std::string self = "/proc/self/exe";
    char* argv[] = {self.data(), filter.data(), alsoDisabled.data(), nullptr};

    int pipeFds[2];
    if (pipe(pipeFds) != 0) return {};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 2);
    posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, self.c_str(), &actions, nullptr, argv, envp.data());
    posix_spawn_file_actions_destroy(&actions);
    close(pipeFds[1]);
    ChildResult result;
    if (spawned != 0) {
        close(pipeFds[0]);
        return result;
    }
    char buffer[4096];
    ssize_t n;
    while ((n = read(pipeFds[0], buffer, sizeof buffer)) > 0) result.output.append(buffer, static_cast<size_t>(n));
    close(pipeFds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    result.exited = WIFEXITED(status);
    result.exitCode = result.exited ? WEXITSTATUS(status) : -1;
    result.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    return result;
}

const std::map<std::string, const char*> kNoDisplay = {
    {"QT_QPA_PLATFORM", nullptr}, {"DISPLAY", nullptr}, {"WAYLAND_DISPLAY", nullptr}};

void ExpectChildPassed(const ChildResult& child) {
    EXPECT_TRUE(child.exited) << "killed by signal " << child.signal << "\n" << child.output;
    EXPECT_EQ(child.exitCode, 0) << child.output;
    EXPECT_NE(child.output.find("[  PASSED  ] 1 test"), std::string::npos) << child.output;
}

// --- run in children only -----------------------------------------------------

TEST(Child, DISABLED_NoDisplay) {
    EXPECT_FALSE(DisplayAvailable());
    {
        test::TestForm form;  // a dialog object needs no GUI
        EXPECT_FALSE(form.Loaded());
        form.Unload();
    }
    test::TestForm form;
    try {
        form.ShowModal();
        ADD_FAILURE() << "shown without a display";
    } catch (const UiError& e) {
        EXPECT_EQ(e.status(), kStatusFail);
        EXPECT_EQ(std::string(e.what()).rfind("没有可用的显示器，无法显示对话框：", 0), 0u) << e.what();
    }
    EXPECT_FALSE(form.Loaded());
    EXPECT_THROW(form.ShowModeless(), UiError);
    EXPECT_EQ(MsgBox("交接班时间出错", Buttons::YesNo, Icon::Critical), Answer::Yes);
    EXPECT_EQ(MsgBox("无效的密码", Buttons::Ok, Icon::None, "登录"), Answer::Ok);
    EXPECT_EQ(ProcessEvents(10), -1);
    EXPECT_EQ(QCoreApplication::instance(), nullptr);  // nothing was started
}

// The shift controller (its database, table and settings) touches no toolkit.
using ChildInFolder = testsupport::TempDirTest;
TEST_F(ChildInFolder, DISABLED_ShiftControllerWithoutDisplay) {
    shift::clsShiftClass controller;
    EXPECT_EQ(controller.Settings().banzhi, 4);
    EXPECT_EQ(QCoreApplication::instance(), nullptr);  // works on a machine without a display
}

// A failure reported on a worker thread before the GUI exists: no box, and
// no QApplication on that thread, so the main thread's dialogs still work.
TEST(Child, DISABLED_MessageOnAWorkerFirst) {
    Answer answer = Answer::No;
    std::thread([&] { answer = MsgBox("库文件出错", Buttons::YesNo); }).join();
    EXPECT_EQ(answer, Answer::Yes);
    EXPECT_EQ(QCoreApplication::instance(), nullptr);
    test::TestForm form;
    form.Load();
    EXPECT_TRUE(form.Loaded());
    form.Unload();
}

TEST(Child, DISABLED_XcbWithoutServer) {
    EXPECT_FALSE(DisplayAvailable());
    test::TestForm form;
    try {
        form.Load();
        ADD_FAILURE() << "loaded without an X server";
    } catch (const UiError& e) {
        EXPECT_NE(std::string(e.what()).find("DISPLAY=:97"), std::string::npos) << e.what();
    }
}

TEST(Child, DISABLED_HostWithoutWidgets) {
    int argc = 1;
    char name[] = "host";
    char* argv[] = {name, nullptr};
    QCoreApplication host(argc, argv);
    EXPECT_FALSE(DisplayAvailable());
    test::TestForm form;
    try {
        form.Load();
        ADD_FAILURE() << "loaded on a QCoreApplication";
    } catch (const UiError& e) {
        EXPECT_EQ(e.status(), kStatusFail);
        EXPECT_NE(std::string(e.what()).find("不是 QApplication"), std::string::npos) << e.what();
    }
}

// --- the tests proper -----------------------------------------------------------

TEST(Environment, NoDisplayFailsClearlyWithoutAbort) {
    const ChildResult child = RunChild("DISABLED_NoDisplay", kNoDisplay);
    ExpectChildPassed(child);
    // The message boxes went to standard error, with their titles.
    EXPECT_NE(child.output.find("Dutygate: 交接班时间出错"), std::string::npos) << child.output;
    EXPECT_NE(child.output.find("登录: 无效的密码"), std::string::npos) << child.output;
}

TEST(Environment, ShiftControllerNeedsNoDisplay) {
    ExpectChildPassed(RunChild("DISABLED_ShiftControllerWithoutDisplay", kNoDisplay));
}

TEST(Environment, MessageOnAWorkerThreadGoesToStandardErrorAndStartsNoGui) {
    const ChildResult child = RunChild("DISABLED_MessageOnAWorkerFirst", {});
    ExpectChildPassed(child);
    EXPECT_NE(child.output.find("Dutygate: 库文件出错"), std::string::npos) << child.output;
}

TEST(Environment, XcbWithoutReachableServerFailsClearly) {
    ExpectChildPassed(RunChild("DISABLED_XcbWithoutServer",
                               {{"QT_QPA_PLATFORM", "xcb"}, {"DISPLAY", ":97"}, {"WAYLAND_DISPLAY", nullptr}}));
}

TEST(Environment, HostCoreApplicationIsRefused) { ExpectChildPassed(RunChild("DISABLED_HostWithoutWidgets", {})); }

TEST(Environment, CallsFromAnotherThreadAreRefused) {
    EnsureGui();
    test::TestForm loaded;
    loaded.Load();
    std::vector<std::int32_t> statuses;
    int pumped = 0;
    std::thread worker([&] {
        auto status = [&](auto&& call) {
            try {
                call();
                statuses.push_back(0);
            } catch (const UiError& e) {
                statuses.push_back(e.status());
            }
        };
        test::TestForm form;  // creating one is fine anywhere
        status([&] { form.Load(); });
        status([&] { form.ShowModal(); });
        status([] { MsgBox("x"); });  // written to standard error, no throw
        status([] { EnsureGui(); });
        status([&] { (void)loaded.txtName.Text(); });
        status([&] { loaded.Unload(); });
        pumped = ProcessEvents(0);
    });
    worker.join();
    const auto w = kStatusWrongThread;
    EXPECT_EQ(statuses, (std::vector<std::int32_t>{w, w, 0, w, w, w}));
    EXPECT_EQ(pumped, -1);
    EXPECT_TRUE(loaded.Loaded());
    loaded.Unload();
}

}  // namespace
}  // namespace dg::ui
