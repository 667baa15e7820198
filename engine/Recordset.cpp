#include "Recordset.h"

#include "Connection.h"
#include "KeysetBuild.h"
#include "core/Database.h"
#include "core/QuerySources.h"
#include "core/RowSource.h"
#include "engine/base/Ascii.h"
#include "engine/base/Messages.h"

#include <algorithm>
#include <map>
#include <optional>

namespace engine {

struct Recordset::Impl {
    // Shared with the recordset's clones.
    std::shared_ptr<RowSource> source;
    std::string sourceText;
    int lockType = lock::Optimistic;
    long position = -1; // -1 BOF; count() EOF
    bool currentDeleted = false;
    enum class Edit { None, Edit, Add } edit = Edit::None;
    std::map<int, Value> pending;

    bool open() const { return source != nullptr; }
    void requireOpen() const {
        if (!source) msg::raise(msg::ConnectionClosed);
    }
    long count() const { return source->count(); }
    bool atRecord() const { return position >= 0 && position < count() && !currentDeleted; }

    // Writes a pending edit before the cursor leaves the record, as ADO does.
    void flush() {
        if (edit == Edit::None) return;
        std::vector<std::pair<int, Value>> changes(pending.begin(), pending.end());
        if (edit == Edit::Add) {
            const long index = source->append(changes);
            position = index;
        } else {
            source->update(position, changes);
        }
        edit = Edit::None;
        pending.clear();
    }

