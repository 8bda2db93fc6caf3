#pragma once
// A fresh temporary folder that the test works in: the parameter database is
// found relative to the current working directory.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

namespace dg::testsupport {

class TempDirTest : public ::testing::Test {
protected:
    void SetUp() override {
        previous_ = std::filesystem::current_path();
        std::string pattern = (std::filesystem::temp_directory_path() / "dutygate-test-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
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
