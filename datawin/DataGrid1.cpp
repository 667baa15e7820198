#include "DataGrid1.h"

#include "platform/Services.h"

#include <QApplication>
#include <QHash>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QStaticText>
#include <QStyledItemDelegate>

#include <array>
#include <cmath>
#include <optional>

namespace datawin {

namespace {

// Memo cells are edited in a multi-line editor; Enter starts a new line
// there, and leaving the cell keeps the text.
//
// A one-line text is laid out once and kept (the grid repaints the same cells
// on every selection, focus and scroll change, and laying out mixed Chinese
// and Latin text is most of the cost of a paint); other cells are painted by
// the style as usual.
class CellDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyleOptionViewItem opt = option;
        initStyleOption(&opt, index);
        const auto plain = QStyleOptionViewItem::HasDisplay;
        if ((opt.features & ~(plain | QStyleOptionViewItem::Alternate)) ||
            opt.text.contains(QChar::LineSeparator) || opt.text.contains(QLatin1Char('\n')) ||
            opt.textElideMode != Qt::ElideRight || opt.direction != Qt::LeftToRight) {
            QStyledItemDelegate::paint(painter, option, index);
            return;
        }
        const QWidget* widget = opt.widget;
        QStyle* style = widget ? widget->style() : QApplication::style();
        QString text;
        text.swap(opt.text);
        opt.features &= ~plain;
        // Background, selection and focus as the style draws them. A cell
        // that is neither selected, current nor under the mouse and has no
        // background of its own has nothing of them to draw (the row's
        // background, alternate or not, is painted by the view).
        const bool bare = !(opt.state & (QStyle::State_Selected | QStyle::State_HasFocus |
                                         QStyle::State_MouseOver)) &&
                          opt.backgroundBrush.style() == Qt::NoBrush;
        if (!bare) style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);
        if (text.isEmpty()) return;

        const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, widget) + 1;
        const QRect area = style->subElementRect(QStyle::SE_ItemViewItemText, &opt, widget)
                               .adjusted(margin, 0, -margin, 0);
        const QStaticText& laid = laidOut(text, opt.font, area.width(), opt.fontMetrics);
        const QSize size = laid.size().toSize();
        const QRect at = QStyle::alignedRect(opt.direction, opt.displayAlignment, size, area);
        const QPalette::ColorGroup group = !(opt.state & QStyle::State_Enabled) ? QPalette::Disabled
                                           : !(opt.state & QStyle::State_Active)
                                               ? QPalette::Inactive
                                               : QPalette::Normal;
        painter->save();
        painter->setClipRect(area, Qt::IntersectClip);
        painter->setFont(opt.font);
        painter->setPen(opt.palette.color(group, (opt.state & QStyle::State_Selected)
                                                     ? QPalette::HighlightedText
                                                     : QPalette::Text));
        painter->drawStaticText(at.topLeft(), laid);
        painter->restore();
    }

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override {
        if (isMemo(index)) {
            auto* editor = new QPlainTextEdit(parent);
            editor->setTabChangesFocus(true);
            return editor;
        }
        return QStyledItemDelegate::createEditor(parent, option, index);
    }

    void setEditorData(QWidget* editor, const QModelIndex& index) const override {
        if (auto* memo = qobject_cast<QPlainTextEdit*>(editor)) {
            memo->setPlainText(index.data(Qt::EditRole).toString());
            return;
        }
        QStyledItemDelegate::setEditorData(editor, index);
    }

    void setModelData(QWidget* editor, QAbstractItemModel* model,
                      const QModelIndex& index) const override {
        if (auto* memo = qobject_cast<QPlainTextEdit*>(editor)) {
            model->setData(index, memo->toPlainText(), Qt::EditRole);
            return;
        }
        QStyledItemDelegate::setModelData(editor, model, index);
    }

    void updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const override {
        if (qobject_cast<QPlainTextEdit*>(editor)) {
            // Room for a few lines below the cell.
            QRect r = option.rect;
            r.setHeight(std::max(r.height() * 4, 80));
            if (r.width() < 200) r.setWidth(200);
            editor->setGeometry(r);
            return;
        }
        QStyledItemDelegate::updateEditorGeometry(editor, option, index);
    }

