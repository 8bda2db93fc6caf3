// The Jet reader on arbitrary bytes: the input is the file. Opening and
// reading every table either works or fails with a JetError whose
// description is Chinese; nothing else (no crash, no other exception, no
// hang) is allowed. The seeds are small valid files, so that mutations
// reach past the header.
#include <cstdint>
#include <string>

#include "fuzz_check.h"
#include "store/jet_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace dg::store;
    std::string bytes(reinterpret_cast<const char*>(data), size);
    if (size > (1u << 22)) return 0;
    try {
        const jet::Reader reader(bytes);
        std::size_t rows = 0;
        for (const auto& name : reader.TableNames()) {
            auto table = reader.ReadTable(name);
            FUZZ_CHECK(table.has_value());
            for (const auto& row : table->rows) FUZZ_CHECK(row.size() == table->columns.size());
            rows += table->rows.size();
        }
        (void)reader.ReadTable("tblPass");
        (void)rows;
    } catch (const jet::JetError& e) {
        // A damaged file: described in Chinese from the first character on.
        FUZZ_CHECK(static_cast<unsigned char>(e.what()[0]) >= 0x80);
    }
    return 0;
}
