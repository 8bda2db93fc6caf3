#include "store/jet_reader.h"

#include <cmath>
#include <cstring>
#include <limits>
#include <set>
#include <utility>

#include "base/ascii.h"
#include "base/failure_text.h"

namespace dg::store::jet {
namespace {

// The header page: the engine's name (with its NUL) and the version byte;
// bytes kScrambledFrom on are scrambled with a fixed key, among them the key
// of an encrypted database (0 when plain).
constexpr char kEngineName[] = "Standard Jet DB";
constexpr std::size_t kEngineNameOffset = 4;
constexpr std::size_t kVersionOffset = 0x14;
constexpr std::size_t kScrambledFrom = 0x18;
constexpr std::size_t kScrambledLength = 126;
constexpr std::size_t kDatabaseKeyOffset = 0x3E;
constexpr unsigned char kHeaderKey[] = {0xC7, 0xDA, 0x39, 0x6B};

// The catalog MSysObjects: its definition page, the Type of a table entry,
// the Flags of a system or hidden object, and the bits of Id that name the
// table's definition page.
constexpr std::uint32_t kCatalogPage = 2;
constexpr std::int64_t kCatalogTypeTable = 1;
constexpr std::uint32_t kCatalogFlagsSystem = 0x80000002u;
constexpr std::uint32_t kCatalogIdPageMask = 0x00FFFFFF;

constexpr std::uint8_t kPageData = 0x01;
constexpr std::uint8_t kPageTableDef = 0x02;
constexpr std::uint8_t kPageUsageMap = 0x05;

// A data page: type, a byte, free space, owning definition page, four
// unknown bytes, the row count, then one 16-bit offset per row.
constexpr std::size_t kDataOwnerOffset = 0x04;
constexpr std::size_t kRowCountOffset = 0x0C;
constexpr std::size_t kRowTableOffset = 0x0E;
constexpr std::uint16_t kRowDeleted = 0x8000;
constexpr std::uint16_t kRowForwarded = 0x4000;  // the row holds a pointer to where it moved
constexpr std::uint16_t kRowOffsetMask = 0x1FFF;
constexpr int kMaxForwardHops = 16;

// A row pointer: page << 8 | row.
constexpr unsigned kRowPointerShift = 8;
constexpr std::uint32_t kRowPointerRow = 0xFF;

// A table definition (Jet 4); a page that continues it starts with a header
// of kDefContinuationHeader bytes.
constexpr std::size_t kDefNextPage = 0x04;
constexpr std::size_t kDefContinuationHeader = 8;
constexpr std::size_t kDefColumns = 0x2D;
constexpr std::size_t kDefRealIndexes = 0x33;
constexpr std::size_t kDefUsageMap = 0x37;
constexpr std::size_t kDefHeaderSize = 0x3F;
constexpr std::size_t kRealIndexEntry = 12;

// One column's descriptor in the definition.
constexpr std::size_t kColumnEntry = 25;
constexpr std::size_t kColumnType = 0;
constexpr std::size_t kColumnNumber = 5;    // its bit in the null mask
constexpr std::size_t kColumnVarIndex = 7;  // its entry in the variable field table
constexpr std::size_t kColumnFlags = 15;
constexpr std::uint8_t kColumnFlagFixed = 0x01;
constexpr std::size_t kColumnFixedOffset = 21;
constexpr std::size_t kColumnLength = 23;

// A usage map: a kind byte, then either a start page and a bitmap of the
// pages from there on, or a list of map pages whose bitmaps (after a
// 4-byte header each) cover the file in turn.
constexpr std::uint8_t kMapInline = 0;
constexpr std::uint8_t kMapPages = 1;
constexpr std::size_t kMapInlineBitmap = 5;
constexpr std::size_t kMapPageBitmap = 4;

// The dates the store can hold: the years 100 to 9999, as days from 1899-12-30.
constexpr double kFirstDay = -657435.0;
constexpr double kLastDay = 2958466.0;

std::uint16_t U16(const unsigned char* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }
std::uint32_t U32(const unsigned char* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

void AppendUtf8(std::string& out, std::uint32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | c >> 6);
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | c >> 12);
        out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | c >> 18);
        out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
        out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// UTF-16 code units to UTF-8; a surrogate without its partner becomes U+FFFD.
std::string Utf8FromUnits(const std::vector<std::uint16_t>& units) {
    std::string out;
    out.reserve(units.size() * 3);
    for (std::size_t i = 0; i < units.size(); ++i) {
        const std::uint32_t u = units[i];
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF) {
            AppendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (units[i + 1] - 0xDC00u));
            ++i;
        } else if (u >= 0xD800 && u <= 0xDFFF) {
            AppendUtf8(out, 0xFFFD);
        } else {
            AppendUtf8(out, u);
        }
    }
    return out;
}

