#pragma once
// Writes small Jet 4 files for tests: a catalog, and tables of long integer,
// date/time and text columns whose rows may be deleted (kept, flagged) or
// moved (a pointer left in place, the row on the table's second data page,
// flagged deleted as the Jet engine leaves a rewritten row that no longer
// fits). Text is stored with Jet's compression where it can be.
#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <variant>
#include <vector>

namespace dg::testsupport::jet {

enum : int { kLong = 4, kDate = 8, kText = 10, kOle = 11 };  // OLE columns stay null
struct Col {
    std::string name;
    int type;
    int chars = 255;
};
using Cell = std::variant<std::monostate, std::int64_t, double, std::string>;  // null, long, date (days), UTF-8
struct Row {
    std::vector<Cell> cells;
    bool deleted = false, moved = false;
};
struct Table {
    std::string name;
    std::vector<Col> cols;
    std::vector<Row> rows;
    bool referenceMap = false;
};

namespace detail {
using Bytes = std::string;
inline void Put16(Bytes& b, std::size_t at, unsigned v) { b[at] = char(v & 0xFF), b[at + 1] = char(v >> 8 & 0xFF); }
inline void Put32(Bytes& b, std::size_t at, std::uint32_t v) { Put16(b, at, v & 0xFFFF), Put16(b, at + 2, v >> 16); }
inline std::u16string Utf16(const std::string& s) {
    std::u16string out;
    for (std::size_t i = 0; i < s.size();) {
        const unsigned char c = s[i];
        const int n = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
        std::uint32_t u = n == 1 ? c : c & (0x3F >> (n - 1));
        for (int k = 1; k < n; ++k) u = u << 6 | (s[i + k] & 0x3F);
        if (u >= 0x10000) out += char16_t(0xD800 + ((u - 0x10000) >> 10)), u = 0xDC00 + (u & 0x3FF);
        out += char16_t(u), i += n;
    }
    return out;
}
// Compressed (FF FE, NUL switching modes) where that is shorter and no wide
// character has a zero low byte; plain UTF-16LE otherwise.
inline Bytes Text(const std::string& s) {
    const std::u16string u = Utf16(s);
    Bytes out = "\xFF\xFE";
    bool narrow = true, ok = true;
    for (char16_t c : u) {
        if ((c < 0x100 && c != 0) != narrow) out += '\0', narrow = !narrow;
        if (narrow)
            out += char(c);
        else if ((c & 0xFF) == 0)
            ok = false;
        else
            out += char(c & 0xFF), out += char(c >> 8);
    }
    if (ok && out.size() < 2 * u.size()) return out;
    out.clear();
    for (char16_t c : u) out += char(c & 0xFF), out += char(c >> 8);
    return out;
}
inline Bytes EncodeRow(const std::vector<Col>& cols, const std::vector<Cell>& cells) {
    Bytes fixed, var, mask((cols.size() + 7) / 8, '\0');
    std::vector<unsigned> offsets;
    for (std::size_t i = 0; i < cols.size(); ++i) {
        const Cell& c = cells[i];
        if (c.index() != 0) mask[i / 8] = char(mask[i / 8] | 1 << (i % 8));
        if (cols[i].type == kText || cols[i].type == kOle) {
            offsets.push_back(unsigned(2 + var.size()));  // fixed part comes first, patched below
            if (auto s = std::get_if<std::string>(&c)) var += Text(*s);
        } else if (cols[i].type == kLong) {
            Bytes v(4, '\0');
            if (auto n = std::get_if<std::int64_t>(&c)) Put32(v, 0, std::uint32_t(*n));
            fixed += v;
        } else {
            double d = 0;
            if (auto p = std::get_if<double>(&c)) d = *p;
            Bytes v(8, '\0');
            std::memcpy(v.data(), &d, 8);
            fixed += v;
        }
    }
    Bytes row(2, '\0');
    Put16(row, 0, unsigned(cols.size()));
    row += fixed + var;
    Bytes tail(2 + 2 * offsets.size() + 2, '\0');
    Put16(tail, 0, unsigned(row.size()));  // end of the data
    for (std::size_t v = 0; v < offsets.size(); ++v)
        Put16(tail, 2 + 2 * (offsets.size() - 1 - v), unsigned(offsets[v] + fixed.size()));
    Put16(tail, tail.size() - 2, unsigned(offsets.size()));
    return row + tail + mask;
}
// A data page of `owner` holding `rows` (bytes, offset flags).
inline Bytes DataPage(std::uint32_t owner, const std::vector<std::pair<Bytes, unsigned>>& rows) {
    Bytes p(4096, '\0');
    p[0] = 1, p[1] = 1;
    Put32(p, 4, owner);
    Put16(p, 12, unsigned(rows.size()));
    std::size_t end = 4096;
    for (std::size_t r = 0; r < rows.size(); ++r) {
        end -= rows[r].first.size();
        p.replace(end, rows[r].first.size(), rows[r].first);
        Put16(p, 14 + 2 * r, unsigned(end) | rows[r].second);
    }
    Put16(p, 2, unsigned(end - 14 - 2 * rows.size()));
    return p;
}
inline Bytes Definition(const std::vector<Col>& cols, std::uint32_t rows, std::uint32_t usage, std::uint32_t free,
                        bool system) {
    Bytes d(0x3F, '\0');
    d[0] = 2, d[1] = 1;
    Put32(d, 0x10, rows);
    d[0x28] = system ? 0x53 : 0x4E;
    unsigned nvar = 0, fixedAt = 0;
    for (const auto& c : cols) nvar += c.type == kText || c.type == kOle;
    Put16(d, 0x29, unsigned(cols.size())), Put16(d, 0x2B, nvar), Put16(d, 0x2D, unsigned(cols.size()));
    Put32(d, 0x37, usage), Put32(d, 0x3B, free);
    Bytes names;
    unsigned v = 0;
    for (std::size_t i = 0; i < cols.size(); ++i) {
        Bytes e(25, '\0');
        const bool text = cols[i].type == kText || cols[i].type == kOle;
        e[0] = char(cols[i].type);
        Put16(e, 5, unsigned(i)), Put16(e, 9, unsigned(i));
        if (text) Put16(e, 7, v++), Put16(e, 11, 0x0409), e[16] = 1;
        e[15] = text ? 0x02 : 0x03;
        Put16(e, 21, text ? 0 : fixedAt);
        const unsigned size = text ? 2u * unsigned(cols[i].chars) : cols[i].type == kLong ? 4u : 8u;
        Put16(e, 23, size);
        if (!text) fixedAt += size;
        d += e;
        Bytes name;
        for (char16_t c : Utf16(cols[i].name)) name += char(c & 0xFF), name += char(c >> 8);
        Bytes len(2, '\0');
        Put16(len, 0, unsigned(name.size()));
        names += len + name;
    }
    d += names;
    Put32(d, 8, std::uint32_t(d.size() - 8));
    d.resize(4096, '\0');
    return d;
}
}  // namespace detail

// The file, with a catalog entry per table (and a deleted one per name in
// `deletedEntries`, naming the first table's definition). `version` is the
// byte at 0x14.
inline std::string WriteJet4(const std::vector<Table>& tables, const std::vector<std::string>& deletedEntries = {},
                             int version = 1) {
    using namespace detail;
    // Pages: 0 header, 1 usage maps, 2 catalog definition, 3 catalog rows,
    // then per table its definition, two data pages and, where asked, a map page.
    std::vector<Bytes> pages(4);
    pages[0] = Bytes(4096, '\0');
    Put32(pages[0], 0, 0x100);
    std::memcpy(pages[0].data() + 4, "Standard Jet DB", 16);
    pages[0][0x14] = char(version);
    {  // 0x18..0x95 is scrambled with RC4 under a fixed key (all zero here: no database key)
        unsigned char s[256], key[4] = {0xC7, 0xDA, 0x39, 0x6B};
        for (int i = 0; i < 256; ++i) s[i] = (unsigned char)i;
        for (int i = 0, j = 0; i < 256; ++i) j = (j + s[i] + key[i % 4]) & 0xFF, std::swap(s[i], s[j]);
        for (int k = 0, i = 0, j = 0; k < 126; ++k)
            i = (i + 1) & 0xFF, j = (j + s[i]) & 0xFF, std::swap(s[i], s[j]),
            pages[0][0x18 + k] ^= char(s[(s[i] + s[j]) & 0xFF]);
    }
    std::vector<std::pair<Bytes, unsigned>> maps;
    auto addMaps = [&](std::uint32_t first, unsigned count, std::uint32_t mapPage) {
        Bytes used(5 + 4, '\0'), free(5 + 4, '\0');
        if (mapPage)
            used = Bytes(5, '\0'), used[0] = 1, Put32(used, 1, mapPage);
        else
            Put32(used, 1, first), used[5] = char((1 << count) - 1);
        maps.push_back({used, 0}), maps.push_back({free, 0});
        return std::pair<std::uint32_t, std::uint32_t>(1 << 8 | unsigned(maps.size() - 2),
                                                       1 << 8 | unsigned(maps.size() - 1));
    };
    const std::vector<Col> catalogCols{{"Id", kLong},   {"ParentId", kLong}, {"Name", kText, 128},
                                       {"Type", kLong}, {"Flags", kLong},    {"LvProp", kOle}};
    std::vector<std::pair<Bytes, unsigned>> catalog;
    catalog.push_back({EncodeRow(catalogCols, {std::int64_t(2),
                                               std::int64_t(0xF000000),
                                               std::string("MSysObjects"),
                                               std::int64_t(1),
                                               std::int64_t(0x80000002),
                                               {}}),
                       0});
    for (const auto& t : tables) {
        const std::uint32_t def = std::uint32_t(pages.size()), first = def + 1, second = def + 2;
        std::vector<std::pair<Bytes, unsigned>> a, b;
        std::uint32_t live = 0;
        for (const auto& r : t.rows) {
            const Bytes data = EncodeRow(t.cols, r.cells);
            live += !r.deleted;
            if (r.moved) {
                Bytes pointer(4, '\0');
                Put32(pointer, 0, second << 8 | unsigned(b.size()));
                a.push_back({pointer, 0x4000}), b.push_back({data, 0x8000});
            } else {
                a.push_back({data, r.deleted ? 0x8000u : 0u});
            }
        }
        // No empty data page: mdbtools 1.0 reads a row 0 from one.
        const unsigned dataPages = b.empty() ? 1 : 2;
        const std::uint32_t mapPage = t.referenceMap ? first + dataPages : 0;
        const auto [usage, free] = addMaps(first, dataPages, mapPage);
        pages.push_back(Definition(t.cols, live, usage, free, false));
        pages.push_back(DataPage(def, a));
        if (!b.empty()) pages.push_back(DataPage(def, b));
        if (mapPage) {
            Bytes m(4096, '\0');
            m[0] = 5, m[1] = 1;
            for (std::uint32_t p = first; p < first + dataPages; ++p) m[4 + p / 8] = char(m[4 + p / 8] | 1 << (p % 8));
            pages.push_back(m);
        }
        catalog.push_back(
            {EncodeRow(catalogCols,
                       {std::int64_t(def), std::int64_t(0xF000001), t.name, std::int64_t(1), std::int64_t(0), {}}),
             0});
    }
    for (const auto& name : deletedEntries)
        catalog.push_back(
            {EncodeRow(catalogCols,
                       {std::int64_t(4), std::int64_t(0xF000001), name, std::int64_t(1), std::int64_t(0), {}}),
             0x8000});
    const auto [usage, free] = addMaps(3, 1, 0);
    pages[2] = Definition(catalogCols, std::uint32_t(catalog.size()), usage, free, true);
    pages[3] = DataPage(2, catalog);
    pages[1] = DataPage(0, maps);
    std::string file;
    for (const auto& p : pages) file += p;
    return file;
}

// A plant's two tables as an earlier installation leaves them: a deleted
// level, the administrator's row moved by a password change, texts with and
// without compression, a null date and a null password.
inline std::vector<Table> PlantTables(bool referenceMap) {
    const std::string s[] = {"操作员", "old", "管理员", "Plant-8x", "工程师", "工程a2", "访客"};
    Table pass{"tblPass", {{"日期", kDate}, {"时间", kDate}, {"用户权限", kText}, {"登陆密码", kText}}, {}};
    pass.rows = {{{45000.0, 0.5, s[0], s[1]}, true},
                 {{46000.0, 0.25, s[2], s[3]}, false, true},
                 {{46001.0, 0.75, s[4], s[5]}},
                 {{std::monostate{}, 0.1, s[6], std::monostate{}}}};
    Table shift{"tblClassTime", {{"班制", kLong}}, {}, referenceMap};
    for (const char* c : {"Class1", "Class2", "Class3", "Class4"}) shift.cols.push_back({c, kDate});
    for (const char* c : {"B1", "B2", "B3", "B4"}) shift.cols.push_back({c, kText, 10});
    shift.rows = {{{std::int64_t(3), 0.3125, 0.6458333333333334, 0.9791666666666666, 0.0, std::string("A班"),
                    std::string("早班"), std::string("Night-3班"), std::string("丁")}}};
    return {pass, shift};
}

}  // namespace dg::testsupport::jet
