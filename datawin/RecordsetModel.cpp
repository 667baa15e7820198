#include "RecordsetModel.h"

#include "KeysetLoader.h"

#include "engine/base/Messages.h"

#include <QBrush>
#include <QMetaObject>

#include <algorithm>
#include <exception>

namespace datawin {

using engine::Value;
namespace adtype = engine::adtype;

namespace {

QString qtext(const std::string& s) {
    return QString::fromStdString(s);
}

} // namespace

ColumnKind columnKindOf(int adType) {
    switch (adType) {
    case adtype::Boolean:
        return ColumnKind::Boolean;
    case adtype::Date:
        return ColumnKind::Date;
    case adtype::LongVarWChar:
        return ColumnKind::Memo;
    case adtype::VarBinary:
    case adtype::LongVarBinary:
        return ColumnKind::Binary;
    case adtype::SmallInt:
    case adtype::Integer:
    case adtype::Single:
    case adtype::Double:
    case adtype::Currency:
    case adtype::TinyInt:
    case adtype::UnsignedTinyInt:
    case adtype::BigInt:
    case adtype::Numeric:
        return ColumnKind::Number;
    default:
        return ColumnKind::Text;
    }
}

RecordsetModel::RecordsetModel(QObject* parent)
    : QAbstractTableModel(parent), loader_(new KeysetLoader(this)) {
    connect(loader_, &KeysetLoader::finished, this,
            [this](const std::shared_ptr<engine::KeysetBuild>& build) { keysetBuilt(build); });
}

void RecordsetModel::readShape() {
    forgetRead();
    failureReported_ = false;
    count_ = 0;
    complete_ = true;
    fields_.clear();
    if (!open()) return;
    try {
        count_ = rs_->readyCount();
        complete_ = rs_->keysetComplete();
        fields_ = rs_->fieldInfo();
    } catch (const std::exception& e) {
        count_ = 0;
        complete_ = true;
        fields_.clear();
        reportFailure(qtext(e.what()));
    }
}

void RecordsetModel::startLoading() {
    if (complete_ || !open() || loader_->running()) return;
    try {
        loader_->start(rs_->keysetBuild());
    } catch (const std::exception& e) {
        reportFailure(qtext(e.what()));
    }
}

void RecordsetModel::setRecordset(std::optional<engine::Recordset> rs) {
    loader_->stop();
    beginResetModel();
    rs_ = std::move(rs);
    pendingRow_ = -1;
    pending_.clear();
    seen_.clear();
    error_.clear();
    readShape();
    endResetModel();
    startLoading();
}

void RecordsetModel::reload() {
    beginResetModel();
    readShape();
    if (pendingRow_ > count_ || (pendingRow_ == count_ && !hasNewRowLine())) {
        pendingRow_ = -1;
        pending_.clear();
    }
    endResetModel();
    startLoading();
}

void RecordsetModel::keysetBuilt(const std::shared_ptr<engine::KeysetBuild>& build) {
    if (complete_ || !open()) return;
    try {
        bool moved = false;
        if (rs_->adoptKeyset(*build, &moved)) {
            showCompleteKeyset(moved);
            return;
        }
        if (!build->error().empty()) {
            // The rows shown stay; the rest is read when it is asked for.
            reportFailure(qtext(build->error()));
            return;
        }
    } catch (const std::exception& e) {
        reportFailure(qtext(e.what()));
        return;
    }
    // A build that did not count (the recordset read its keys meanwhile).
    completeKeyset();
}

void RecordsetModel::completeKeyset() {
    if (complete_ || !open()) return;
    loader_->stop();
    try {
        const bool moved = rs_->completeKeyset();
        showCompleteKeyset(moved);
    } catch (const std::exception& e) {
        reportFailure(qtext(e.what()));
    }
}

void RecordsetModel::showCompleteKeyset(bool firstRowsMoved) {
    forgetRead();
    const long full = rs_->RecordCount();
    if (firstRowsMoved || full < count_) {
        // The table changed between the first rows and the rest: show it anew.
        beginResetModel();
        count_ = full;
        complete_ = true;
        if (pendingRow_ >= count_) {
            pendingRow_ = -1;
            pending_.clear();
        }
        endResetModel();
    } else {
        // The rest of the records, and the empty row for a new one after them.
        const int first = static_cast<int>(count_);
        const bool line = allowAddNew_ && updatable();
        const int last = static_cast<int>(full) + (line ? 1 : 0) - 1;
        if (last >= first) beginInsertRows(QModelIndex(), first, last);
        count_ = full;
        complete_ = true;
        if (last >= first) endInsertRows();
    }
    emit keysetCompleted();
}

bool RecordsetModel::canFetchMore(const QModelIndex& parent) const {
    return !parent.isValid() && !complete_ && open();
}

void RecordsetModel::fetchMore(const QModelIndex& parent) {
    if (!parent.isValid()) completeKeyset();
}

void RecordsetModel::reportFailure(const QString& message) const {
    if (failureReported_) return;
    failureReported_ = true;
    // Often found while painting: the status bar hears of it afterwards.
    auto* self = const_cast<RecordsetModel*>(this);
    QMetaObject::invokeMethod(
        self, [self, message] { emit self->readFailed(message); }, Qt::QueuedConnection);
}

void RecordsetModel::setEditing(bool update, bool addNew, bool remove) {
    const bool hadLine = hasNewRowLine();
    allowUpdate_ = update;
    allowAddNew_ = addNew;
    allowDelete_ = remove;
    if (hadLine != hasNewRowLine()) {
        beginResetModel();
        endResetModel();
    }
}

bool RecordsetModel::hasNewRowLine() const {
    // New records go after the last one, which is known once the keyset is.
    return allowAddNew_ && complete_ && updatable();
}

ColumnKind RecordsetModel::columnKind(int column) const {
    if (column < 0 || column >= static_cast<int>(fields_.size())) return ColumnKind::Text;
    return columnKindOf(fields_[static_cast<std::size_t>(column)].type);
}

QString RecordsetModel::fieldName(int column) const {
    if (column < 0 || column >= static_cast<int>(fields_.size())) return QString();
    return qtext(fields_[static_cast<std::size_t>(column)].name);
}

int RecordsetModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid()) return 0;
    return static_cast<int>(count_) + (hasNewRowLine() ? 1 : 0);
}