// A Jet 4 text: UTF-16LE, or, after the marker FF FE, Jet's compressed form
// in which a NUL byte switches between one byte per character (the high
// byte zero) and two.
std::string DecodeText(const unsigned char* p, std::size_t n) {
    std::vector<std::uint16_t> units;
    if (n >= 2 && p[0] == 0xFF && p[1] == 0xFE) {
        bool compressed = true;
        std::size_t i = 2;
        while (i < n) {
            if (p[i] == 0) {
                compressed = !compressed;
                ++i;
            } else if (compressed) {
                units.push_back(p[i++]);
            } else if (i + 1 < n) {
                units.push_back(U16(p + i));
                i += 2;
            } else {
                break;  // half a character at the end
            }
        }
    } else {
        for (std::size_t i = 0; i + 1 < n; i += 2) units.push_back(U16(p + i));
    }
    return Utf8FromUnits(units);
}

// Days since 1899-12-30 as a double; the fraction is the time of day, also
// for days before the zero date. Rounded to the whole second.
Value DecodeDate(const unsigned char* p) {
    double days;
    std::uint64_t raw = 0;
    for (int k = 7; k >= 0; --k) raw = raw << 8 | p[k];
    std::memcpy(&days, &raw, sizeof days);
    // Dates the store cannot hold (beyond the years 100 to 9999) read as null.
    if (!std::isfinite(days) || days < kFirstDay || days > kLastDay) return Value(Null{});
    double whole = std::trunc(days);
    std::int64_t seconds = std::llround(std::fabs(days - whole) * 86400.0);
    if (seconds >= 86400) {
        whole += 1;
        seconds -= 86400;
    }
    return Value(DateTime{static_cast<std::int32_t>(whole), static_cast<std::int32_t>(seconds)});
}

std::size_t FixedSize(int type) {
    switch (type) {
        case kJetByte: return 1;
        case kJetInt16: return 2;
        case kJetInt32:
        case kJetFloat: return 4;
        case kJetMoney:
        case kJetDouble:
        case kJetDateTime: return 8;
        case kJetGuid: return 16;
        case kJetNumeric: return 17;
        default: return 0;
    }
}

Value DecodeFixed(int type, const unsigned char* p) {
    switch (type) {
        case kJetByte: return Value(static_cast<std::int64_t>(p[0]));
        case kJetInt16: return Value(static_cast<std::int64_t>(static_cast<std::int16_t>(U16(p))));
        case kJetInt32: return Value(static_cast<std::int64_t>(static_cast<std::int32_t>(U32(p))));
        case kJetFloat: {
            const std::uint32_t raw = U32(p);
            float f;
            std::memcpy(&f, &raw, sizeof f);
            return Value(static_cast<double>(f));
        }
        case kJetDouble: {
            std::uint64_t raw = 0;
            for (int k = 7; k >= 0; --k) raw = raw << 8 | p[k];
            double d;
            std::memcpy(&d, &raw, sizeof d);
            return Value(d);
        }
        case kJetDateTime: return DecodeDate(p);
        default: return Value(Null{});
    }
}

// RC4, with which Jet 4 scrambles part of its header page.
void Rc4(const unsigned char* key, std::size_t keyLength, unsigned char* data, std::size_t n) {
    unsigned char s[256];
    for (int i = 0; i < 256; ++i) s[i] = static_cast<unsigned char>(i);
    for (int i = 0, j = 0; i < 256; ++i) {
        j = (j + s[i] + key[static_cast<std::size_t>(i) % keyLength]) & 0xFF;
        std::swap(s[i], s[j]);
    }
    for (std::size_t k = 0, i = 0, j = 0; k < n; ++k) {
        i = (i + 1) & 0xFF;
        j = (j + s[i]) & 0xFF;
        std::swap(s[i], s[j]);
        data[k] ^= s[(s[i] + s[j]) & 0xFF];
    }
}