private:
    // The text as drawn in `width` pixels: whole, or cut short with an
    // ellipsis when it does not fit.
    const QStaticText& laidOut(const QString& text, const QFont& font, int width,
                               const QFontMetrics& metrics) const {
        if (font != font_) {
            texts_.clear();
            font_ = font;
        }
        // Bounded: a long scroll through many rows starts afresh now and then.
        if (texts_.size() > 4096) texts_.clear();
        auto prepared = [&font](const QString& s) {
            QStaticText st(s);
            st.setTextFormat(Qt::PlainText);
            st.prepare(QTransform(), font);
            return st;
        };
        auto it = texts_.find(text);
        if (it == texts_.end()) it = texts_.insert(text, prepared(text));
        if (it->size().width() <= width) return *it;
        const QString cut = metrics.elidedText(text, Qt::ElideRight, width);
        auto shortIt = texts_.find(cut);
        if (shortIt == texts_.end()) shortIt = texts_.insert(cut, prepared(cut));
        return *shortIt;
    }

    mutable QHash<QString, QStaticText> texts_;
    mutable QFont font_;

    static bool isMemo(const QModelIndex& index) {
        auto* m = qobject_cast<const RecordsetModel*>(index.model());
        return m && m->columnKind(index.column()) == ColumnKind::Memo;
    }
};

// The row numbers down the left. The view asks for the header's size hint
// whenever rows come or go, and the hint measures the first and the last
// hundred sections through the style. Where every digit of the font is as
// wide as the others, numbers of as many digits measure the same: one
// measure per length is kept until the font or the style changes.
class RowHeader : public QHeaderView {
public:
    explicit RowHeader(QWidget* parent) : QHeaderView(Qt::Vertical, parent) {
        setSectionsClickable(true);
        setHighlightSections(true);
    }

protected:
    QSize sectionSizeFromContents(int logicalIndex) const override {
        if (!evenDigits_) {
            const QFontMetrics fm(font());
            const int zero = fm.horizontalAdvance(QLatin1Char('0'));
            bool even = true;
            for (char d = '1'; d <= '9'; ++d)
                even = even && fm.horizontalAdvance(QLatin1Char(d)) == zero;
            evenDigits_ = even;
        }
        const QString text =
            model() ? model()->headerData(logicalIndex, Qt::Vertical).toString() : QString();
        bool number = false;
        text.toULongLong(&number);
        if (!*evenDigits_ || !number || text.size() >= static_cast<int>(sizes_.size()))
            return QHeaderView::sectionSizeFromContents(logicalIndex);
        QSize& size = sizes_[static_cast<std::size_t>(text.size())];
        if (!size.isValid()) size = QHeaderView::sectionSizeFromContents(logicalIndex);
        return size;
    }

    // Before the header itself hears of it: it measures again at once.
    bool event(QEvent* event) override {
        if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange) {
            sizes_.fill(QSize());
            evenDigits_.reset();
        }
        return QHeaderView::event(event);
    }

private:
    mutable std::array<QSize, 21> sizes_; // by the number of digits
    mutable std::optional<bool> evenDigits_;
};

} // namespace

DataGrid::DataGrid(QWidget* parent) : QTableView(parent), model_(new RecordsetModel(this)) {
    setVerticalHeader(new RowHeader(this));
    setModel(model_);
    setItemDelegate(new CellDelegate(this));
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                    QAbstractItemView::AnyKeyPressed | QAbstractItemView::SelectedClicked);
    setWordWrap(false);
    setSortingEnabled(false); // sorting re-runs the query; see HeadClick
    horizontalHeader()->setSectionsClickable(true);
    horizontalHeader()->setHighlightSections(true);
    horizontalHeader()->setDefaultSectionSize(110);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    connect(horizontalHeader(), &QHeaderView::sectionClicked, this, &DataGrid::headerClicked);
    connect(this, &QAbstractItemView::clicked, this, [this](const QModelIndex&) { emit Click(); });
    fitHeader();
}

