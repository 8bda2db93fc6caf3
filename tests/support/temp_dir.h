#pragma once
// A fresh temporary folder that the test works in: the parameter database is
// found relative to the current working directory.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>

namespace dg::testsupport {

// Makes a new folder with a random name under the system's temporary folder.
// create_directory answers false for a name that exists, so two processes
// never share one.
inline std::filesystem::path MakeTempDir() {
    std::random_device seed;
    std::mt19937_64 random(seed());
    const auto base = std::filesystem::temp_directory_path();
    for (int attempt = 0; attempt < 100; ++attempt) {
        const auto candidate = base / ("dutygate-test-" + std::to_string(random() % 1000000000000ULL));
        std::error_code ec;
        if (std::filesystem::create_directory(candidate, ec)) return candidate;
    }
    return {};
}

class TempDirTest : public ::testing::Test {
protected:
    void SetUp() override {
        previous_ = std::filesystem::current_path();
        dir_ = MakeTempDir();
        ASSERT_FALSE(dir_.empty()) << "cannot create a temporary folder";
        std::filesystem::current_path(dir_);
    }
    void TearDown() override {
        std::filesystem::current_path(previous_);
        std::error_code ec;
        std::filesystem::permissions(dir_, std::filesystem::perms::owner_all, ec);
        std::filesystem::remove_all(dir_, ec);
    }
    const std::filesystem::path& Dir() const { return dir_; }

private:
    std::filesystem::path previous_;
    std::filesystem::path dir_;
};

}  // namespace dg::testsupport