// "第 5 页"
std::string PageText(std::uint64_t page) { return "第 " + std::to_string(page) + " 页"; }

// A page number past the end of the file.
std::string PastTheEnd(std::uint64_t page, std::uint32_t pageCount) {
    return "指向" + PageText(page) + "，但文件只有 " + std::to_string(pageCount) + " 页，文件已被截断或损坏";
}

// The table a failure was found in, formatted only when one is thrown.
struct Where {
    std::string_view table;  // "表“tblPass”", "目录表 MSysObjects"
    std::uint32_t definition;
    std::string Text() const { return std::string(table) + "（定义在" + PageText(definition) + "）"; }
};

// One row of that table.
struct RowAt {
    const Where& where;
    std::uint32_t page;
    unsigned row;
    std::string Text() const { return where.Text() + "中" + PageText(page) + "的第 " + std::to_string(row) + " 行"; }
};

// A row: column count, fixed fields, variable fields, then from the end the
// null mask, the count of variable fields, their offsets (last first) and the
// offset of the end of the data. `at` names the row in failures.
std::vector<Value> DecodeRow(const std::vector<Column>& columns, bool hasVariable, const unsigned char* r,
                             std::size_t length, const RowAt& at) {
    if (length < 2) throw JetError(at.Text() + "太短");
    const std::size_t rowColumns = U16(r);
    const std::size_t maskSize = (rowColumns + 7) / 8;
    if (2 + maskSize > length) throw JetError(at.Text() + "比它的空值掩码还短");
    const std::size_t mask = length - maskSize;
    std::size_t dataEnd = mask;
    std::size_t varCount = 0;
    std::vector<std::size_t> varOffsets;
    if (hasVariable) {
        if (mask < 4) throw JetError(at.Text() + "没有变长字段表");
        varCount = U16(r + mask - 2);
        if (4 + 2 * varCount + 2 > mask) throw JetError(at.Text() + "的变长字段表比该行还大");
        const std::size_t eodAt = mask - 4 - 2 * varCount;
        dataEnd = eodAt;
        for (std::size_t v = 0; v < varCount; ++v) varOffsets.push_back(U16(r + mask - 4 - 2 * v));
        varOffsets.push_back(U16(r + eodAt));
        for (std::size_t v = 0; v < varCount; ++v)
            if (varOffsets[v] < 2 || varOffsets[v] > varOffsets[v + 1] || varOffsets[v + 1] > dataEnd)
                throw JetError(at.Text() + "的变长字段 " + std::to_string(v) + " 超出了该行的范围");
    }
    std::vector<Value> values;
    values.reserve(columns.size());
    for (const auto& c : columns) {
        const bool present = static_cast<std::size_t>(c.number) < rowColumns &&
                             (r[mask + static_cast<std::size_t>(c.number) / 8] >> (c.number % 8) & 1) != 0;
        if (c.type == kJetBoolean) {
            values.emplace_back(static_cast<std::int64_t>(present ? 1 : 0));
        } else if (!present) {
            values.emplace_back(Null{});
        } else if (c.fixed) {
            const std::size_t size = FixedSize(c.type);
            const std::size_t from = 2 + static_cast<std::size_t>(c.fixedOffset);
            if (size == 0) {
                values.emplace_back(Null{});
            } else if (from + size > dataEnd) {
                throw JetError(at.Text() + "的列" + Quoted(c.name) + "超出了该行的范围");
            } else {
                values.push_back(DecodeFixed(c.type, r + from));
            }
        } else if (static_cast<std::size_t>(c.varIndex) >= varCount) {
            values.emplace_back(Null{});
        } else {
            const std::size_t from = varOffsets[static_cast<std::size_t>(c.varIndex)];
            const std::size_t to = varOffsets[static_cast<std::size_t>(c.varIndex) + 1];
            if (c.type == kJetText)
                values.emplace_back(DecodeText(r + from, to - from));
            else
                values.emplace_back(Null{});
        }
    }
    return values;
}

}  // namespace

HeaderInfo ClassifyHeader(std::string_view head) {
    HeaderInfo info;
    if (head.size() <= kVersionOffset ||
        std::memcmp(head.data() + kEngineNameOffset, kEngineName, sizeof kEngineName) != 0)
        return info;
    info.version = static_cast<unsigned char>(head[kVersionOffset]);
    info.kind = info.version == 0 ? FileKind::kJet3 : info.version == 1 ? FileKind::kJet4 : FileKind::kNewer;
    return info;
}