void DataGrid::keepColumnWidths() {
    if (model_->columnCount() == 0) return;
    columnWidths_.clear();
    for (int c = 0; c < model_->columnCount(); ++c)
        columnWidths_ << columnWidth(c);
}

void DataGrid::setDataSource(const engine::Recordset& rs) {
    keepColumnWidths();
    model_->setRecordset(rs);
    applyEditing();
    fitColumns();
}

void DataGrid::fitColumns() {
    QStringList fields;
    for (int c = 0; c < model_->columnCount(); ++c)
        fields << model_->fieldName(c);
    // A re-query of the same columns keeps the widths the user gave them.
    if (fields == shownFields_ && columnWidths_.size() == fields.size()) {
        for (int c = 0; c < fields.size(); ++c)
            setColumnWidth(c, columnWidths_[c]);
        return;
    }
    shownFields_ = fields;
    const QFontMetrics fm(font());
    for (int c = 0; c < model_->columnCount(); ++c) {
        int width = horizontalHeader()->defaultSectionSize();
        switch (model_->columnKind(c)) {
        case ColumnKind::Date:
            width = fm.horizontalAdvance(QStringLiteral("0000-00-00 00:00:00")) + 14;
            break;
        case ColumnKind::Memo:
            width = std::max(width, fm.horizontalAdvance(QLatin1Char('M')) * 20);
            break;
        case ColumnKind::Boolean:
            width = std::max(60, fm.horizontalAdvance(fields[c]) + 24);
            break;
        default:
            break;
        }
        setColumnWidth(c, width);
    }
}

void DataGrid::showSortIndicator(int column, bool descending) {
    horizontalHeader()->setSortIndicatorShown(true);
    horizontalHeader()->setSortIndicator(column,
                                         descending ? Qt::DescendingOrder : Qt::AscendingOrder);
    sortColumn_ = column;
    sortOrder_ = descending ? Qt::DescendingOrder : Qt::AscendingOrder;
}

void DataGrid::clearSortIndicator() {
    horizontalHeader()->setSortIndicatorShown(false);
    sortColumn_ = -1;
}

void DataGrid::clearDataSource() {
    keepColumnWidths();
    model_->setRecordset(std::nullopt);
}

void DataGrid::applyEditing() {
    model_->setEditing(AllowUpdate, AllowAddNew, AllowDelete);
}

void DataGrid::Refresh() {
    keepColumnWidths();
    model_->reload();
    fitColumns();
    viewport()->update();
}

int DataGrid::Row() const {
    const QModelIndex i = currentIndex();
    return i.isValid() ? i.row() : -1;
}

int DataGrid::Col() const {
    const QModelIndex i = currentIndex();
    return i.isValid() ? i.column() : -1;
}

