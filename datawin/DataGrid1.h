#pragma once

#include "RecordsetModel.h"

#include "engine/Recordset.h"

#include <QTableView>

#include <optional>

namespace datawin {

// The data grid of a data window: a table view bound to a recordset.
//
// Editing works on whole rows: overwrite cells and leave the row to write
// it; type into the empty row at the end and leave it to add a record;
// select rows and press Del to delete them. A row the database refuses is
// reported with the engine's reason and stays as typed, current, until it is
// corrected or Esc drops the changes.
class DataGrid : public QTableView {
    Q_OBJECT

public:
    explicit DataGrid(QWidget* parent = nullptr);

    // The recordset shown, or nothing.
    void setDataSource(const engine::Recordset& rs);
    void clearDataSource();
    const std::optional<engine::Recordset>& DataSource() const { return model_->recordset(); }

    bool AllowUpdate = false;
    bool AllowAddNew = false;
    bool AllowDelete = false;
    // Applies the three Allow flags.
    void applyEditing();

    // Re-reads the bound recordset (its row count and values).
    void Refresh();

    // The current cell, 0-based; -1 when there is none.
    int Row() const;
    int Col() const;
    // Makes `row` current and selects it; false when there is no such row.
    bool setRow(int row);
    // Rows of the bound recordset, without the empty row for new records.
    long ApproxCount() const { return model_->recordCount(); }
    // The field shown in a column.
    QString columnField(int column) const { return model_->fieldName(column); }

    // Header height in text lines of the grid's font.
    static constexpr double HeaderLines = 1.6;
    void setGridFont(const QFont& font);

    // Writes the row being edited, if any, reporting a refusal. Returns
    // false when the row was refused (it stays current and as typed).
    bool leaveRow();
    // The same without the report: the caller says why (refusal()) and asks.
    bool writeRow();
    // Why the last write was refused.
    QString refusal() const { return model_->error(); }
    // Drops what was typed into the row being edited.
    void discardRow();
    // True while a cell editor is open or a row holds unwritten changes.
    bool isEditing() const;
    // Deletes the wholly selected rows (the Del key).
    void deleteSelectedRows();

    // Marks the column the rows are sorted by.
    void showSortIndicator(int column, bool descending);
    void clearSortIndicator();

    RecordsetModel* recordsetModel() const { return model_; }

signals:
    void Click();
    void HeadClick(int ColIndex);

protected:
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    void keyPressEvent(QKeyEvent* event) override;
    // A click on another row first writes the row being edited; a refused
    // row keeps the highlight, so the grid, the status and the caption keep
    // naming the same row.
    void mousePressEvent(QMouseEvent* event) override;
    // Starting to edit a result that cannot be written says why instead of
    // silently doing nothing.
    bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override;

private:
    void headerClicked(int section);
    void fitHeader();
    void fitColumns();
    void keepColumnWidths();
    void reportRefusal();
    bool writeRow(bool report);

    RecordsetModel* model_;
    bool returning_ = false; // moving back to a refused row
    QStringList shownFields_;
    QList<int> columnWidths_;
    int sortColumn_ = -1;
    Qt::SortOrder sortOrder_ = Qt::AscendingOrder;
};

} // namespace datawin
