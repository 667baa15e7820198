#pragma once

#include "engine/Recordset.h"
#include "engine/base/Value.h"

#include <QAbstractTableModel>
#include <QString>

#include <map>
#include <optional>

namespace datawin {

class KeysetLoader;

// How a column is shown and edited in the grid.
enum class ColumnKind { Text, Memo, Number, Boolean, Date, Binary };

ColumnKind columnKindOf(int adType);

// Shown in place of a binary value, which has no text form.
inline const QString BinaryPlaceholder = QStringLiteral("（二进制数据）");
// Shown in the cells of a row that could not be read.
inline const QString ReadFailedText = QStringLiteral("#读取失败");

// A table model over a keyset recordset.
//
// Values are read a row at a time when the view paints them, each row read
// and converted once per paint (the engine keeps the pages). A recordset
// opened with engine::option::AsyncFetch knows only its first rows at first:
// the model shows those, builds the remaining keys on a worker thread, and
// adds the other rows when the build is done; anything that needs them
// sooner (scrolling to the end, a jump to a later row, a deletion) waits for
// them instead. A row that cannot be read shows as a failure in its cells and
// once through readFailed(), never as an empty row that looks like nulls.
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

    // Records of the bound recordset (without the empty row for new records);
    // only the first rows until the keyset is complete.
    long recordCount() const { return count_; }
    bool keysetComplete() const { return complete_; }
    // Waits for the remaining rows of the bound recordset and shows them.
    void completeKeyset();
    bool canFetchMore(const QModelIndex& parent) const override;
    void fetchMore(const QModelIndex& parent) override;
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

signals:
    // A row (or the rest of the keyset) could not be read; sent once per
    // result, with the engine's reason.
    void readFailed(const QString& message);
    // The remaining rows were added.
    void keysetCompleted();

private:
    bool open() const { return rs_ && rs_->State() != 0; }
    bool updatable() const { return open() && rs_->Updatable(); }
    engine::Value cellValue(int row, int column) const;
    // The row as read now: from a one-row memo while the view paints it.
    struct RowRead {
        long row = -1;
        std::vector<engine::Value> values;
        QString error; // non-empty when the row could not be read
    };
    const RowRead& readRow(int row) const;
    void forgetRead() const { memo_.row = -1; }
    void reportFailure(const QString& message) const;
    void readShape();
    void startLoading();
    void keysetBuilt(const std::shared_ptr<engine::KeysetBuild>& build);
    void showCompleteKeyset(bool firstRowsMoved);

    std::optional<engine::Recordset> rs_;
    long count_ = 0;
    bool complete_ = true;
    std::vector<engine::FieldInfo> fields_;
    bool allowUpdate_ = false, allowAddNew_ = false, allowDelete_ = false;
    int pendingRow_ = -1;
    std::map<int, engine::Value> pending_;
    // The pending row's values as the user saw them when typing began: its
    // changes are written only when the database still holds them.
    std::vector<engine::Value> seen_;
    mutable RowRead memo_;
    mutable bool failureReported_ = false;
    KeysetLoader* loader_;
    QString error_;
};

} // namespace datawin