bool DataGrid::setRow(int row) {
    // A row past the first ones shown waits for the rest of the result.
    if (row >= model_->rowCount()) model_->completeKeyset();
    if (row < 0 || row >= model_->rowCount() || model_->columnCount() == 0) return false;
    const int column = std::max(0, Col());
    const QModelIndex i = model_->index(row, column);
    setCurrentIndex(i);
    selectionModel()->select(i, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    scrollTo(i);
    return Row() == row;
}

void DataGrid::setGridFont(const QFont& font) {
    setFont(font);
    horizontalHeader()->setFont(font);
    verticalHeader()->setFont(font);
    fitHeader();
}

void DataGrid::fitHeader() {
    const QFontMetrics fm(horizontalHeader()->font());
    horizontalHeader()->setFixedHeight(
        static_cast<int>(std::lround(fm.lineSpacing() * HeaderLines)));
    verticalHeader()->setDefaultSectionSize(QFontMetrics(font()).lineSpacing() + 6);
}

bool DataGrid::isEditing() const {
    return state() == QAbstractItemView::EditingState || model_->pendingRow() >= 0;
}

void DataGrid::reportRefusal() {
    platform::services().MsgBox(
        QStringLiteral("该行未能保存：") + model_->error() +
            QStringLiteral("\n输入的内容仍保留在该行中，请改正后再离开此行，"
                           "或按 Esc 键撤消修改。"),
        platform::mb::OkOnly, QString());
}

bool DataGrid::leaveRow() {
    return writeRow(true);
}

bool DataGrid::writeRow() {
    return writeRow(false);
}

void DataGrid::discardRow() {
    if (state() == QAbstractItemView::EditingState) {
        for (QWidget* editor : viewport()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
            if (!editor->isHidden()) closeEditor(editor, QAbstractItemDelegate::RevertModelCache);
    }
    model_->discardPending();
}

bool DataGrid::writeRow(bool report) {
    // An open cell editor hands its text to the row first.
    if (state() == QAbstractItemView::EditingState) {
        for (QWidget* editor : viewport()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            if (editor->isHidden()) continue; // closed editors wait for deletion
            commitData(editor);
            closeEditor(editor, QAbstractItemDelegate::NoHint);
        }
    }
    if (model_->pendingRow() < 0) return true;
    if (model_->commitPending()) return true;
    if (report) reportRefusal();
    const int row = model_->pendingRow();
    returning_ = true;
    setCurrentIndex(model_->index(row, std::max(0, Col())));
    returning_ = false;
    return false;
}

void DataGrid::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
    // The base class hands an open editor's text to the model first.
    QTableView::currentChanged(current, previous);
    if (returning_) return;
    const int pending = model_->pendingRow();
    if (pending < 0 || current.row() == pending) return;
    if (model_->commitPending()) return;
    reportRefusal();
    returning_ = true;
    setCurrentIndex(model_->index(model_->pendingRow(), std::max(0, previous.column())));
    returning_ = false;
}

void DataGrid::headerClicked(int section) {
    // The header turned its arrow already; the sort decides what it shows.
    if (sortColumn_ >= 0)
        horizontalHeader()->setSortIndicator(sortColumn_, sortOrder_);
    else
        horizontalHeader()->setSortIndicatorShown(false);
    // Clicking the header row leaves the row being edited.
    if (!leaveRow()) return;
    emit HeadClick(section);
}

void DataGrid::deleteSelectedRows() {
    if (!AllowDelete || !model_->recordset()) return;
    QList<int> rows;
    for (const QModelIndex& i : selectionModel()->selectedRows())
        rows << i.row();
    if (rows.isEmpty()) return;
    if (!model_->deleteRecords(rows))
        platform::services().MsgBox(QStringLiteral("未能删除记录：") + model_->error(),
                                    platform::mb::OkOnly, QString());
}

bool DataGrid::edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) {
    if (QTableView::edit(index, trigger, event)) return true;
    const bool userAsked =
        trigger == DoubleClicked || trigger == EditKeyPressed ||
        (trigger == AnyKeyPressed && event && event->type() == QEvent::KeyPress &&
         !static_cast<QKeyEvent*>(event)->text().trimmed().isEmpty());
    const auto& rs = model_->recordset();
    if (userAsked && index.isValid() && AllowUpdate && rs && !rs->Updatable()) {
        platform::services().MsgBox(QStringLiteral("不能修改这些数据：") +
                                        QString::fromStdString(rs->ReadOnlyReason()),
                                    platform::mb::OkOnly, QString());
    }
    return false;
}

void DataGrid::mousePressEvent(QMouseEvent* event) {
    const QModelIndex target = indexAt(event->position().toPoint());
    if (target.isValid() && target.row() != Row() && isEditing() && !leaveRow()) {
        event->accept();
        return;
    }
    QTableView::mousePressEvent(event);
}

void DataGrid::keyPressEvent(QKeyEvent* event) {
    if (state() != QAbstractItemView::EditingState) {
        if (event->key() == Qt::Key_Delete && !selectionModel()->selectedRows().isEmpty()) {
            deleteSelectedRows();
            event->accept();
            return;
        }
        if (event->key() == Qt::Key_Escape && model_->pendingRow() >= 0) {
            model_->discardPending();
            event->accept();
            return;
        }
    }
    QTableView::keyPressEvent(event);
}

} // namespace datawin
