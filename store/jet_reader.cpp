#include "store/jet_reader.h"

#include <cmath>
#include <cstring>
#include <limits>
#include <set>
#include <utility>

#include "base/ascii.h"

namespace dg::store::jet {
namespace {

constexpr char kEngineName[] = "Standard Jet DB";  // at byte 4, with its NUL
constexpr std::size_t kVersionOffset = 0x14;
constexpr std::uint32_t kCatalogPage = 2;

constexpr std::uint8_t kPageData = 0x01;
constexpr std::uint8_t kPageTableDef = 0x02;
constexpr std::uint8_t kPageUsageMap = 0x05;

// A data page: type, a byte, free space, owning definition page, four
// unknown bytes, the row count, then one 16-bit offset per row.
constexpr std::size_t kRowCountOffset = 0x0C;
constexpr std::size_t kRowTableOffset = 0x0E;
constexpr std::uint16_t kRowDeleted = 0x8000;
constexpr std::uint16_t kRowForwarded = 0x4000;  // the row holds a pointer to where it moved
constexpr std::uint16_t kRowOffsetMask = 0x1FFF;
constexpr int kMaxForwardHops = 16;

// A table definition (Jet 4).
constexpr std::size_t kDefNextPage = 0x04;
constexpr std::size_t kDefColumns = 0x2D;
constexpr std::size_t kDefRealIndexes = 0x33;
constexpr std::size_t kDefUsageMap = 0x37;
constexpr std::size_t kDefHeaderSize = 0x3F;
constexpr std::size_t kRealIndexEntry = 12;
constexpr std::size_t kColumnEntry = 25;

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
    if (!std::isfinite(days) || days < -657435.0 || days > 2958466.0) return Value(Null{});
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

std::string PageText(std::uint32_t page) { return "page " + std::to_string(page); }

// A row: column count, fixed fields, variable fields, then from the end the
// null mask, the count of variable fields, their offsets (last first) and the
// offset of the end of the data. `at` names the row in failures.
std::vector<Value> DecodeRow(const std::vector<Column>& columns, bool hasVariable, const unsigned char* r,
                             std::size_t length, const std::string& at) {
    if (length < 2) throw JetError(at + " is too short");
    const std::size_t rowColumns = U16(r);
    const std::size_t maskSize = (rowColumns + 7) / 8;
    if (2 + maskSize > length) throw JetError(at + " is shorter than its null mask");
    const std::size_t mask = length - maskSize;
    std::size_t dataEnd = mask;
    std::size_t varCount = 0;
    std::vector<std::size_t> varOffsets;
    if (hasVariable) {
        if (mask < 4) throw JetError(at + " has no variable field table");
        varCount = U16(r + mask - 2);
        if (4 + 2 * varCount + 2 > mask) throw JetError(at + " has a variable field table larger than the row");
        const std::size_t eodAt = mask - 4 - 2 * varCount;
        dataEnd = eodAt;
        for (std::size_t v = 0; v < varCount; ++v) varOffsets.push_back(U16(r + mask - 4 - 2 * v));
        varOffsets.push_back(U16(r + eodAt));
        for (std::size_t v = 0; v < varCount; ++v)
            if (varOffsets[v] < 2 || varOffsets[v] > varOffsets[v + 1] || varOffsets[v + 1] > dataEnd)
                throw JetError(at + ": variable field " + std::to_string(v) + " lies outside the row");
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
                throw JetError(at + ": the field of column '" + c.name + "' lies outside the row");
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
    if (head.size() <= kVersionOffset || std::memcmp(head.data() + 4, kEngineName, sizeof kEngineName) != 0)
        return info;
    info.version = static_cast<unsigned char>(head[kVersionOffset]);
    info.kind = info.version == 0 ? FileKind::kJet3 : info.version == 1 ? FileKind::kJet4 : FileKind::kNewer;
    return info;
}

std::string DescribeKind(const HeaderInfo& info) {
    switch (info.kind) {
        case FileKind::kNotJet: return "not a Jet database";
        case FileKind::kJet3: return "a Jet 3 database (Access 97, version byte 0)";
        case FileKind::kJet4: return "a Jet 4 database (Access 2000 to 2003, version byte 1)";
        case FileKind::kNewer:
            return "a database of a format newer than Jet 4 (Access 2007 or later, version byte " +
                   std::to_string(info.version) + ")";
    }
    return "unknown";
}

struct Reader::Definition {
    std::string name;
    std::uint32_t page = 0;
    std::vector<Column> columns;
    bool hasVariable = false;
    std::uint32_t usageMap = 0;  // row pointer: page << 8 | row
};

Reader::Reader(std::string bytes) : bytes_(std::move(bytes)) {
    const HeaderInfo info = ClassifyHeader(bytes_);
    if (info.kind != FileKind::kJet4) throw JetError("The file is " + DescribeKind(info) + ", not a Jet 4 database");
    if (bytes_.size() % kPageSize != 0)
        throw JetError("The file is " + std::to_string(bytes_.size()) +
                       " bytes long, not a whole number of 4096-byte pages: it is truncated or damaged");
    if (bytes_.size() / kPageSize > std::numeric_limits<std::uint32_t>::max() / 2)
        throw JetError("The file is too large for a Jet 4 database");
    pageCount_ = static_cast<std::uint32_t>(bytes_.size() / kPageSize);
    if (pageCount_ <= kCatalogPage)
        throw JetError("The file has only " + std::to_string(pageCount_) +
                       " pages and no catalog: it is truncated or damaged");
    // Bytes 0x18 to 0x95 of the header page are scrambled with a fixed key;
    // among them, at 0x3E, the key of an encrypted database (0 when plain).
    unsigned char header[126];
    std::memcpy(header, bytes_.data() + 0x18, sizeof header);
    static constexpr unsigned char kHeaderKey[] = {0xC7, 0xDA, 0x39, 0x6B};
    Rc4(kHeaderKey, sizeof kHeaderKey, header, sizeof header);
    if (U32(header + (0x3E - 0x18)) != 0)
        throw JetEncryptedError("The database is encrypted (an encoded Jet database), which is not read here");
}

const unsigned char* Reader::Page(std::uint32_t page, std::string_view what) const {
    if (page >= pageCount_)
        throw JetError(std::string(what) + " names page " + std::to_string(page) + ", but the file has only " +
                       std::to_string(pageCount_) + " pages: it is truncated or damaged");
    return reinterpret_cast<const unsigned char*>(bytes_.data()) + static_cast<std::size_t>(page) * kPageSize;
}

Reader::Definition Reader::ReadDefinition(std::uint32_t first, std::string_view what) const {
    const std::string where = std::string(what) + " (definition at " + PageText(first) + ")";
    // The definition may go on over further pages, each after an 8-byte header.
    if (first == 0) throw JetError(where + ": page 0 is the file's header, not a table definition");
    std::vector<unsigned char> def;
    std::vector<bool> seen(pageCount_, false);
    for (std::uint32_t page = first; page != 0;) {
        const unsigned char* p = Page(page, where);
        if (p[0] != kPageTableDef)
            throw JetError(where + ": " + PageText(page) + " is no table definition page (type " +
                           std::to_string(p[0]) + ")");
        if (seen[page]) throw JetError(where + ": its pages form a loop at " + PageText(page));
        seen[page] = true;
        def.insert(def.end(), p + (def.empty() ? 0 : 8), p + kPageSize);
        page = U32(p + kDefNextPage);
    }
    Definition out;
    out.name = std::string(what);
    out.page = first;
    const std::size_t columnCount = U16(def.data() + kDefColumns);
    const std::uint32_t realIndexes = U32(def.data() + kDefRealIndexes);
    out.usageMap = U32(def.data() + kDefUsageMap);
    std::size_t pos = kDefHeaderSize + static_cast<std::size_t>(realIndexes) * kRealIndexEntry;
    if (realIndexes > def.size() || pos + columnCount * kColumnEntry > def.size())
        throw JetError(where + ": its column list runs past its end (" + std::to_string(columnCount) + " columns, " +
                       std::to_string(realIndexes) + " indexes)");
    for (std::size_t i = 0; i < columnCount; ++i) {
        const unsigned char* c = def.data() + pos + i * kColumnEntry;
        Column column;
        column.type = c[0];
        column.number = U16(c + 5);
        column.varIndex = U16(c + 7);
        column.fixed = (c[15] & 0x01) != 0;
        column.fixedOffset = U16(c + 21);
        column.length = U16(c + 23);
        if (!column.fixed) out.hasVariable = true;
        out.columns.push_back(column);
    }
    pos += columnCount * kColumnEntry;
    for (auto& column : out.columns) {
        if (pos + 2 > def.size()) throw JetError(where + ": its column names run past its end");
        const std::size_t length = U16(def.data() + pos);
        pos += 2;
        if (pos + length > def.size()) throw JetError(where + ": its column names run past its end");
        column.name = DecodeText(def.data() + pos, length);
        pos += length;
    }
    return out;
}

std::vector<std::uint32_t> Reader::DataPages(const Definition& def) const {
    const std::string where = def.name + " (definition at " + PageText(def.page) + ")";
    // The usage map is a row somewhere: either a bitmap of pages from a start
    // page on, or a list of map pages whose bitmaps cover the file in turn.
    const std::uint32_t mapPage = def.usageMap >> 8;
    const unsigned rowNumber = def.usageMap & 0xFF;
    const unsigned char* p = Page(mapPage, where + ": its usage map");
    const std::size_t rows = U16(p + kRowCountOffset);
    const std::size_t rowsEnd = kRowTableOffset + 2 * rows;
    if (rowNumber >= rows || rowsEnd > kPageSize)
        throw JetError(where + ": its usage map, row " + std::to_string(rowNumber) + " of " + PageText(mapPage) +
                       ", does not exist");
    const std::size_t start = U16(p + kRowTableOffset + 2 * rowNumber) & kRowOffsetMask;
    const std::size_t end = rowNumber == 0 ? kPageSize
                                           : U16(p + kRowTableOffset + 2 * (rowNumber - 1)) & kRowOffsetMask;
    if (start < rowsEnd || end > kPageSize || end <= start)
        throw JetError(where + ": its usage map on " + PageText(mapPage) + " lies outside its page");

    std::vector<bool> used(pageCount_, false);
    auto mark = [&](std::uint64_t page) {
        if (page >= pageCount_)
            throw JetError(where + ": its usage map names page " + std::to_string(page) + ", but the file has only " +
                           std::to_string(pageCount_) + " pages: it is truncated or damaged");
        used[static_cast<std::size_t>(page)] = true;
    };
    const unsigned char* map = p + start;
    const std::size_t length = end - start;
    if (map[0] == 0) {
        if (length < 5) throw JetError(where + ": its usage map is too short");
        const std::uint64_t first = U32(map + 1);
        for (std::size_t byte = 5; byte < length; ++byte)
            for (unsigned bit = 0; map[byte] >> bit != 0; ++bit)
                if (map[byte] >> bit & 1) mark(first + (byte - 5) * 8 + bit);
    } else if (map[0] == 1) {
        const std::uint64_t pagesPerMap = (kPageSize - 4) * 8;
        for (std::size_t j = 0; 1 + 4 * j + 4 <= length; ++j) {
            const std::uint32_t bitmapPage = U32(map + 1 + 4 * j);
            if (bitmapPage == 0) continue;
            const unsigned char* b = Page(bitmapPage, where + ": its usage map");
            if (b[0] != kPageUsageMap)
                throw JetError(where + ": " + PageText(bitmapPage) + " of its usage map is no map page (type " +
                               std::to_string(b[0]) + ")");
            for (std::size_t byte = 4; byte < kPageSize; ++byte)
                for (unsigned bit = 0; b[byte] >> bit != 0; ++bit)
                    if (b[byte] >> bit & 1) mark(j * pagesPerMap + (byte - 4) * 8 + bit);
        }
    } else {
        throw JetError(where + ": its usage map has the unknown kind " + std::to_string(map[0]));
    }
    std::vector<std::uint32_t> pages;
    for (std::uint32_t page = 0; page < pageCount_; ++page) {
        if (!used[page]) continue;
        const unsigned char* d = Page(page, where);
        if (d[0] != kPageData || U32(d + 4) != def.page)
            throw JetError(where + ": " + PageText(page) + " in its usage map is no data page of this table");
        if (kRowTableOffset + 2 * static_cast<std::size_t>(U16(d + kRowCountOffset)) > kPageSize)
            throw JetError(where + ": " + PageText(page) + " claims more rows than fit on a page");
        pages.push_back(page);
    }
    return pages;
}

struct Reader::RowSlot {
    const unsigned char* page;
    std::uint16_t raw;  // the row table's entry: offset and flags
    std::size_t start, end;
};

Reader::RowSlot Reader::Slot(const Definition& def, std::uint32_t pageNumber, unsigned row,
                             const std::string& where) const {
    const unsigned char* p = Page(pageNumber, where);
    const std::size_t rows = U16(p + kRowCountOffset);
    const std::size_t rowsEnd = kRowTableOffset + 2 * rows;
    const std::string at = where + ": row " + std::to_string(row) + " of " + PageText(pageNumber);
    if (p[0] != kPageData || U32(p + 4) != def.page || rowsEnd > kPageSize)
        throw JetError(at + " is on no data page of this table");
    if (row >= rows) throw JetError(at + " does not exist");
    const std::uint16_t raw = U16(p + kRowTableOffset + 2 * row);
    const std::size_t start = raw & kRowOffsetMask;
    const std::size_t end = row == 0 ? kPageSize : U16(p + kRowTableOffset + 2 * (row - 1)) & kRowOffsetMask;
    if ((raw & kRowDeleted) == 0 && (start < rowsEnd || end > kPageSize || end <= start))
        throw JetError(at + " lies outside its page");
    return RowSlot{p, raw, start, end};
}

std::pair<std::uint32_t, unsigned> Reader::ForwardTarget(const RowSlot& slot, std::uint32_t pageNumber, unsigned row,
                                                         const std::string& where) {
    if (slot.end - slot.start < 4)
        throw JetError(where + ": the moved row " + std::to_string(row) + " of " + PageText(pageNumber) +
                       " has no complete pointer");
    const unsigned char* q = slot.page + slot.start;
    return {U32(q) >> 8, q[0]};
}

Reader::RowSlot Reader::FollowForwarding(const Definition& def, RowSlot slot, std::uint32_t& page, unsigned& row,
                                         const std::string& where) const {
    const std::uint32_t firstPage = page;
    const unsigned firstRow = row;
    for (int hop = 0; (slot.raw & kRowForwarded) != 0; ++hop) {
        if (hop == kMaxForwardHops)
            throw JetError(where + ": the moved row " + std::to_string(firstRow) + " of " + PageText(firstPage) +
                           " forwards more than " + std::to_string(kMaxForwardHops) + " times");
        const auto target = ForwardTarget(slot, page, row, where);
        page = target.first;
        row = target.second;
        slot = Slot(def, page, row, where);
        if (slot.end > kPageSize || slot.end <= slot.start ||
            slot.start < kRowTableOffset + 2 * static_cast<std::size_t>(U16(slot.page + kRowCountOffset)))
            throw JetError(where + ": row " + std::to_string(row) + " of " + PageText(page) + " lies outside its page");
    }
    return slot;
}

std::vector<std::vector<Value>> Reader::ReadRows(const Definition& def) const {
    const std::string where = def.name + " (definition at " + PageText(def.page) + ")";
    const std::vector<std::uint32_t> pages = DataPages(def);

    // A row that moved to another page leaves a pointer behind; the moved
    // row itself is read only through that pointer, never on its own.
    std::set<std::pair<std::uint32_t, unsigned>> targets;
    for (const std::uint32_t page : pages) {
        const std::size_t rows = U16(Page(page, where) + kRowCountOffset);
        for (unsigned row = 0; row < rows; ++row) {
            const RowSlot s = Slot(def, page, row, where);
            if ((s.raw & (kRowDeleted | kRowForwarded)) == kRowForwarded)
                targets.insert(ForwardTarget(s, page, row, where));
        }
    }

    std::vector<std::vector<Value>> out;
    for (const std::uint32_t page : pages) {
        const std::size_t rows = U16(Page(page, where) + kRowCountOffset);
        for (unsigned row = 0; row < rows; ++row) {
            const RowSlot first = Slot(def, page, row, where);
            if ((first.raw & kRowDeleted) != 0 || targets.count({page, row}) != 0) continue;
            std::uint32_t atPage = page;
            unsigned atRow = row;
            const RowSlot s = FollowForwarding(def, first, atPage, atRow, where);
            const std::string at = where + ": row " + std::to_string(atRow) + " of " + PageText(atPage);
            out.push_back(DecodeRow(def.columns, def.hasVariable, s.page + s.start, s.end - s.start, at));
        }
    }
    return out;
}

std::vector<Reader::CatalogEntry> Reader::Catalog() const {
    const Definition def = ReadDefinition(kCatalogPage, "the catalog MSysObjects");
    int id = -1, name = -1, type = -1, flags = -1;
    for (std::size_t i = 0; i < def.columns.size(); ++i) {
        const std::string& n = def.columns[i].name;
        if (EqualsAsciiNoCase(n, "Id")) id = static_cast<int>(i);
        if (EqualsAsciiNoCase(n, "Name")) name = static_cast<int>(i);
        if (EqualsAsciiNoCase(n, "Type")) type = static_cast<int>(i);
        if (EqualsAsciiNoCase(n, "Flags")) flags = static_cast<int>(i);
    }
    if (id < 0 || name < 0 || type < 0)
        throw JetError("the catalog MSysObjects (definition at page 2) lacks its Id, Name or Type column");
    std::vector<CatalogEntry> entries;
    for (const auto& row : ReadRows(def)) {
        const auto* t = std::get_if<std::int64_t>(&row[static_cast<std::size_t>(type)].Raw());
        const auto* i = std::get_if<std::int64_t>(&row[static_cast<std::size_t>(id)].Raw());
        const auto* n = std::get_if<std::string>(&row[static_cast<std::size_t>(name)].Raw());
        if (!t || !i || !n) continue;
        const std::int64_t* f = flags < 0 ? nullptr
                                          : std::get_if<std::int64_t>(&row[static_cast<std::size_t>(flags)].Raw());
        entries.push_back({*n, static_cast<std::uint32_t>(*i) & 0x00FFFFFF, static_cast<int>(*t),
                           f ? static_cast<std::uint32_t>(*f) : 0});
    }
    return entries;
}

std::vector<std::string> Reader::TableNames() const {
    std::vector<std::string> names;
    for (const auto& e : Catalog())
        if (e.type == 1 && (e.flags & 0x80000002u) == 0) names.push_back(e.name);
    return names;
}

std::optional<Table> Reader::ReadTable(std::string_view name) const {
    for (const auto& e : Catalog()) {
        if (e.type != 1 || !EqualsAsciiNoCase(e.name, name)) continue;
        const Definition def = ReadDefinition(e.page, "table " + e.name);
        Table table;
        table.name = e.name;
        table.columns = def.columns;
        table.rows = ReadRows(def);
        return table;
    }
    return std::nullopt;
}

}  // namespace dg::store::jet