std::string DescribeKind(const HeaderInfo& info) {
    switch (info.kind) {
        case FileKind::kNotJet: return "不是 Jet 数据库";
        case FileKind::kJet3: return "是 Jet 3 数据库（Access 97，版本字节为 0）";
        case FileKind::kJet4: return "是 Jet 4 数据库（Access 2000 至 2003，版本字节为 1）";
        case FileKind::kNewer:
            return "是格式比 Jet 4 新的数据库（Access 2007 或更新的版本，版本字节为 " + std::to_string(info.version) +
                   "）";
    }
    return "格式不明";
}

namespace {

struct Definition {
    std::string name;
    std::uint32_t page = 0;
    std::vector<Column> columns;
    bool hasVariable = false;
    std::uint32_t usageMap = 0;  // row pointer
    Where Place() const { return Where{name, page}; }
};

struct CatalogEntry {
    std::string name;
    std::uint32_t page;
    std::int64_t type;
    std::uint32_t flags;
};

// Where one row lies on its page.
struct RowSlot {
    const unsigned char* page;
    std::uint16_t raw;  // the row table's entry: offset and flags
    std::size_t start, end;
};

// The file's pages and the walks over them: definitions, usage maps, rows.
class File {
public:
    explicit File(std::string bytes);

    Definition ReadDefinition(std::uint32_t first, std::string_view what) const;
    std::vector<std::vector<Value>> ReadRows(const Definition& def) const;

private:
    // `what` and `suffix` name who points at the page, for the failure.
    const unsigned char* Page(std::uint32_t page, const Where& what, std::string_view suffix = {}) const;
    std::vector<std::uint32_t> DataPages(const Definition& def) const;
    RowSlot Slot(const Definition& def, std::uint32_t page, unsigned row) const;
    static std::pair<std::uint32_t, unsigned> ForwardTarget(const RowSlot& slot, const RowAt& at);
    // Follows a moved row's pointers (at most kMaxForwardHops) to where it
    // lies; page and row name that place afterwards.
    RowSlot FollowForwarding(const Definition& def, RowSlot slot, std::uint32_t& page, unsigned& row) const;

