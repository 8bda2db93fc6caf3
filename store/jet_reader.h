#pragma once
// A read-only reader of Jet 4 database files (Microsoft Access 2000 to 2003),
// for what the upgrade from an earlier installation needs: find a table in
// the catalog by name and read its rows. The bytes are untrusted: every
// offset and length is checked against its page and the file, every chain
// of pages is bounded, and a damaged file throws JetError with a
// description of what was found where.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "store/errors.h"
#include "store/value.h"

namespace dg::store::jet {

class JetError : public StoreError {
public:
    using StoreError::StoreError;
};
// An encrypted (encoded) database: whole, but not readable here.
class JetEncryptedError : public JetError {
public:
    using JetError::JetError;
};

inline constexpr std::size_t kPageSize = 4096;

// What the first bytes of a file say it is.
enum class FileKind { kNotJet, kJet3, kJet4, kNewer };
struct HeaderInfo {
    FileKind kind = FileKind::kNotJet;
    int version = -1;  // the version byte at 0x14
};
// Reads the engine name at byte 4 and the version byte at 0x14. Fewer bytes
// than that read as kNotJet.
HeaderInfo ClassifyHeader(std::string_view head);
// What the header says, to follow "该文件": "是 Jet 3 数据库（Access 97，版本字节为 0）",
// "不是 Jet 数据库", ...
std::string DescribeKind(const HeaderInfo& info);

// Column type codes of the Jet catalog.
enum JetType : int {
    kJetBoolean = 0x01,
    kJetByte = 0x02,
    kJetInt16 = 0x03,
    kJetInt32 = 0x04,
    kJetMoney = 0x05,
    kJetFloat = 0x06,
    kJetDouble = 0x07,
    kJetDateTime = 0x08,
    kJetBinary = 0x09,
    kJetText = 0x0A,
    kJetOle = 0x0B,
    kJetMemo = 0x0C,
    kJetGuid = 0x0F,
    kJetNumeric = 0x10,
};

struct Column {
    std::string name;  // UTF-8
    int type = 0;      // JetType
    int number = 0;    // position in the row's null mask
    int varIndex = 0;  // entry in the row's variable-length offset table
    int fixedOffset = 0;
    int length = 0;  // bytes (a text of N characters has 2N)
    bool fixed = false;
};

struct Table {
    std::string name;
    std::vector<Column> columns;  // in their catalog order
    // One Value per column: integers as int64, Boolean as 0/1, floating
    // numbers as double, date/time as DateTime, text as UTF-8, and null for
    // a null field and for types this reader does not decode (money, memo,
    // binary, OLE, GUID, numeric).
    std::vector<std::vector<Value>> rows;
};

class Reader {
public:
    // Takes the whole file and reads its catalog. Throws JetError for a file
    // that is no Jet 4 file, is not whole pages long or has a damaged
    // catalog, JetEncryptedError for an encrypted one.
    explicit Reader(std::string bytes);

    // Names of the user tables in the catalog, deleted entries left out.
    std::vector<std::string> TableNames() const;
    // The table of that name (ASCII case ignored), or nullopt when the
    // catalog has none. Rows come in the order a table scan returns them:
    // data pages in page order, rows in slot order, a moved row where its
    // forwarding pointer stands; deleted rows are left out.
    std::optional<Table> ReadTable(std::string_view name) const;

private:
    struct Parsed;  // the file and its catalog, in jet_reader.cpp
    std::shared_ptr<const Parsed> parsed_;
};

}  // namespace dg::store::jet
