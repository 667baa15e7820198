#pragma once

#include "engine/Recordset.h"
#include "engine/base/Value.h"

#include <vector>

namespace engine {

// Where a recordset's rows come from. Rows are addressed by 0-based index
// into the set fixed at open.
class RowSource {
public:
    virtual ~RowSource() = default;
    virtual const std::vector<FieldInfo>& fields() const = 0;
    virtual long count() const = 0;
    // The row's values, typed by its fields. A row deleted underneath (gone
    // from the table since open) reads as nulls and rowGone() says so.
    virtual std::vector<Value> row(long index) = 0;
    virtual bool rowGone(long /*index*/) { return false; }

    virtual bool updatable() const { return false; }
    // Raises the failure that says why this result cannot be written.
    [[noreturn]] virtual void refuseWrite() const;
    // Writes changed values of a row, given the values it had when read;
    // refuses when the row changed underneath.
    virtual void update(long index, const std::vector<std::pair<int, Value>>& changes);
    // Inserts a row and appends it to the set; returns its index.
    virtual long append(const std::vector<std::pair<int, Value>>& values);
    // Deletes the row from the table and from the set.
    virtual void remove(long index);
};

// Rows held in memory (schema rowsets, computed results). Read-only.
class MemorySource : public RowSource {
public:
    MemorySource(std::vector<FieldInfo> fields, std::vector<std::vector<Value>> rows)
        : fields_(std::move(fields)), rows_(std::move(rows)) {}
    const std::vector<FieldInfo>& fields() const override { return fields_; }
    long count() const override { return static_cast<long>(rows_.size()); }
    std::vector<Value> row(long index) override {
        return rows_.at(static_cast<std::size_t>(index));
    }

private:
    std::vector<FieldInfo> fields_;
    std::vector<std::vector<Value>> rows_;
};

} // namespace engine