    std::string bytes_;
    std::uint32_t pageCount_ = 0;
};

File::File(std::string bytes) : bytes_(std::move(bytes)) {
    const HeaderInfo info = ClassifyHeader(bytes_);
    if (info.kind == FileKind::kNotJet) throw JetError("该文件" + DescribeKind(info));
    if (info.kind != FileKind::kJet4) throw JetError("该文件" + DescribeKind(info) + "，不是 Jet 4 数据库");
    if (bytes_.size() % kPageSize != 0)
        throw JetError("文件长 " + std::to_string(bytes_.size()) +
                       " 字节，不是整数个 4096 字节的页，文件已被截断或损坏");
    if (bytes_.size() / kPageSize > std::numeric_limits<std::uint32_t>::max() / 2)
        throw JetError("文件太大，不可能是 Jet 4 数据库");
    pageCount_ = static_cast<std::uint32_t>(bytes_.size() / kPageSize);
    if (pageCount_ <= kCatalogPage)
        throw JetError("文件只有 " + std::to_string(pageCount_) + " 页，没有目录表 MSysObjects，文件已被截断或损坏");
    unsigned char header[kScrambledLength];
    std::memcpy(header, bytes_.data() + kScrambledFrom, sizeof header);
    Rc4(kHeaderKey, sizeof kHeaderKey, header, sizeof header);
    if (U32(header + (kDatabaseKeyOffset - kScrambledFrom)) != 0)
        throw JetEncryptedError("数据库已加密（经过编码的 Jet 数据库），本组件不读取加密的数据库");
}

const unsigned char* File::Page(std::uint32_t page, const Where& what, std::string_view suffix) const {
    if (page >= pageCount_) throw JetError(what.Text() + std::string(suffix) + PastTheEnd(page, pageCount_));
    return reinterpret_cast<const unsigned char*>(bytes_.data()) + static_cast<std::size_t>(page) * kPageSize;
}

Definition File::ReadDefinition(std::uint32_t first, std::string_view what) const {
    Definition out;
    out.name = std::string(what);
    out.page = first;
    const Where where = out.Place();
    // The definition may go on over further pages, each after its header.
    if (first == 0) throw JetError(where.Text() + "：第 0 页是文件头，不是表定义页");
    std::vector<unsigned char> def;
    std::vector<bool> seen(pageCount_, false);
    for (std::uint32_t page = first; page != 0;) {
        const unsigned char* p = Page(page, where);
        if (p[0] != kPageTableDef)
            throw JetError(where.Text() + "：" + PageText(page) + "不是表定义页（页类型为 " + std::to_string(p[0]) +
                           "）");
        if (seen[page]) throw JetError(where.Text() + "：定义页的链在" + PageText(page) + "处形成循环");
        seen[page] = true;
        def.insert(def.end(), p + (def.empty() ? 0 : kDefContinuationHeader), p + kPageSize);
        page = U32(p + kDefNextPage);
    }
    const std::size_t columnCount = U16(def.data() + kDefColumns);
    const std::uint32_t realIndexes = U32(def.data() + kDefRealIndexes);
    out.usageMap = U32(def.data() + kDefUsageMap);
    std::size_t pos = kDefHeaderSize + static_cast<std::size_t>(realIndexes) * kRealIndexEntry;
    if (realIndexes > def.size() || pos + columnCount * kColumnEntry > def.size())
        throw JetError(where.Text() + "：列的描述超出了表定义的末尾（" + std::to_string(columnCount) + " 列，" +
                       std::to_string(realIndexes) + " 个索引）");
    for (std::size_t i = 0; i < columnCount; ++i) {
        const unsigned char* c = def.data() + pos + i * kColumnEntry;
        Column column;
        column.type = c[kColumnType];
        column.number = U16(c + kColumnNumber);
        column.varIndex = U16(c + kColumnVarIndex);
        column.fixed = (c[kColumnFlags] & kColumnFlagFixed) != 0;
        column.fixedOffset = U16(c + kColumnFixedOffset);
        column.length = U16(c + kColumnLength);
        if (!column.fixed) out.hasVariable = true;
        out.columns.push_back(column);
    }
    pos += columnCount * kColumnEntry;
    for (auto& column : out.columns) {
        if (pos + 2 > def.size()) throw JetError(where.Text() + "：列名超出了表定义的末尾");
        const std::size_t length = U16(def.data() + pos);
        pos += 2;
        if (pos + length > def.size()) throw JetError(where.Text() + "：列名超出了表定义的末尾");
        column.name = DecodeText(def.data() + pos, length);
        pos += length;
    }
    return out;
}

std::vector<std::uint32_t> File::DataPages(const Definition& def) const {
    const Where where = def.Place();
    const std::uint32_t mapPage = def.usageMap >> kRowPointerShift;
    const unsigned rowNumber = def.usageMap & kRowPointerRow;
    const unsigned char* p = Page(mapPage, where, "的使用映射");
    const std::size_t rows = U16(p + kRowCountOffset);
    const std::size_t rowsEnd = kRowTableOffset + 2 * rows;
    if (rowNumber >= rows || rowsEnd > kPageSize)
        throw JetError(where.Text() + "的使用映射（" + PageText(mapPage) + "的第 " + std::to_string(rowNumber) +
                       " 行）不存在");
    const std::size_t start = U16(p + kRowTableOffset + 2 * rowNumber) & kRowOffsetMask;
    const std::size_t end = rowNumber == 0 ? kPageSize
                                           : U16(p + kRowTableOffset + 2 * (rowNumber - 1)) & kRowOffsetMask;
    if (start < rowsEnd || end > kPageSize || end <= start)
        throw JetError(where.Text() + "的使用映射超出了它所在的" + PageText(mapPage) + "的范围");

    std::vector<bool> used(pageCount_, false);
    auto mark = [&](std::uint64_t page) {
        if (page >= pageCount_) throw JetError(where.Text() + "的使用映射" + PastTheEnd(page, pageCount_));
        used[static_cast<std::size_t>(page)] = true;
    };
    const unsigned char* map = p + start;
    const std::size_t length = end - start;
    if (map[0] == kMapInline) {
        if (length < kMapInlineBitmap) throw JetError(where.Text() + "的使用映射太短");
        const std::uint64_t first = U32(map + 1);
        for (std::size_t byte = kMapInlineBitmap; byte < length; ++byte)
            for (unsigned bit = 0; map[byte] >> bit != 0; ++bit)
                if (map[byte] >> bit & 1) mark(first + (byte - kMapInlineBitmap) * 8 + bit);
    } else if (map[0] == kMapPages) {
        const std::uint64_t pagesPerMap = (kPageSize - kMapPageBitmap) * 8;
        for (std::size_t j = 0; 1 + 4 * j + 4 <= length; ++j) {
            const std::uint32_t bitmapPage = U32(map + 1 + 4 * j);
            if (bitmapPage == 0) continue;
            const unsigned char* b = Page(bitmapPage, where, "的使用映射");
            if (b[0] != kPageUsageMap)
                throw JetError(where.Text() + "：使用映射中的" + PageText(bitmapPage) + "不是映射页（页类型为 " +
                               std::to_string(b[0]) + "）");
            for (std::size_t byte = kMapPageBitmap; byte < kPageSize; ++byte)
                for (unsigned bit = 0; b[byte] >> bit != 0; ++bit)
                    if (b[byte] >> bit & 1) mark(j * pagesPerMap + (byte - kMapPageBitmap) * 8 + bit);
        }
    } else {
        throw JetError(where.Text() + "的使用映射类型不明（类型为 " + std::to_string(map[0]) + "）");
    }
    std::vector<std::uint32_t> pages;
    for (std::uint32_t page = 0; page < pageCount_; ++page) {
        if (!used[page]) continue;
        const unsigned char* d = Page(page, where);
        if (d[0] != kPageData || U32(d + kDataOwnerOffset) != def.page)
            throw JetError(where.Text() + "：使用映射中的" + PageText(page) + "不是该表的数据页");
        if (kRowTableOffset + 2 * static_cast<std::size_t>(U16(d + kRowCountOffset)) > kPageSize)
            throw JetError(where.Text() + "：" + PageText(page) + "记载的行数多于一页所能容纳的行数");
        pages.push_back(page);
    }
    return pages;
}

RowSlot File::Slot(const Definition& def, std::uint32_t pageNumber, unsigned row) const {
    const Where where = def.Place();
    const unsigned char* p = Page(pageNumber, where);
    const std::size_t rows = U16(p + kRowCountOffset);
    const std::size_t rowsEnd = kRowTableOffset + 2 * rows;
    const RowAt at{where, pageNumber, row};
    if (p[0] != kPageData || U32(p + kDataOwnerOffset) != def.page || rowsEnd > kPageSize)
        throw JetError(at.Text() + "所在的页不是该表的数据页");
    if (row >= rows) throw JetError(at.Text() + "不存在");
    const std::uint16_t raw = U16(p + kRowTableOffset + 2 * row);
    const std::size_t start = raw & kRowOffsetMask;
    const std::size_t end = row == 0 ? kPageSize : U16(p + kRowTableOffset + 2 * (row - 1)) & kRowOffsetMask;
    if ((raw & kRowDeleted) == 0 && (start < rowsEnd || end > kPageSize || end <= start))
        throw JetError(at.Text() + "超出了所在页的范围");
    return RowSlot{p, raw, start, end};
}

std::pair<std::uint32_t, unsigned> File::ForwardTarget(const RowSlot& slot, const RowAt& at) {
    if (slot.end - slot.start < 4) throw JetError(at.Text() + "已移到别处，但指向新位置的指针不完整");
    const unsigned char* q = slot.page + slot.start;
    return {U32(q) >> kRowPointerShift, q[0]};
}

RowSlot File::FollowForwarding(const Definition& def, RowSlot slot, std::uint32_t& page, unsigned& row) const {
    const Where where = def.Place();
    const std::uint32_t firstPage = page;
    const unsigned firstRow = row;
    for (int hop = 0; (slot.raw & kRowForwarded) != 0; ++hop) {
        if (hop == kMaxForwardHops)
            throw JetError(RowAt{where, firstPage, firstRow}.Text() + "已移到别处，但沿指针转移 " +
                           std::to_string(kMaxForwardHops) + " 次后仍未找到该行");
        const auto target = ForwardTarget(slot, RowAt{where, page, row});
        page = target.first;
        row = target.second;
        slot = Slot(def, page, row);
        if (slot.end > kPageSize || slot.end <= slot.start ||
            slot.start < kRowTableOffset + 2 * static_cast<std::size_t>(U16(slot.page + kRowCountOffset)))
            throw JetError(RowAt{where, page, row}.Text() + "超出了所在页的范围");
    }
    return slot;
}

std::vector<std::vector<Value>> File::ReadRows(const Definition& def) const {
    const Where where = def.Place();
    const std::vector<std::uint32_t> pages = DataPages(def);

    // A row that moved to another page leaves a pointer behind; the moved
    // row itself is read only through that pointer, never on its own.
    std::set<std::pair<std::uint32_t, unsigned>> targets;
    for (const std::uint32_t page : pages) {
        const std::size_t rows = U16(Page(page, where) + kRowCountOffset);
        for (unsigned row = 0; row < rows; ++row) {
            const RowSlot s = Slot(def, page, row);
            if ((s.raw & (kRowDeleted | kRowForwarded)) == kRowForwarded)
                targets.insert(ForwardTarget(s, RowAt{where, page, row}));
        }
    }

    std::vector<std::vector<Value>> out;
    for (const std::uint32_t page : pages) {
        const std::size_t rows = U16(Page(page, where) + kRowCountOffset);
        for (unsigned row = 0; row < rows; ++row) {
            const RowSlot first = Slot(def, page, row);
            if ((first.raw & kRowDeleted) != 0 || targets.count({page, row}) != 0) continue;
            std::uint32_t atPage = page;
            unsigned atRow = row;
            const RowSlot s = FollowForwarding(def, first, atPage, atRow);
            out.push_back(DecodeRow(def.columns, def.hasVariable, s.page + s.start, s.end - s.start,
                                    RowAt{where, atPage, atRow}));
        }
    }
    return out;
}

std::vector<CatalogEntry> ReadCatalog(const File& file) {
    const Definition def = file.ReadDefinition(kCatalogPage, "目录表 MSysObjects");
    int id = -1, name = -1, type = -1, flags = -1;
    for (std::size_t i = 0; i < def.columns.size(); ++i) {
        const std::string& n = def.columns[i].name;
        if (EqualsAsciiNoCase(n, "Id")) id = static_cast<int>(i);
        if (EqualsAsciiNoCase(n, "Name")) name = static_cast<int>(i);
        if (EqualsAsciiNoCase(n, "Type")) type = static_cast<int>(i);
        if (EqualsAsciiNoCase(n, "Flags")) flags = static_cast<int>(i);
    }
    if (id < 0 || name < 0 || type < 0) throw JetError(def.Place().Text() + "缺少 Id、Name 或 Type 列");
    std::vector<CatalogEntry> entries;
    for (const auto& row : file.ReadRows(def)) {
        const auto* t = std::get_if<std::int64_t>(&row[static_cast<std::size_t>(type)].Raw());
        const auto* i = std::get_if<std::int64_t>(&row[static_cast<std::size_t>(id)].Raw());
        const auto* n = std::get_if<std::string>(&row[static_cast<std::size_t>(name)].Raw());
        if (!t || !i || !n) continue;
        const std::int64_t* f = flags < 0 ? nullptr
                                          : std::get_if<std::int64_t>(&row[static_cast<std::size_t>(flags)].Raw());
        entries.push_back(
            {*n, static_cast<std::uint32_t>(*i) & kCatalogIdPageMask, *t, f ? static_cast<std::uint32_t>(*f) : 0});
    }
    return entries;
}

}  // namespace

struct Reader::Parsed {
    explicit Parsed(std::string bytes) : file(std::move(bytes)), catalog(ReadCatalog(file)) {}
    File file;
    std::vector<CatalogEntry> catalog;  // read once, here
};

Reader::Reader(std::string bytes) : parsed_(std::make_shared<const Parsed>(std::move(bytes))) {}

std::vector<std::string> Reader::TableNames() const {
    std::vector<std::string> names;
    for (const auto& e : parsed_->catalog)
        if (e.type == kCatalogTypeTable && (e.flags & kCatalogFlagsSystem) == 0) names.push_back(e.name);
    return names;
}

std::optional<Table> Reader::ReadTable(std::string_view name) const {
    for (const auto& e : parsed_->catalog) {
        if (e.type != kCatalogTypeTable || !EqualsAsciiNoCase(e.name, name)) continue;
        const Definition def = parsed_->file.ReadDefinition(e.page, "表" + Quoted(e.name));
        Table table;
        table.name = e.name;
        table.columns = def.columns;
        table.rows = parsed_->file.ReadRows(def);
        return table;
    }
    return std::nullopt;
}

}  // namespace dg::store::jet