int RecordsetModel::columnCount(const QModelIndex& parent) const {
    if (parent.isValid()) return 0;
    return static_cast<int>(fields_.size());
}

const RecordsetModel::RowRead& RecordsetModel::readRow(int row) const {
    if (memo_.row == row) return memo_;
    memo_.row = row;
    memo_.error.clear();
    try {
        memo_.values = rs_->rowValues(row);
        memo_.values.resize(fields_.size(), Value::null());
    } catch (const std::exception& e) {
        memo_.values.assign(fields_.size(), Value::null());
        memo_.error = qtext(e.what());
        if (memo_.error.isEmpty()) memo_.error = QStringLiteral("无法读取该行");
        reportFailure(QStringLiteral("第 ") + QString::number(row + 1) +
                      QStringLiteral(" 行读取失败：") + memo_.error);
    }
    return memo_;
}

Value RecordsetModel::cellValue(int row, int column) const {
    if (row == pendingRow_) {
        if (auto it = pending_.find(column); it != pending_.end()) return it->second;
    }
    if (row >= count_ || !open() || column < 0 || column >= static_cast<int>(fields_.size()))
        return Value::null();
    return readRow(row).values[static_cast<std::size_t>(column)];
}

QVariant RecordsetModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.column() >= static_cast<int>(fields_.size())) return {};
    const ColumnKind kind = columnKind(index.column());
    const int row = index.row();
    const bool readsValue = role == Qt::DisplayRole || role == Qt::EditRole ||
                            role == Qt::CheckStateRole || role == Qt::ToolTipRole ||
                            role == Qt::ForegroundRole || role == Qt::TextAlignmentRole;
    if (!readsValue) return {};
    if (row < count_ && open() && !(row == pendingRow_ && pending_.count(index.column()))) {
        const RowRead& read = readRow(row);
        if (!read.error.isEmpty()) {
            switch (role) {
            case Qt::DisplayRole:
                return ReadFailedText;
            case Qt::ToolTipRole:
                return read.error;
            case Qt::ForegroundRole:
                return QBrush(Qt::red);
            case Qt::TextAlignmentRole:
                return QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
            default:
                return {};
            }
        }
    }
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole: {
        if (kind == ColumnKind::Boolean)
            return role == Qt::EditRole ? QVariant() : QVariant(QString());
        const Value v = cellValue(index.row(), index.column());
        if (kind == ColumnKind::Binary && v.kind() == Value::Kind::Bytes)
            return role == Qt::DisplayRole ? BinaryPlaceholder : QString();
        return qtext(v.toText());
    }
    case Qt::CheckStateRole: {
        if (kind != ColumnKind::Boolean) return {};
        const Value v = cellValue(index.row(), index.column());
        return v.isNullOrEmpty() || !v.toBool() ? Qt::Unchecked : Qt::Checked;
    }
    case Qt::TextAlignmentRole:
        if (kind == ColumnKind::Number)
            return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
        return QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
    case Qt::ToolTipRole:
        if (kind == ColumnKind::Memo) return qtext(cellValue(index.row(), index.column()).toText());
        return {};
    default:
        return {};
    }
}

QVariant RecordsetModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole) return {};
    if (orientation == Qt::Horizontal) return fieldName(section);
    if (isNewRowLine(section)) return QStringLiteral("*");
    return section + 1;
}

