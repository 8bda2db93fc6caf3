// The settings load on arbitrary row values: a real tblClassTime in a
// temporary folder gets a fuzzed value of any SQLite type in each column,
// then the row is read as the load reads it. The read either fails with a StoreError or
// gives change times of whole minutes within one day; the fields it filled
// before a failure obey the same rule.
#include <sqlite3.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <string>

#include "fuzz_check.h"
#include "shift/class_time_table.h"
#include "store/store.h"

namespace {

sqlite3* g_db = nullptr;
sqlite3_stmt* g_update = nullptr;
std::filesystem::path g_dir;

void RemoveDir() {
    if (g_update) sqlite3_finalize(g_update);
    if (g_db) sqlite3_close(g_db);
    std::error_code ec;
    std::filesystem::remove_all(g_dir, ec);
}

void Setup() {
    std::string pattern = (std::filesystem::temp_directory_path() / "dutygate-fuzz-XXXXXX").string();
    FUZZ_CHECK(mkdtemp(pattern.data()) != nullptr);
    g_dir = pattern;
    std::atexit(RemoveDir);
    dg::fuzz::ScopedWorkingDir inDir(g_dir);
    std::string failure;
    auto report = [&](const std::string& d) { failure += d; };
    dg::store::EnsureDatabase(report);
    dg::shift::CreateClassTimeTable(report);
    FUZZ_CHECK(failure.empty());
    FUZZ_CHECK(sqlite3_open_v2("mdb/Para.mdb", &g_db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK);
    // Every declared column of the row, each bound in turn below.
    std::string update = "UPDATE " + std::string(dg::store::kClassTimeTable) + " SET ";
    for (const auto& column : dg::store::kClassTimeColumns)
        update += (&column == dg::store::kClassTimeColumns ? "" : ", ") + std::string(column.name) + " = ?";
    FUZZ_CHECK(sqlite3_prepare_v2(g_db, update.c_str(), -1, &g_update, nullptr) == SQLITE_OK);
    // Only this harness's own writes skip the flush to disk: they just stage
    // the row that the store then reads.
    FUZZ_CHECK(sqlite3_exec(g_db, "PRAGMA synchronous = OFF", nullptr, nullptr, nullptr) == SQLITE_OK);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (!g_db) Setup();
    dg::fuzz::InputReader in(data, size);
    sqlite3_reset(g_update);
    for (int k = 1; k <= static_cast<int>(std::size(dg::store::kClassTimeColumns)); ++k) {
        switch (in.Byte() % 5) {
            case 0: sqlite3_bind_null(g_update, k); break;
            case 1: sqlite3_bind_int64(g_update, k, in.Raw<std::int64_t>()); break;
            case 2: sqlite3_bind_double(g_update, k, in.Raw<double>()); break;
            case 3: {
                const std::string text = in.Text();
                sqlite3_bind_text(g_update, k, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
                break;
            }
            default: {
                const std::string blob = in.Text();
                sqlite3_bind_blob(g_update, k, blob.data(), static_cast<int>(blob.size()), SQLITE_TRANSIENT);
                break;
            }
        }
    }
    if (sqlite3_step(g_update) != SQLITE_DONE) return 0;  // refused by the table's own checks

    dg::shift::ShiftSettings settings;
    dg::fuzz::ScopedWorkingDir inDir(g_dir);
    try {
        dg::store::Connection connection(dg::store::kOpenConnectionString);
        dg::store::Recordset row(connection, dg::store::kClassTimeTable);
        FUZZ_CHECK(row.RecordCount() == 1);
        dg::shift::ReadSettingsRow(row, settings);
    } catch (const dg::store::StoreError& e) {
        FUZZ_CHECK(e.what()[0] != '\0');
    }
    for (std::int32_t t : settings.changeTime) FUZZ_CHECK(t >= 0 && t <= 86340 && t % 60 == 0);
    return 0;
}
