// brenno-mdbfixture: writes a minimal Jet 4 (.mdb) file with one table, for the tests of the
// database reader. Hand-written because no Debian package writes Access files.
//
//   brenno-mdbfixture [--damage-usage-map] OUT.mdb TABLE NAME:text|long[,NAME:text|long...]
//   [ROW...]
//
// Each ROW holds the values of the columns separated by '|'; the value \N is NULL.
// --damage-usage-map aims the table's usage map at a zero-length row, which crashes libmdb.

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

namespace {

constexpr size_t kPageSize = 4096;
constexpr uint32_t kMapPage = 1;
constexpr uint32_t kCatalogTdefPage = 2;
constexpr uint32_t kCatalogDataPage = 3;
constexpr uint32_t kTableTdefPage = 4;
constexpr uint32_t kTableDataPage = 5;
constexpr int kPageCount = 6;

constexpr uint8_t kTypeInt = 0x03;
constexpr uint8_t kTypeLong = 0x04;
constexpr uint8_t kTypeText = 0x0A;
constexpr uint8_t kTypeOle = 0x0B;
constexpr uint8_t kFlagFixed = 0x01;
constexpr uint8_t kFlagNullable = 0x02;
constexpr uint16_t kTextBytes = 510;

using Bytes = std::vector<uint8_t>;

struct Column {
    std::string name;
    uint8_t type;
};

using Value = std::optional<std::string>; // nullopt = NULL

bool isFixed(uint8_t type) {
    return type == kTypeLong || type == kTypeInt;
}
uint16_t fixedSize(uint8_t type) {
    return type == kTypeInt ? 2 : 4;
}

void put16(Bytes &b, size_t at, uint32_t v) {
    b[at] = uint8_t(v);
    b[at + 1] = uint8_t(v >> 8);
}
void put32(Bytes &b, size_t at, uint32_t v) {
    put16(b, at, v & 0xFFFF);
    put16(b, at + 2, v >> 16);
}
void append16(Bytes &b, uint32_t v) {
    b.push_back(uint8_t(v));
    b.push_back(uint8_t(v >> 8));
}

// UCS-2LE from UTF-8 (the fixtures only need the Basic Multilingual Plane).
Bytes ucs2(const std::string &utf8) {
    Bytes out;
    for (size_t i = 0; i < utf8.size();) {
        const uint8_t c = uint8_t(utf8[i]);
        uint32_t cp = c;
        size_t len = 1;
        if (c >= 0xE0 && i + 2 < utf8.size()) {
            cp = ((c & 0x0F) << 12) | ((utf8[i + 1] & 0x3F) << 6) | (utf8[i + 2] & 0x3F);
            len = 3;
        } else if (c >= 0xC0 && i + 1 < utf8.size()) {
            cp = ((c & 0x1F) << 6) | (utf8[i + 1] & 0x3F);
            len = 2;
        }
        append16(out, cp);
        i += len;
    }
    return out;
}

Bytes encodeRow(const std::vector<Column> &columns, const std::vector<Value> &values) {
    uint16_t fixedArea = 0;
    for (const Column &c : columns)
        fixedArea += isFixed(c.type) ? fixedSize(c.type) : 0;
    Bytes row;
    append16(row, uint32_t(columns.size()));
    row.resize(2 + fixedArea, 0);
    Bytes nullMask((columns.size() + 7) / 8, 0);
    std::vector<uint16_t> varStarts;
    uint16_t fixedOffset = 0;
    for (size_t i = 0; i < columns.size(); ++i) {
        if (values[i])
            nullMask[i / 8] |= uint8_t(1 << (i % 8));
        if (isFixed(columns[i].type)) {
            if (values[i]) {
                const uint32_t number = uint32_t(std::stol(*values[i]));
                for (uint16_t k = 0; k < fixedSize(columns[i].type); ++k)
                    row[2 + fixedOffset + k] = uint8_t(number >> (8 * k));
            }
            fixedOffset += fixedSize(columns[i].type);
            continue;
        }
        varStarts.push_back(uint16_t(row.size()));
        if (values[i]) {
            const Bytes text = ucs2(*values[i]);
            row.insert(row.end(), text.begin(), text.end());
        }
    }
    if (!varStarts.empty()) {
        append16(row, uint32_t(row.size()));
        for (auto it = varStarts.rbegin(); it != varStarts.rend(); ++it)
            append16(row, *it);
        append16(row, uint32_t(varStarts.size()));
    }
    row.insert(row.end(), nullMask.begin(), nullMask.end());
    return row;
}

// Rows are packed downwards from the page end with no gaps.
Bytes dataPage(uint32_t owner, const std::vector<Bytes> &rows) {
    Bytes page(kPageSize, 0);
    page[0] = 0x01;
    page[1] = 0x01;
    put32(page, 4, owner);
    put16(page, 12, uint32_t(rows.size()));
    size_t end = kPageSize;
    for (size_t i = 0; i < rows.size(); ++i) {
        const size_t start = end - rows[i].size();
        std::copy(rows[i].begin(), rows[i].end(), page.begin() + long(start));
        put16(page, 14 + 2 * i, uint32_t(start));
        end = start;
    }
    return page;
}

Bytes tdefPage(const std::vector<Column> &columns, uint32_t rowCount, uint32_t mapPointer) {
    Bytes page(kPageSize, 0);
    page[0] = 0x02;
    page[1] = 0x01;
    put32(page, 16, rowCount);
    uint16_t varCount = 0;
    for (const Column &c : columns)
        varCount += isFixed(c.type) ? 0 : 1;
    put16(page, 41, uint32_t(columns.size()));
    put16(page, 43, varCount);
    put16(page, 45, uint32_t(columns.size()));
    put32(page, 55, mapPointer);
    put32(page, 59, mapPointer);
    size_t at = 63;
    uint16_t fixedOffset = 0;
    uint16_t varIndex = 0;
    for (size_t i = 0; i < columns.size(); ++i, at += 25) {
        const bool fixed = isFixed(columns[i].type);
        page[at] = columns[i].type;
        put16(page, at + 5, uint32_t(i));
        put16(page, at + 7, fixed ? 0 : varIndex++);
        put16(page, at + 9, uint32_t(i));
        page[at + 15] = fixed ? (kFlagFixed | kFlagNullable) : kFlagNullable;
        put16(page, at + 21, fixed ? fixedOffset : 0);
        put16(page, at + 23, fixed ? fixedSize(columns[i].type) : kTextBytes);
        fixedOffset += fixed ? fixedSize(columns[i].type) : 0;
    }
    for (const Column &c : columns) {
        const Bytes name = ucs2(c.name);
        put16(page, at, uint32_t(name.size()));
        std::copy(name.begin(), name.end(), page.begin() + long(at + 2));
        at += 2 + name.size();
    }
    return page;
}

// Map type 0, first page 0, then one bit a page that holds rows of the table.
Bytes usageMap(std::optional<uint32_t> dataPageNumber) {
    Bytes map(9, 0);
    if (dataPageNumber)
        map[5 + *dataPageNumber / 8] = uint8_t(1 << (*dataPageNumber % 8));
    return map;
}

std::vector<std::string> split(const std::string &text, char separator) {
    std::vector<std::string> parts;
    size_t from = 0;
    for (size_t at; (at = text.find(separator, from)) != std::string::npos; from = at + 1)
        parts.push_back(text.substr(from, at - from));
    parts.push_back(text.substr(from));
    return parts;
}

int usage() {
    std::fputs("usage: brenno-mdbfixture [--damage-usage-map] OUT.mdb TABLE "
               "NAME:text|long[,...] [ROW...]\n",
               stderr);
    return 2;
}

} // namespace