Qt::ItemFlags RecordsetModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    const bool newLine = isNewRowLine(index.row());
    const bool editable = newLine ? allowAddNew_ : allowUpdate_;
    const auto& field = fields_[static_cast<std::size_t>(index.column())];
    if (editable && updatable() && field.writable) {
        const ColumnKind kind = columnKind(index.column());
        if (kind == ColumnKind::Boolean)
            f |= Qt::ItemIsUserCheckable;
        else if (kind != ColumnKind::Binary)
            f |= Qt::ItemIsEditable;
    }
    return f;
}

Value RecordsetModel::valueFromEdit(const QVariant& v, ColumnKind kind) {
    if (kind == ColumnKind::Boolean) {
        if (v.typeId() == QMetaType::Bool) return Value(v.toBool());
        return Value(v.toInt() == Qt::Checked);
    }
    const QString text = v.toString();
    if (text.isEmpty()) return Value::null();
    return Value(text.toStdString());
}

bool RecordsetModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid()) return false;
    const Qt::ItemFlags f = flags(index);
    const ColumnKind kind = columnKind(index.column());
    if (role == Qt::CheckStateRole) {
        if (!(f & Qt::ItemIsUserCheckable)) return false;
    } else if (role == Qt::EditRole) {
        if (!(f & Qt::ItemIsEditable)) return false;
    } else {
        return false;
    }
    const int row = index.row();
    // One row is edited at a time; the grid writes a row before another is
    // entered, so a different pending row here has been refused and kept.
    if (pendingRow_ >= 0 && pendingRow_ != row) return false;

    // A row that could not be read is not edited over blindly.
    if (pendingRow_ < 0 && row < count_ && !readRow(row).error.isEmpty()) return false;

    const Value v = valueFromEdit(value, kind);
    // Re-typing what the row holds is not a change.
    if (pendingRow_ < 0 && row < count_ && v == cellValue(row, index.column())) return true;
    if (pendingRow_ < 0) seen_ = row < count_ ? readRow(row).values : std::vector<Value>();
    pendingRow_ = row;
    pending_[index.column()] = v;
    emit dataChanged(index, index);
    emit headerDataChanged(Qt::Vertical, row, row);
    return true;
}

bool RecordsetModel::commitPending() {
    error_.clear();
    if (pendingRow_ < 0) return true;
    if (!open()) {
        discardPending();
        return true;
    }
    const int row = pendingRow_;
    std::vector<std::pair<int, Value>> changes(pending_.begin(), pending_.end());
    try {
        if (row >= count_) {
            rs_->appendRow(changes);
            forgetRead();
            pendingRow_ = -1;
            pending_.clear();
            // The new record takes the empty row's place; a fresh empty row
            // follows it.
            const int line = static_cast<int>(count_) + 1;
            beginInsertRows(QModelIndex(), line, line);
            ++count_;
            endInsertRows();
            emit dataChanged(this->index(row, 0), this->index(row, columnCount() - 1));
            emit headerDataChanged(Qt::Vertical, row, line);
        } else {
            // The row must still hold what the user saw when typing began;
            // the engine checks the same against what it last read.
            const std::vector<Value> now = rs_->rowValues(row);
            for (std::size_t c = 0; c < now.size() && c < seen_.size(); ++c)
                if (!(now[c] == seen_[c])) engine::msg::raise(engine::msg::RowChanged);
            rs_->updateRow(row, changes);
            forgetRead(); // read back as written
            pendingRow_ = -1;
            seen_.clear();
            pending_.clear();
            emit dataChanged(this->index(row, 0), this->index(row, columnCount() - 1));
        }
        return true;
    } catch (const engine::EngineError& e) {
        error_ = qtext(e.what());
        // Changed underneath: show the row as it is now around what the user
        // typed; leaving it again, after the warning, writes the typed values.
        if (e.number() == engine::msg::RowChanged.number) {
            forgetRead();
            seen_ = readRow(row).values;
            emit dataChanged(index(row, 0), index(row, columnCount() - 1));
        }
        return false;
    } catch (const std::exception& e) {
        error_ = qtext(e.what());
        return false;
    }
}

void RecordsetModel::discardPending() {
    if (pendingRow_ < 0) return;
    const int row = pendingRow_;
    pendingRow_ = -1;
    pending_.clear();
    seen_.clear();
    if (row < rowCount()) emit dataChanged(index(row, 0), index(row, columnCount() - 1));
}

bool RecordsetModel::deleteRecords(QList<int> rows) {
    error_.clear();
    if (!open()) return true;
    // Deleting moves the rows after it, which must all be known.
    completeKeyset();
    std::sort(rows.begin(), rows.end(), std::greater<int>());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    for (int row : rows) {
        if (row < 0 || row >= count_) continue; // the empty row is no record
        if (row == pendingRow_) discardPending();
        try {
            rs_->deleteRow(row);
        } catch (const std::exception& e) {
            error_ = qtext(e.what());
            return false;
        }
        forgetRead();
        beginRemoveRows(QModelIndex(), row, row);
        --count_;
        if (pendingRow_ > row) --pendingRow_;
        endRemoveRows();
    }
    return true;
}

} // namespace datawin
