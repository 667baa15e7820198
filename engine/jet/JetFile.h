#pragma once

// Read-only access to genuine Jet 3 / Jet 4 .mdb files and ACE (.accdb,
// Access 2007 and later) files, also those encrypted with a database password.
//
// How the engine uses it:
//
//   if (engine::jet::looksLikeJetFile(path)) {          // cheap, never throws
//       auto file = engine::jet::JetFile::open(path, password);  // throws EngineError
//       for (const auto& e : file.catalog())             // tables, system tables,
//           ...                                          // linked tables, queries
//       engine::jet::TableDef t = file.table("Table1");  // columns, indexes, keys
//       file.forEachRow("Table1", [](const std::vector<engine::Value>& row) {
//           ...                                          // one value per t.columns[i]
//           return true;                                 // false stops the scan
//       });
//       for (const auto& q : file.queries()) ...         // saved queries as Jet SQL
//   }
//
// Rows can also be streamed with a RowCursor (file.cursor(name)), which hands
// out each row's RowId; file.readRow(table, id) reads that row again later, so
// a keyset recordset can keep only the ids and fetch values page by page.
//
// Values: boolean -> Boolean, byte/integer/long -> Integer, currency ->
// Currency, single/double -> Double, date -> Date ('yyyy-MM-dd HH:mm:ss'),
// text and memo -> Text (UTF-8), binary and OLE -> Bytes, GUID -> Text
// '{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}', numeric -> Double when the
// unscaled value fits in 53 bits, otherwise its exact decimal Text. A null
// field is Value::null().
//
// ACE columns: BigInt -> Integer (64-bit), Date/Time Extended -> Date (whole
// seconds), a calculated column -> the value stored with the row, in its
// result type. A complex column reads as Text: its values joined with "; "
// (an attachment by its file name, a multi-value field by each value);
// complexItems() reaches each value, an attachment's content included.
//
// Failures are EngineError: msg::WrongPassword for a wrong database password,
// msg::UnsupportedEncryption for an encrypted .accdb whose form of encryption
// is not readable, msg::NotADatabase when the file is not a Jet file,
// msg::Corrupt (with a Chinese description of what is wrong) for a damaged
// file, msg::UnknownTable for a name that is not a table of the file. A
// JetFile and its copies share one open file; they are not safe to use from
// several threads at once.

#include "engine/base/Value.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace engine::jet {

// What the header page says about the file.
struct HeaderInfo {
    int jetVersion = 0;         // 3 or 4 (Jet 4 also covers the later 4 KiB formats)
    int versionByte = 0;        // the raw version byte (0 = Jet 3, 1 = Jet 4, 2+ = ACE)
    bool ace = false;           // an ACE (.accdb) file: Access 2007 and later
    std::uint32_t pageSize = 0; // 2048 or 4096
    std::uint32_t pageCount = 0;
    int codePage = 0;          // code page of single-byte text (Jet 3)
    int sortOrder = 0;         // collating order of the database
    std::string created;       // creation date 'yyyy-MM-dd HH:mm:ss' (Jet 4), else ""
    bool pagesEncoded = false; // pages are RC4-encoded with the database key
    bool hasPassword = false;
    // An ACE file encrypted with its database password: "agile" (AES, Access
    // 2010 and later) or "rc4" (RC4 CryptoAPI, Access 2007); empty otherwise.
    std::string encryption;
};

enum class ObjectKind { Table, SystemTable, LinkedTable, Query };

struct CatalogEntry {
    std::string name;
    ObjectKind kind = ObjectKind::Table;
    std::int32_t id = 0;        // MSysObjects.Id
    std::uint32_t tdefPage = 0; // table definition page (tables only)
    std::int32_t flags = 0;     // MSysObjects.Flags
    std::string linkedDatabase; // linked tables: the other database (or connect string)
    std::string linkedName;     // linked tables: the table's name over there
    // Internal objects the desktop program hides (~sq_... queries of forms).
    bool hidden() const { return !name.empty() && name[0] == '~'; }
};

// Jet column type codes as the file stores them.
namespace coltype {
inline constexpr int Boolean = 0x01, Byte = 0x02, Integer = 0x03, Long = 0x04, Currency = 0x05,
                     Single = 0x06, Double = 0x07, DateTime = 0x08, Binary = 0x09, Text = 0x0A,
                     Ole = 0x0B, Memo = 0x0C, Guid = 0x0F, Numeric = 0x10, Complex = 0x12,
                     BigInt = 0x13, ExtDateTime = 0x14;
}