    void moveTo(long p) {
        flush();
        currentDeleted = false;
        const long n = count();
        position = std::clamp<long>(p, -1, n);
    }
};

Recordset::Recordset() : d(std::make_shared<Impl>()) {}

Recordset Recordset::fromRows(std::vector<FieldInfo> fields, std::vector<std::vector<Value>> rows) {
    return fromSource(std::make_unique<MemorySource>(std::move(fields), std::move(rows)), {},
                      lock::ReadOnly);
}

Recordset Recordset::fromSource(std::unique_ptr<RowSource> source, std::string sourceText,
                                int lockType) {
    Recordset rs;
    rs.d->source = std::move(source);
    rs.d->sourceText = std::move(sourceText);
    rs.d->lockType = lockType;
    rs.d->position = 0;
    return rs;
}

void Recordset::Open(const std::string& source, const Connection& connection, int /*cursorType*/,
                     int lockType, int options) {
    if (d->open()) msg::raise(msg::BadArgument, {"记录集已打开"});
    auto db = connection.database();
    if (!db) msg::raise(msg::ConnectionClosed);
    std::optional<AsyncFetchScope> async;
    if (options != option::Unspecified && (options & option::AsyncFetch)) async.emplace();
    Recordset result = db->execute(source, lockType, nullptr);
    async.reset();
    // An action statement is carried out and leaves this recordset closed.
    if (!result.d->open()) return;
    d->source = std::move(result.d->source);
    d->sourceText = source;
    d->lockType = result.d->lockType;
    d->position = 0;
    d->currentDeleted = false;
    d->edit = Impl::Edit::None;
    d->pending.clear();
}

void Recordset::Close() {
    d->requireOpen();
    d->source.reset();
    d->pending.clear();
    d->edit = Impl::Edit::None;
    d->position = -1;
}

Recordset Recordset::Clone() const {
    d->requireOpen();
    Recordset copy;
    copy.d->source = d->source;
    copy.d->sourceText = d->sourceText;
    copy.d->lockType = d->lockType;
    copy.d->position = 0;
    return copy;
}

int Recordset::State() const {
    return d->open() ? 1 : 0;
}

long Recordset::RecordCount() const {
    d->requireOpen();
    return d->count();
}

bool Recordset::Eof() const {
    d->requireOpen();
    return d->edit != Impl::Edit::Add && d->position >= d->count();
}

bool Recordset::Bof() const {
    d->requireOpen();
    return d->position < 0 || d->count() == 0;
}

void Recordset::MoveFirst() {
    d->requireOpen();
    d->moveTo(0);
}

void Recordset::MoveLast() {
    d->requireOpen();
    d->moveTo(d->count() - 1);
}

void Recordset::MoveNext() {
    d->requireOpen();
    if (d->edit == Impl::Edit::None && !d->currentDeleted && d->position >= d->count())
        msg::raise(msg::NoCurrentRecord);
    const bool stay = d->currentDeleted; // the record after a deleted one took its place
    const long from = d->position;
    d->flush();
    d->moveTo(stay ? from : d->position + 1);
}

void Recordset::MovePrevious() {
    d->requireOpen();
    if (d->position < 0) msg::raise(msg::NoCurrentRecord);
    d->moveTo(d->position - 1);
}

void Recordset::Move(long offset) {
    d->requireOpen();
    d->moveTo(d->position + offset);
}

long Recordset::AbsolutePosition() const {
    d->requireOpen();
    return d->atRecord() ? d->position + 1 : 0;
}

void Recordset::SetAbsolutePosition(long position) {
    d->requireOpen();
    if (position < 1 || position > d->count())
        msg::raise(msg::BadArgument, {std::to_string(position)});
    d->moveTo(position - 1);
}

void Recordset::AddNew() {
    d->requireOpen();
    if (!d->source->updatable()) d->source->refuseWrite();
    d->flush();
    d->edit = Impl::Edit::Add;
    d->pending.clear();
    d->currentDeleted = false;
    d->position = d->count();
}

void Recordset::Update() {
    d->requireOpen();
    d->flush();
}

void Recordset::CancelUpdate() {
    d->requireOpen();
    if (d->edit == Impl::Edit::Add) d->position = d->count();
    d->edit = Impl::Edit::None;
    d->pending.clear();
}

bool Recordset::EditPending() const {
    return d->open() && d->edit != Impl::Edit::None;
}

void Recordset::Delete(int affect) {
    d->requireOpen();
    if (affect != 1) msg::raise(msg::BadArgument, {"Delete " + std::to_string(affect)});
    if (d->edit == Impl::Edit::Add) {
        CancelUpdate();
        return;
    }
    if (!d->atRecord()) msg::raise(msg::NoCurrentRecord);
    d->edit = Impl::Edit::None;
    d->pending.clear();
    d->source->remove(d->position);
    d->currentDeleted = true;
}

void Recordset::UpdateBatch(int) {
    d->requireOpen();
    d->flush();
}

void Recordset::CancelBatch(int) {
    d->requireOpen();
    CancelUpdate();
}

bool Recordset::Updatable() const {
    return d->open() && d->source->updatable();
}

std::string Recordset::ReadOnlyReason() const {
    if (!d->open() || d->source->updatable()) return {};
    try {
        d->source->refuseWrite();
    } catch (const EngineError& e) {
        return e.what();
    }
    return {};
}
int Recordset::LockType() const {
    return d->lockType;
}
std::string Recordset::Source() const {
    return d->sourceText;
}

const std::vector<FieldInfo>& Recordset::fieldInfo() const {
    d->requireOpen();
    return d->source->fields();
}

Value Recordset::valueAt(long row, int column) const {
    d->requireOpen();
    const auto& f = d->source->fields();
    if (column < 0 || column >= static_cast<int>(f.size()))
        msg::raise(msg::FieldNotFound, {std::to_string(column)});
    if (row < 0 || row >= d->count()) msg::raise(msg::NoCurrentRecord);
    return d->source->row(row)[static_cast<std::size_t>(column)];
}

std::vector<Value> Recordset::rowValues(long row) const {
    d->requireOpen();
    if (row < 0 || row >= readyCount()) {
        if (row < 0 || row >= d->count()) msg::raise(msg::NoCurrentRecord);
    }
    return d->source->row(row);
}

long Recordset::readyCount() const {
    d->requireOpen();
    if (const auto* k = dynamic_cast<const KeysetSource*>(d->source.get())) return k->readyCount();
    return d->count();
}

bool Recordset::keysetComplete() const {
    d->requireOpen();
    const auto* k = dynamic_cast<const KeysetSource*>(d->source.get());
    return !k || k->keysComplete();
}

long Recordset::expectedCount() const {
    d->requireOpen();
    if (const auto* k = dynamic_cast<const KeysetSource*>(d->source.get()))
        return k->expectedCount();
    return d->count();
}

std::shared_ptr<KeysetBuild> Recordset::keysetBuild() const {
    d->requireOpen();
    if (auto* k = dynamic_cast<KeysetSource*>(d->source.get())) return k->keysetBuild();
    return nullptr;
}

bool Recordset::adoptKeyset(KeysetBuild& build, bool* firstRowsMoved) {
    if (firstRowsMoved) *firstRowsMoved = false;
    if (!d->open()) return false;
    if (auto* k = dynamic_cast<KeysetSource*>(d->source.get()))
        return k->adoptKeyset(build, firstRowsMoved);
    return false;
}

bool Recordset::completeKeyset() {
    d->requireOpen();
    if (auto* k = dynamic_cast<KeysetSource*>(d->source.get())) return k->completeKeys();
    return false;
}

bool Recordset::rowDeleted(long row) const {
    d->requireOpen();
    return d->source->rowGone(row);
}

void Recordset::updateRow(long row, const std::vector<std::pair<int, Value>>& changes) {
    d->requireOpen();
    d->source->update(row, changes);
}

long Recordset::appendRow(const std::vector<std::pair<int, Value>>& values) {
    d->requireOpen();
    return d->source->append(values);
}

void Recordset::deleteRow(long row) {
    d->requireOpen();
    d->source->remove(row);
    if (d->position > row) --d->position;
}

// ---- Fields ----------------------------------------------------------------

int Fields::Count() const {
    return static_cast<int>(rs_->fieldInfo().size());
}

Field Fields::operator[](int index) const {
    if (index < 0 || index >= Count()) msg::raise(msg::FieldNotFound, {std::to_string(index)});
    return Field(rs_, index);
}

int Fields::indexOf(const std::string& name) const {
    const auto& f = rs_->fieldInfo();
    const std::string want = ascii::toLower(name);
    for (std::size_t i = 0; i < f.size(); ++i)
        if (ascii::toLower(f[i].name) == want) return static_cast<int>(i);
    return -1;
}

Field Fields::operator[](const std::string& name) const {
    const int i = indexOf(name);
    if (i < 0) msg::raise(msg::FieldNotFound, {name});
    return Field(rs_, i);
}

const std::string& Field::Name() const {
    return rs_->fieldInfo()[static_cast<std::size_t>(index_)].name;
}
int Field::Type() const {
    return rs_->fieldInfo()[static_cast<std::size_t>(index_)].type;
}
long Field::DefinedSize() const {
    return rs_->fieldInfo()[static_cast<std::size_t>(index_)].definedSize;
}

Value Field::OriginalValue() const {
    auto& d = *rs_->d;
    if (!d.atRecord()) msg::raise(msg::NoCurrentRecord);
    return d.source->row(d.position)[static_cast<std::size_t>(index_)];
}

Value Field::GetValue() const {
    auto& d = *rs_->d;
    d.requireOpen();
    if (auto it = d.pending.find(index_); it != d.pending.end()) return it->second;
    if (d.edit == Recordset::Impl::Edit::Add) return Value::null();
    return OriginalValue();
}

void Field::SetValue(const Value& v) {
    auto& d = *rs_->d;
    d.requireOpen();
    if (!d.source->updatable()) d.source->refuseWrite();
    const auto& info = d.source->fields()[static_cast<std::size_t>(index_)];
    if (!info.writable) {
        if (info.autoIncrement)
            msg::raise(msg::TypeMismatch, {info.name, "（自动编号字段不能修改）"});
        msg::raise(msg::ReadOnlyResult);
    }
    if (d.edit == Recordset::Impl::Edit::None) {
        if (!d.atRecord()) msg::raise(msg::NoCurrentRecord);
        d.edit = Recordset::Impl::Edit::Edit;
    }
    d.pending[index_] = v;
}

} // namespace engine
