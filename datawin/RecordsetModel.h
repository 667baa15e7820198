#pragma once

#include "engine/Recordset.h"
#include "engine/Value.h"

#include <QAbstractTableModel>
#include <QString>

#include <deque>
#include <map>
#include <optional>
#include <unordered_map>

namespace datawin {

// How a column is shown and edited in the grid.
enum class ColumnKind { Text, Memo, Number, Boolean, Date, Binary };

ColumnKind columnKindOf(int adType);

// Shown in place of a binary value, which has no text form.
inline const QString BinaryPlaceholder = QStringLiteral("（二进制数据）");

// A table model over a keyset recordset.
//
// The recordset knows its row count when it opens and reads values a page at
// a time, so the model reports every row at once and asks for values only
// when the view paints them: a million-row result opens immediately and
// scrolls anywhere without being read whole.
//
// Editing follows the grid's record model: values typed into a row are kept
// as the row's pending edit and written to the database when the row is
// left (commitPending). When the recordset accepts new rows, one empty row
// at the end takes a new record. A rejected write keeps the pending values,
// so what the user typed stays visible and can be corrected.
class RecordsetModel : public QAbstractTableModel {
    Q_OBJECT

public:
    explicit RecordsetModel(QObject* parent = nullptr);

    // Binds the model to a recordset, or to nothing. Any pending edit is
    // dropped.
    void setRecordset(std::optional<engine::Recordset> rs);
    const std::optional<engine::Recordset>& recordset() const { return rs_; }

    // Re-reads the row count and the values (after the recordset changed
    // underneath, e.g. it was closed by its owner).
    void reload();

    // Whether the grid may change, add and delete rows; combined with what
    // the recordset itself allows.
    void setEditing(bool update, bool addNew, bool remove);

    // Records of the bound recordset (without the empty row for new records).
    long recordCount() const { return count_; }
    bool hasNewRowLine() const;
    bool isNewRowLine(int row) const { return hasNewRowLine() && row == count_; }

    ColumnKind columnKind(int column) const;
    QString fieldName(int column) const;

    // The pending edit, if any: the row it belongs to, or -1.
    int pendingRow() const { return pendingRow_; }
    // Writes the pending edit (update or new record). Returns false and keeps
    // the pending values when the database refuses them; error() says why.
    bool commitPending();
    void discardPending();
    // Deletes the given records from the table. Stops at the first refusal
    // and returns false; error() says why.
    bool deleteRecords(QList<int> rows);
    const QString& error() const { return error_; }

    // Turns typed text into the value handed to the engine, which converts
    // and checks it against the column (an empty text is Null).
    static engine::Value valueFromEdit(const QVariant& v, ColumnKind kind);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

private:
    bool open() const { return rs_ && rs_->State() != 0; }
    bool updatable() const { return open() && rs_->Updatable(); }
    engine::Value cellValue(int row, int column) const;
    const std::vector<engine::Value>& shownRow(int row) const;
    void forgetShownRows() const;
    void readShape();

    std::optional<engine::Recordset> rs_;
    long count_ = 0;
    std::vector<engine::FieldInfo> fields_;
    bool allowUpdate_ = false, allowAddNew_ = false, allowDelete_ = false;
    int pendingRow_ = -1;
    std::map<int, engine::Value> pending_;
    // Rows as they were first shown, kept until the rows change: the view
    // paints from them, and a row's changes are written only when the
    // database still holds what the user saw.
    mutable std::unordered_map<long, std::vector<engine::Value>> shown_;
    mutable std::deque<long> shownOrder_;
    static constexpr std::size_t MaxShownRows = 2000;
    QString error_;
};

} // namespace datawin
