#pragma once

// Row-level access to one table of a genuine Jet file for a query engine:
// a scan that finds live rows without decoding them (values are decoded
// only when asked for), direct positioning on a row by its RowId, range
// searches over the file's own indexes on numeric and date columns (Jet 3
// and 4), and searches by key prefix over text indexes (Jet 4).
//
//   engine::jet::TableReader r(file, "Orders");
//   for (r.rewind(); r.advance();)
//       if (wanted(r.position())) use(r.values());
//   for (RowId id : r.indexRange(r.table().indexes[0], lo, hi))
//       if (r.seek(id)) use(r.values());
//
// Failures are EngineError (msg::Corrupt for damaged pages), raised when the
// damaged page is met. Not safe for use from several threads at once.

#include "engine/jet/JetFile.h"
#include "engine/jet/JetIndexKeys.h"

#include <memory>
#include <optional>
#include <string>

namespace engine::jet {

struct JetState;
struct RowLayout;

// One value of a row as a query engine takes it, without building a Value:
// numbers as numbers, text and dates as UTF-8 in a buffer reused from row to
// row. Rarer kinds (binary, decimals, complex fields) come as a Value.
struct Cell {
    enum class Kind { Null, Boolean, Integer, Double, Currency, Text, Date, Other };
    Kind kind = Kind::Null;
    std::int64_t integer = 0; // Boolean (0 or 1), Integer, Currency (in 1/10,000)
    double real = 0;          // Double
    std::string text;         // Text, Date ('yyyy-MM-dd HH:mm:ss')
    Value other;              // Other
    // The value as the reader's values() gives it; leaves the cell spent.
    Value take();
};

// One end of a range over an index's first column, in the value the engine
// gives the column: a number (a date as its day number, an amount of
// Currency in 1/10,000).
struct IndexBound {
    double value = 0;
    bool inclusive = true;
};

class TableReader {
public:
    TableReader(const JetFile& file, TableDef def);
    TableReader(TableReader&&) noexcept;
    TableReader& operator=(TableReader&&) noexcept;
    ~TableReader();

    const TableDef& table() const { return def_; }

    // Scan in page order, the order of RowIds.
    void rewind();
    // Rewinds so that the scan starts at the first row at or after `from`.
    void rewindFrom(RowId from);
    bool advance(); // to the next live row; false at the end
    // True when the scan meets rows in ascending RowId order (the table's
    // pages are listed in order, as every file seen so far lists them).
    bool ordered();
    RowId position() const { return current_; }
    // Values of the current row, one per column (decoded once per row).
    const std::vector<Value>& values();
    // One value of the current row, decoded alone: a statement that asks for
    // two columns of ten decodes two.
    void cell(std::size_t column, Cell& out);

    // Positions on the row a RowId names. False when no live row of this
    // table is there.
    bool seek(RowId id);

    // True when the index's first column is of a type searchIndex can
    // encode (numbers, dates, Yes/No excluded).
    bool searchable(const IndexDef& index) const;
    // RowIds of the rows whose first index column lies within the bounds,
    // in index order. The result may hold more rows than match (the caller
    // checks each); it never misses one.
    std::vector<RowId> indexRange(const IndexDef& index, const std::optional<IndexBound>& lo,
                                  const std::optional<IndexBound>& hi) const;

    // The key rules of a text column (its own sort order or the file's).
    TextOrder textOrder(const ColumnDef& column) const;
    // True when the index's first column is text whose keys can be made.
    bool searchableText(const IndexDef& index) const;
    // RowIds of the entries that start with `prefix` (flag byte first), in
    // index order.
    std::vector<RowId> indexPrefix(const IndexDef& index,
                                   const std::vector<std::uint8_t>& prefix) const;
    // Counts the changes made to the file through this process: what a
    // reader learnt about the rows holds while it stays the same.
    std::uint64_t changes() const;

    // A whole RowId as one number and back (page << 8 | slot).
    static std::int64_t encode(RowId id) {
        return (static_cast<std::int64_t>(id.page) << 8) | id.slot;
    }
    static RowId decode(std::int64_t v) {
        return {static_cast<std::uint32_t>(v >> 8), static_cast<std::uint16_t>(v & 0xFF)};
    }

private:
    bool loadRow(std::uint32_t pageNo, int slot);
    // The page, from the one last used when it is the same (rows of one
    // page are read one after another).
    std::shared_ptr<const std::vector<std::uint8_t>> pageAt(std::uint32_t number);
    // Asks the system for the next stretch of the table's pages.
    void readAhead();

    std::shared_ptr<JetState> state_;
    TableDef def_;
    std::vector<std::uint32_t> pages_;
    bool pagesRead_ = false;
    bool ordered_ = true;
    std::size_t pageIndex_ = 0;
    std::size_t readAheadUntil_ = 0; // pages_ index up to which it was asked for
    int slot_ = 0;
    RowId current_;
    // The current row's bytes, kept alive by the page that holds them.
    std::shared_ptr<const std::vector<std::uint8_t>> rowPage_;
    std::size_t rowStart_ = 0, rowEnd_ = 0;
    std::vector<Value> values_;
    bool decoded_ = false;
    std::unique_ptr<RowLayout> layout_;
    bool laidOut_ = false;
    std::shared_ptr<const std::vector<std::uint8_t>> lastPage_;
    std::uint32_t lastPageNo_ = 0;
    // JetState::changes when the page list, and the last page, were read.
    std::uint64_t changesSeen_ = 0, lastPageChanges_ = 0;
};

} // namespace engine::jet
