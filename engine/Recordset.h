#pragma once

#include "engine/base/AdoType.h"
#include "engine/base/Value.h"

#include <memory>
#include <string>
#include <vector>

namespace engine {

class Connection;
class KeysetBuild;
class RowSource;

namespace cursor {
inline constexpr int ForwardOnly = 0, Keyset = 1, Dynamic = 2, Static = 3;
}
namespace lock {
inline constexpr int ReadOnly = 1, Pessimistic = 2, Optimistic = 3, BatchOptimistic = 4;
}
// Open options (ExecuteOptionEnum). AsyncFetch: a keyset result reads its
// first page at open and leaves the rest of its keys to keysetBuild().
namespace option {
inline constexpr int Unspecified = -1, AsyncFetch = 0x20;
}

struct FieldInfo {
    std::string name;
    int type = adtype::Variant; // adtype code
    long definedSize = 0;       // characters for text, bytes otherwise
    bool writable = false;      // a plain column of the single source table
    bool autoIncrement = false;
    bool required = false;
};

class Recordset;

// One field of the current record.
class Field {
public:
    const std::string& Name() const;
    int Type() const;
    long DefinedSize() const;
    Value GetValue() const;        // the value of the current record (or of the pending edit)
    void SetValue(const Value& v); // edits the current record; written by Update or on move
    Value OriginalValue() const;

private:
    friend class Recordset;
    friend class Fields;
    Field(const Recordset* rs, int index) : rs_(rs), index_(index) {}
    const Recordset* rs_;
    int index_;
};

class Fields {
public:
    int Count() const;
    Field operator[](int index) const;               // throws msg::FieldNotFound
    Field operator[](const std::string& name) const; // case-insensitive
    int indexOf(const std::string& name) const;      // -1 when absent

private:
    friend class Recordset;
    explicit Fields(const Recordset* rs) : rs_(rs) {}
    const Recordset* rs_;
};

// A keyset recordset. Copies refer to the same recordset object, as object
// references do: a grid bound to a recordset sees it close when its owner
// closes it.
//
// The set of rows of a single-table result is fixed when it opens (with
// option::AsyncFetch, its first page then, the rest when its keys are read);
// other results fix their count at open and read their rows by position (see
// QuerySource). Values are read lazily in pages and only a bounded number of
// pages is cached. Rows of a single-table result are
// written back by row key under optimistic locking; other results are
// read-only and say so when edited.
class Recordset {
public:
    Recordset(); // a new, closed recordset object

    void Open(const std::string& source, const Connection& connection,
              int cursorType = cursor::Keyset, int lockType = lock::Optimistic, int options = -1);
    void Close();
    int State() const; // 0 closed, 1 open
    // A new recordset object over the same result as this open one, as
    // ADO's Clone: the same rows, read through the same pages (a change made
    // through one is seen through the other), with its own position and
    // edit. Closing or re-opening either leaves the other open.
    Recordset Clone() const;

    long RecordCount() const; // throws msg::ConnectionClosed when closed
    bool Eof() const;
    bool Bof() const;
    void MoveFirst();
    void MoveLast();
    void MoveNext();
    void MovePrevious();
    void Move(long offset);
    long AbsolutePosition() const; // 1-based; 0 at BOF/EOF or when empty
    void SetAbsolutePosition(long position);

    Fields GetFields() const { return Fields(this); }
    Field operator[](int index) const { return GetFields()[index]; }
    Field operator[](const std::string& name) const { return GetFields()[name]; }

    // Editing. AddNew starts a new record at the end; Update writes the
    // pending edit or new record; moving off an edited record writes it too.
    void AddNew();
    void Update();
    void CancelUpdate();
    bool EditPending() const;
    void Delete(int affect = 1); // 1: the current record
    void UpdateBatch(int affect = 3);
    void CancelBatch(int affect = 3);

    bool Updatable() const;
    // Why the rows cannot be written (a join, a read-only lock, a genuine Jet
    // file); empty when they can.
    std::string ReadOnlyReason() const;
    int LockType() const;
    std::string Source() const;

    // Row access for grids, by 0-based row, without moving the cursor. A row
    // deleted through this recordset reads as empty values.
    const std::vector<FieldInfo>& fieldInfo() const;
    Value valueAt(long row, int column) const;
    // The whole row, read and converted once (what a grid paints).
    std::vector<Value> rowValues(long row) const;
    bool rowDeleted(long row) const;

    // Opened with option::AsyncFetch, a keyset result knows only its first
    // rows until the rest of its keys are read. readyCount() is how many
    // rows can be read without waiting (RecordCount() once complete);
    // RecordCount(), moving and any row past those wait for the whole set.
    long readyCount() const;
    bool keysetComplete() const;
    // The number of rows, counted without building the keyset (a plain
    // count, taken once); RecordCount() once complete.
    long expectedCount() const;
    // The build of the remaining keys, to run on another thread; null when
    // there is nothing left to read.
    std::shared_ptr<KeysetBuild> keysetBuild() const;
    // Takes the keys of a finished build. False when the build is stale (of
    // an earlier result, cancelled, failed, or the keys were read meanwhile).
    // `firstRowsMoved` tells whether the rows already shown changed places.
    bool adoptKeyset(KeysetBuild& build, bool* firstRowsMoved = nullptr);
    // Reads the remaining keys now; returns whether the first rows moved.
    bool completeKeyset();
    // Writes one row's edited values by key (grid editing); throws on refusal
    // and leaves the row as it was.
    void updateRow(long row, const std::vector<std::pair<int, Value>>& changes);
    // Inserts a row at the end; returns its 0-based index.
    long appendRow(const std::vector<std::pair<int, Value>>& values);
    void deleteRow(long row);

    // Builds a recordset over rows the engine computed itself (schema rows).
    static Recordset fromRows(std::vector<FieldInfo> fields, std::vector<std::vector<Value>> rows);
    // Builds one over a row source (engine-internal).
    static Recordset fromSource(std::unique_ptr<RowSource> source, std::string sourceText,
                                int lockType);

    bool sameObject(const Recordset& other) const { return d == other.d; }

private:
    friend class Field;
    friend class Fields;
    struct Impl;
    std::shared_ptr<Impl> d;
};

} // namespace engine
