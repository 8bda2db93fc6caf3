// The registry rows of Dutygate.dll, compared with the list kept beside this
// test (registry_rows.txt): a new key or a changed value shows here, on
// Linux, before a Windows build and its installer tests.
#include "component/core/registry_rows.h"

#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace {

using namespace dg::component;

std::vector<std::string> Lines() {
    std::vector<std::string> lines;
    for (const auto& [group, bitness] : {std::pair{"x86", RowBitness::kX86}, std::pair{"x64", RowBitness::kX64}})
        for (const RegistryRow& row : BitnessRows(bitness, "<server>")) lines.push_back(RowLine(group, row));
    for (const RegistryRow& row : CommonRows()) lines.push_back(RowLine("common", row));
    return lines;
}

TEST(RegistryRows, AreTheListKeptInTheTests) {
    std::ifstream in(DG_REGISTRY_ROWS_FILE);
    ASSERT_TRUE(in) << DG_REGISTRY_ROWS_FILE;
    std::vector<std::string> expected;
    for (std::string line; std::getline(in, line);)
        if (!line.empty() && line[0] != '#') expected.push_back(line);
    const std::vector<std::string> actual = Lines();
    for (std::size_t i = 0; i < std::max(expected.size(), actual.size()); ++i) {
        EXPECT_EQ(i < expected.size() ? expected[i] : "(none)", i < actual.size() ? actual[i] : "(none)")
            << "row " << i + 1;
    }
}

// One Registry-table row per key and value name in a component: a second
// would make the package's rows and the DLL's registration differ.
TEST(RegistryRows, NameEachValueOncePerComponent) {
    for (const auto& rows : {BitnessRows(RowBitness::kX64, "p"), CommonRows()}) {
        std::set<std::pair<std::string, std::string>> seen;
        for (const RegistryRow& row : rows) {
            EXPECT_TRUE(row.key.starts_with("Software\\Classes\\")) << row.key;
            EXPECT_TRUE(seen.insert({row.key, row.name.value_or("@")}).second) << row.key;
        }
    }
}

}  // namespace