struct ColumnDef {
    std::string name;
    int jetType = 0;          // coltype code
    int adoType = 0;          // engine::adtype code
    int size = 0;             // characters for text, bytes otherwise (0 for memo/OLE)
    int precision = 0;        // numeric only
    int scale = 0;            // numeric only
    bool autoNumber = false;  // long auto-increment or GUID auto-generated
    bool required = false;    // the designer's Required setting (value may not be null)
    bool fixedLength = false; // stored in the fixed part of a row
    bool calculated = false;  // an expression's result, stored with each row (ACE)
    int complexId = 0;        // complex columns (ACE): MSysComplexColumns.ComplexID
    int ordinal = 0;          // 0-based position in TableDef::columns
    int columnNumber = 0;     // number in the file (gaps where columns were deleted)
    int varIndex = 0;         // slot in the variable part of a row
    int fixedOffset = 0;      // offset in the fixed part of a row
};

struct IndexDef {
    std::string name;
    std::vector<std::string> columns;
    std::vector<bool> descending; // one per column
    bool primary = false;
    bool unique = false;
    bool foreign = false; // the table side of a relationship
    bool ignoreNulls = false;
    bool required = false;
    std::uint32_t rootPage = 0; // first page of the index's tree (0 when unknown)
};

struct TableDef {
    std::string name;
    std::uint32_t tdefPage = 0;
    bool system = false;
    std::uint32_t rowCount = 0; // as recorded in the definition
    std::uint32_t usageMap = 0; // row pointer of the map of the table's data pages
    std::vector<ColumnDef> columns;
    std::vector<IndexDef> indexes;

    int columnIndex(const std::string& name) const; // case-insensitive; -1 when absent
};

enum class QueryKind {
    Select,
    MakeTable,
    Append,
    Update,
    Delete,
    Crosstab,
    DataDefinition,
    PassThrough,
    Union,
    Unknown
};

struct QueryDef {
    std::string name;
    QueryKind kind = QueryKind::Unknown;
    // Jet SQL rebuilt from the stored parts: clauses on separate lines ("\n"),
    // ending in ";" as the desktop engine writes it. Data-definition and
    // pass-through queries give their stored text as it is.
    std::string sql;
};

// One value of a complex field: an attachment or one value of a
// multi-value field.
struct ComplexItem {
    std::string text;               // the value as text; an attachment's file name
    std::string fileType;           // attachments: the file's type ("txt", "png", ...)
    std::vector<std::uint8_t> data; // attachments: the file's content
};

// Chinese word for a query kind, for lists shown to the user.
const char* queryKindName(QueryKind kind);

// Where a row lives: its data page and slot on that page.
struct RowId {
    std::uint32_t page = 0;
    std::uint16_t slot = 0;
    bool operator==(const RowId&) const = default;
};

class JetFile;
struct JetState;

// Streams the live rows of one table in page order.
class RowCursor {
public:
    // Reads the next live row into `row` (one value per column). Returns false
    // at the end of the table.
    bool next(std::vector<Value>& row);
    RowId position() const { return current_; }
    const TableDef& table() const { return def_; }

private:
    friend class JetFile;
    friend struct JetState;
    RowCursor(std::shared_ptr<JetState> state, TableDef def);

    std::shared_ptr<JetState> state_;
    TableDef def_;
    std::vector<std::uint32_t> pages_;
    std::size_t pageIndex_ = 0;
    int slot_ = 0;
    RowId current_;
};

class JetFile {
public:
    // Opens the file read-only. `password` is checked when the file has a
    // database password; it is ignored for a file without one.
    static JetFile open(const std::string& path, const std::string& password = {});

    const HeaderInfo& header() const;
    const std::string& path() const;
    // Counts the changes made to the file through this process (a value to
    // compare with a later one: equal means nothing changed meanwhile).
    std::uint64_t changes() const;

    // Every table, system table, linked table and saved query, in catalogue order.
    const std::vector<CatalogEntry>& catalog() const;

    TableDef table(const std::string& name) const;
    RowCursor cursor(const std::string& name) const;
    // Calls `onRow` for every live row; stops early when it returns false.
    void forEachRow(const std::string& name,
                    const std::function<bool(const std::vector<Value>&)>& onRow) const;
    // Reads one row again by the id a cursor reported.
    std::vector<Value> readRow(const TableDef& table, RowId id) const;

    std::vector<QueryDef> queries() const;

    // The values behind a complex column's field in the row `id` (as a
    // cursor reported it), in the order they were stored.
    std::vector<ComplexItem> complexItems(const TableDef& table, const std::string& column,
                                          RowId id) const;

private:
    friend class TableReader;
    friend class PageStore;
    friend class TableWriter;
    friend class IndexMaintainer;
    explicit JetFile(std::shared_ptr<JetState> state) : state_(std::move(state)) {}
    std::shared_ptr<JetState> state_;
};

// True when the file starts like a Jet 3 / Jet 4 database. Reads only the
// first bytes; never throws.
bool looksLikeJetFile(const std::string& path);

} // namespace engine::jet
