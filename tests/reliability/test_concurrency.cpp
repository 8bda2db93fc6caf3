// Several processes on one database file: concurrent writers, and a writer
// killed at random moments. Each child is a fork of the test process that
// does only store work (no toolkit), then leaves with _exit.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <random>
#include <string>
#include <thread>

#include "access/pass_table.h"
#include "reliability_support.h"
#include "store/platform.h"
#include "support/jet_writer.h"
#include "support/temp_dir.h"

using namespace dg;
using namespace dg::reliability;

namespace {

void PrepareDatabase() {
    std::string failure;
    auto report = [&](const std::string& d) { failure += d; };
    store::EnsureDatabase(report);
    shift::CreateClassTimeTable(report);
    access::CreatePassTable(report);
    ASSERT_EQ(failure, "");
}

std::string Password(int writer, int iteration) {
    return "p" + std::to_string(writer) + "-" + std::to_string(iteration);
}

// One writer's round: the settings save and the administrator's password
// change. Returns the number of failures, each told on standard error.
int WriteRound(int writer, int iteration) {
    int failures = 0;
    shift::ShiftSettings settings;
    if (auto failure = shift::WriteClassSettings(Version(writer, iteration), settings)) {
        std::fprintf(stderr, "writer %d save %d: %s\n", writer, iteration, failure->c_str());
        ++failures;
    } else {
        // What the save read back is some writer's complete version too.
        StoredRow back{settings.banzhi, settings.changeTime, settings.crew};
        if (auto ok = IsCompleteVersion(back); !ok) {
            std::fprintf(stderr, "writer %d save %d read back: %s\n", writer, iteration, ok.message());
            ++failures;
        }
    }
    try {
        if (!access::WriteLevelPassword(access::kLevelAdmin, Password(writer, iteration))) {
            std::fprintf(stderr, "writer %d password %d: no row\n", writer, iteration);
            ++failures;
        }
    } catch (const store::StoreError& e) {
        std::fprintf(stderr, "writer %d password %d: %s\n", writer, iteration, e.what());
        ++failures;
    }
    return failures;
}

pid_t Spawn(const std::function<int()>& body) {
    std::fflush(nullptr);
    pid_t pid = fork();
    if (pid == 0) {
        int failures = 0;
        try {
            failures = body();
        } catch (const std::exception& e) {
            std::fprintf(stderr, "child: %s\n", e.what());
            failures = 1;
        }
        std::fflush(nullptr);
        _exit(failures == 0 ? 0 : 1);
    }
    return pid;
}

class ConcurrencyTest : public testsupport::TempDirTest {};

}  // namespace

TEST_F(ConcurrencyTest, TwoProcessesSavingAndChangingPasswordsKeepOneCompleteRow) {
    PrepareDatabase();
    constexpr int kIterations = 200;
    pid_t children[2];
    for (int writer = 0; writer < 2; ++writer) {
        children[writer] = Spawn([writer] {
            int failures = 0;
            for (int i = 0; i < kIterations; ++i) failures += WriteRound(writer, i);
            return failures;
        });
        ASSERT_GT(children[writer], 0);
    }
    for (pid_t child : children) {
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "a writer saw a failure (see its output)";
    }

    long count = 0;
    auto row = FirstRow(&count);
    EXPECT_EQ(count, 1);
    ASSERT_TRUE(row);
    EXPECT_TRUE(IsCompleteVersion(*row));
    // The last write of one of the two writers.
    EXPECT_TRUE(row->crew[0] == "w0i199k0" || row->crew[0] == "w1i199k0") << row->crew[0];

    EXPECT_EQ(Sql("SELECT count(*) FROM tblPass"), "1");
    auto password = access::ReadLevelPassword(access::kLevelAdmin);
    ASSERT_TRUE(password);
    EXPECT_TRUE(password->AsText() == Password(0, kIterations - 1) ||
                password->AsText() == Password(1, kIterations - 1))
        << password->AsText();
    EXPECT_EQ(Sql("PRAGMA integrity_check"), "ok");
}

TEST_F(ConcurrencyTest, AWriterKilledAtRandomMomentsLeavesASoundFileAndACompleteRow) {
    PrepareDatabase();
    const auto defaultRow = FirstRow();
    ASSERT_TRUE(defaultRow);
    const unsigned seed = std::random_device{}();
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> pause(1, 30);

    for (int round = 0; round < 20; ++round) {
        pid_t child = Spawn([round] {
            for (int i = 0;; i = (i + 1) % 1000) WriteRound(round, i);
            return 0;
        });
        ASSERT_GT(child, 0);
        std::this_thread::sleep_for(std::chrono::milliseconds(pause(random)));
        ASSERT_EQ(kill(child, SIGKILL), 0);
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFSIGNALED(status)) << "round " << round;

        ASSERT_EQ(Sql("PRAGMA integrity_check"), "ok") << "round " << round;
        long count = 0;
        auto row = FirstRow(&count);
        EXPECT_EQ(count, 1) << "round " << round;
        ASSERT_TRUE(row);
        if (*row != *defaultRow) {
            EXPECT_TRUE(IsCompleteVersion(*row)) << "round " << round;
        }
        const std::string password = access::ReadLevelPassword(access::kLevelAdmin).value().AsText();
        EXPECT_TRUE(password == access::kDefaultPassword || password.starts_with("p")) << password;
    }
}

// Two processes open a plant's Jet file while this one holds the upgrade
// lock for a moment: both wait, exactly one upgrades, and both then read the new
// file.
TEST_F(ConcurrencyTest, TwoProcessesOnAJetFileUpgradeItExactlyOnce) {
    std::filesystem::create_directory("mdb");
    const std::string old = testsupport::jet::WriteJet4(testsupport::jet::PlantTables(false));
    std::ofstream("mdb/Para.mdb", std::ios::binary) << old;
    pid_t children[2];
    for (pid_t& child : children) {
        child = Spawn([] {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));  // the lock is held by then
            store::Connection c(store::kOpenConnectionString);
            return store::Recordset(c, "tblPass").RecordCount() == 3 ? 0 : 1;
        });
        ASSERT_GT(child, 0);
    }
    // Taken after the forks: a child would otherwise share the locked file.
    std::string error;
    auto hold = store::platform::UpgradeLock::Acquire("mdb/Para.mdb", 1000, error);
    ASSERT_TRUE(hold) << error;
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    EXPECT_EQ(FileBytes(), old);
    hold.reset();
    for (pid_t child : children) {
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    EXPECT_EQ(FileBytes("mdb/Para.jet.mdb"), old);
    EXPECT_FALSE(std::filesystem::exists("mdb/Para.jet.2.mdb"));
    EXPECT_FALSE(std::filesystem::exists("mdb/Para.mdb.upgrading"));
}
