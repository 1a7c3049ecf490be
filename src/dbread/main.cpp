// brenno-dbread: prints the first value of one column of one table of an Access file.
// It runs as its own process because libmdb crashes or hangs on some damaged files; the
// client survives either and takes the file as unreadable.
//
//   brenno-dbread FILE [TABLE COLUMN]
//
// Output, one line on stdout and exit code 0:
//   "text HEX" / "number HEX"   the value (HEX: its UTF-8 bytes in hexadecimal)
//   "null"                      the first row holds no value in that column
//   "none"                      no such table or column, no row, or no table asked for
// Exit code 2 when FILE is no readable database.

#include <glib.h>

#include <mdbtools.h>

#include <sys/stat.h>

#include <cstdio>
#include <vector>

namespace {

constexpr int kUnreadable = 2;

bool isNumber(int type) {
    switch (type) {
    case MDB_BYTE:
    case MDB_INT:
    case MDB_LONGINT:
    case MDB_MONEY:
    case MDB_FLOAT:
    case MDB_DOUBLE:
    case MDB_NUMERIC:
        return true;
    default:
        return false;
    }
}

void printValue(const char *kind, const char *text) {
    std::printf("%s ", kind);
    for (const char *p = text; *p; ++p)
        std::printf("%02x", unsigned(static_cast<unsigned char>(*p)));
    std::printf("\n");
}

// Jet compares names without regard to case.
MdbCatalogEntry *findTable(GPtrArray *catalog, const char *name) {
    for (guint i = 0; i < catalog->len; ++i) {
        auto *entry = static_cast<MdbCatalogEntry *>(g_ptr_array_index(catalog, i));
        if (entry->object_type == MDB_TABLE && g_ascii_strcasecmp(entry->object_name, name) == 0)
            return entry;
    }
    return nullptr;
}

int findColumn(MdbTableDef *table, const char *name) {
    for (guint i = 0; i < table->num_cols; ++i) {
        auto *column = static_cast<MdbColumn *>(g_ptr_array_index(table->columns, i));
        if (g_ascii_strcasecmp(column->name, name) == 0)
            return int(i);
    }
    return -1;
}

// libmdb reads the missing pages of a cut file as empty ones, without an error.
bool isWholePages(const char *path, MdbHandle *mdb) {
    struct stat info {};
    return stat(path, &info) == 0 && info.st_size > 0 && info.st_size % mdb->fmt->pg_size == 0;
}

// Prints the outcome for a database that opened; returns the exit code.
int printFirstValue(MdbHandle *mdb, const char *tableName, const char *columnName) {
    // Every database lists at least one table; an empty catalog means it could not be read.
    GPtrArray *catalog = mdb_read_catalog(mdb, MDB_TABLE);
    if (!catalog || catalog->len == 0)
        return kUnreadable;
    MdbCatalogEntry *entry = tableName ? findTable(catalog, tableName) : nullptr;
    if (!entry) {
        std::printf("none\n");
        return 0;
    }
    MdbTableDef *table = mdb_read_table(entry);
    if (!table) // listed in the catalog, yet its definition is damaged
        return kUnreadable;
    mdb_read_columns(table);
    const int columnIndex = findColumn(table, columnName);
    if (columnIndex < 0) {
        mdb_free_tabledef(table);
        std::printf("none\n");
        return 0;
    }
    auto *column = static_cast<MdbColumn *>(g_ptr_array_index(table->columns, guint(columnIndex)));
    std::vector<char> buffer(mdb->bind_size + 1, '\0');
    int length = 0;
    mdb_bind_column(table, columnIndex + 1, buffer.data(), &length);
    mdb_rewind_table(table);
    int code = 0;
    if (!mdb_fetch_row(table)) {
        // The definition counts rows that cannot be fetched: their pages are lost.
        if (table->num_rows > 0)
            code = kUnreadable;
        else
            std::printf("none\n");
    } else if (length == 0) // libmdb gives NULL and "" alike; the client treats both the same
        std::printf("null\n");
    else
        printValue(isNumber(column->col_type) ? "number" : "text", buffer.data());
    mdb_free_tabledef(table);
    return code;
}

} // namespace

int main(int argc, char *argv[]) {
    if (argc != 2 && argc != 4) {
        std::fputs("usage: brenno-dbread FILE [TABLE COLUMN]\n", stderr);
        return 1;
    }
    MdbHandle *mdb = mdb_open(argv[1], MDB_NOFLAGS);
    if (!mdb)
        return kUnreadable;
    const int code =
        isWholePages(argv[1], mdb)
            ? printFirstValue(mdb, argc == 4 ? argv[2] : nullptr, argc == 4 ? argv[3] : nullptr)
            : kUnreadable;
    mdb_close(mdb);
    return code;
}