int main(int argc, char *argv[]) {
    int arg = 1;
    const bool damageUsageMap = argc > 1 && std::strcmp(argv[1], "--damage-usage-map") == 0;
    arg += damageUsageMap ? 1 : 0;
    if (argc - arg < 3)
        return usage();
    const std::string outPath = argv[arg];
    const std::string tableName = argv[arg + 1];

    std::vector<Column> columns;
    for (const std::string &declaration : split(argv[arg + 2], ',')) {
        const std::vector<std::string> parts = split(declaration, ':');
        if (parts.size() != 2 || (parts[1] != "text" && parts[1] != "long"))
            return usage();
        columns.push_back({parts[0], parts[1] == "text" ? kTypeText : kTypeLong});
    }
    std::vector<Bytes> rows;
    try {
        for (int i = arg + 3; i < argc; ++i) {
            const std::vector<std::string> fields = split(argv[i], '|');
            if (fields.size() != columns.size())
                return usage();
            std::vector<Value> values;
            for (const std::string &f : fields)
                values.push_back(f == "\\N" ? Value() : Value(f));
            rows.push_back(encodeRow(columns, values));
        }
    } catch (const std::exception &) { // std::stol on a long column's value that is no number
        return usage();
    }

    const std::vector<Column> catalogColumns = {{"Id", kTypeLong},
                                                {"Name", kTypeText},
                                                {"Type", kTypeInt},
                                                {"Flags", kTypeLong},
                                                {"LvProp", kTypeOle}};
    const Bytes catalogRow = encodeRow(
        catalogColumns, {std::to_string(kTableTdefPage), tableName, "1", "0", std::nullopt});

    std::vector<Bytes> mapRows = {
        usageMap(kCatalogDataPage),
        usageMap(rows.empty() ? std::nullopt : std::optional<uint32_t>(kTableDataPage)), Bytes()};
    const uint32_t tableMapRow = damageUsageMap ? 2 : 1;

    std::vector<Bytes> pages(kPageCount);
    pages[0] = Bytes(kPageSize, 0);
    pages[0][0x14] = 0x01; // Jet 4
    // RC4 keystream at the database key: decrypts to key 0, so pages are not encrypted.
    const uint8_t keystreamAtKey[] = {0xfb, 0x8a, 0xbc, 0x4e};
    std::copy(std::begin(keystreamAtKey), std::end(keystreamAtKey), pages[0].begin() + 0x3E);
    pages[kMapPage] = dataPage(0, mapRows);
    pages[kCatalogTdefPage] = tdefPage(catalogColumns, 1, kMapPage << 8);
    pages[kCatalogDataPage] = dataPage(kCatalogTdefPage, {catalogRow});
    pages[kTableTdefPage] = tdefPage(columns, uint32_t(rows.size()), kMapPage << 8 | tableMapRow);
    pages[kTableDataPage] = dataPage(kTableTdefPage, rows);

    std::ofstream out(outPath, std::ios::binary | std::ios::trunc);
    for (const Bytes &page : pages)
        out.write(reinterpret_cast<const char *>(page.data()), std::streamsize(page.size()));
    out.close();
    return out ? 0 : 1;
}
