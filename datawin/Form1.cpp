#include "Form1.h"

#include "SqlText.h"
#include "TableLoader.h"

#include "dbconn/Globals.h"
#include "dbconn/SqlName.h"
#include "frame/MDI.h"
#include "platform/Services.h"
#include "platform/Twips.h"

#include <QCloseEvent>
#include <QHeaderView>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QResizeEvent>
#include <QStyle>
#include <QTimer>
#include <QToolButton>

using platform::ignoreFailures;
using platform::twipsToPixels;

namespace datawin {

StatusBar::StatusBar(QWidget* parent) : QStatusBar(parent), label_(new QLabel(this)) {
    setSizeGripEnabled(false);
    label_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    addWidget(label_, 1);
    fitToFont();
}

void StatusBar::fitToFont() {
    // Room for a whole line of the font, descenders included, plus the
    // bar's own margins.
    const QFontMetrics fm(label_->font());
    setFixedHeight(fm.height() + fm.descent() + 6);
}

void StatusBar::changeEvent(QEvent* event) {
    QStatusBar::changeEvent(event);
    if (event->type() == QEvent::FontChange) fitToFont();
}

QString StatusBar::SimpleText() const {
    return label_->text();
}

void StatusBar::setSimpleText(const QString& text) {
    label_->setText(text);
}

bool FontDialog::ShowFont() {
    QFont chosen = Font;
    if (!platform::services().ChooseFont(chosen)) return false;
    Font = chosen;
    return true;
}

namespace {

// The style makes the icon anew from its image files on every request; every
// data window shows the same one, kept with the style that made it.
QIcon reloadIcon(QStyle* style) {
    static const char* const key = "tabelkoReloadIcon";
    QVariant kept = style->property(key);
    if (kept.canConvert<QIcon>()) return kept.value<QIcon>();
    const QIcon icon = style->standardIcon(QStyle::SP_BrowserReload);
    style->setProperty(key, QVariant::fromValue(icon));
    return icon;
}

} // namespace

Form1::Form1(QWidget* parent) : QWidget(parent) {
    setWindowTitle(QStringLiteral("Tabelko（兼容64位及32位操作系统）"));
    resize(twipsToPixels(11000), twipsToPixels(6200));

    DataGrid1 = new DataGrid(this);
    connect(DataGrid1, &DataGrid::Click, this, [this] { DataGrid1_Click(); });
    connect(DataGrid1, &DataGrid::HeadClick, this, [this](int c) { DataGrid1_HeadClick(c); });

    StatusBar1 = new StatusBar(this);

    T = new QLineEdit(QStringLiteral("0"), this);
    T->hide();

    rfs = new QToolButton(this);
    rfs->setIcon(reloadIcon(style()));
    rfs->setIconSize(QSize(12, 12));
    rfs->setToolTip(QStringLiteral("重新查询"));
    rfs->setAutoRaise(true);
    connect(rfs, &QToolButton::clicked, this, [this] { rfs_Click(); });

    List1 = new QListWidget(this);
    List1->setSelectionMode(QAbstractItemView::MultiSelection);
    List1->hide();
    Com = new QPushButton(QStringLiteral("确定/关闭此项"), this);
    Com->hide();
    connect(Com, &QPushButton::clicked, this, [this] { Com_Click(); });

    Timer1 = new QTimer(this);
    Timer1->setInterval(StartInterval);
    connect(Timer1, &QTimer::timeout, this, [this] { Timer1_Timer(); });
    Timer1->start();

    CommonDialog1.Font = DataGrid1->font();
    // A row added or deleted in the grid changes the count the status shows.
    QAbstractItemModel* model = DataGrid1->model();
    connect(model, &QAbstractItemModel::rowsInserted, this, [this] { refreshRowStatus(); });
    connect(model, &QAbstractItemModel::rowsRemoved, this, [this] { refreshRowStatus(); });
    connect(DataGrid1->recordsetModel(), &RecordsetModel::keysetCompleted, this,
            [this] { countKnown(); });
    // A row that cannot be read is said once in the status bar, its cells
    // show the failure.
    connect(DataGrid1->recordsetModel(), &RecordsetModel::readFailed, this,
            [this](const QString& message) {
                if (!databaseClosed_)
                    StatusBar1->setSimpleText(QStringLiteral("读取数据失败：") + message);
            });
    Form_Resize();
}

QString Form1::rowStatusText() const {
    const int row = DataGrid1->Row();
    return QStringLiteral("当前行：") + QString::number(row + 1) + QStringLiteral(" 总数：") +
           QString::number(DataGrid1->ApproxCount()) + QStringLiteral(" 当前表：") + TableName;
}

void Form1::refreshRowStatus() {
    // Only a status that counts rows is brought up to date; the loader's
    // text stays until the user clicks a row.
    if (!databaseClosed_ && StatusBar1->SimpleText().startsWith(QStringLiteral("当前行：")))
        StatusBar1->setSimpleText(rowStatusText());
}

void Form1::showRecordCount(const QString& before, long count, const QString& after) {
    const RecordsetModel* model = DataGrid1->recordsetModel();
    countWaiting_.clear();
    const bool bound = model->recordset() && model->recordset()->State() != 0;
    if (count < 0 && bound && model->keysetComplete()) count = model->recordCount();
    // A grid left empty (its own query failed) never reads rows that would
    // count: the shared result counts them now.
    if (count < 0 && !bound)
        ignoreFailures([&] { count = dbconn::globals().SharedRs.expectedCount(); });
    if (count >= 0) {
        StatusBar1->setSimpleText(before + QString::number(count) + after);
        return;
    }
    countBefore_ = before;
    countAfter_ = after;
    countWaiting_ = before + CountPending + after;
    StatusBar1->setSimpleText(countWaiting_);
}

void Form1::countKnown() {
    // Only the status still waiting for it takes the count: a clicked row,
    // a failure or a closed database said something else since.
    if (countWaiting_.isEmpty() || StatusBar1->SimpleText() != countWaiting_) return;
    countWaiting_.clear();
    StatusBar1->setSimpleText(
        countBefore_ + QString::number(DataGrid1->recordsetModel()->recordCount()) + countAfter_);
}

void Form1::Form_Load() {
    if (loaded_) return;
    loaded_ = true;
    DataGrid1->AllowUpdate = true;
    DataGrid1->AllowAddNew = true;
    DataGrid1->AllowDelete = true;
    DataGrid1->setTabKeyNavigation(true);
    DataGrid1->applyEditing();
    DataGrid1->setGridFont(DataGrid1->font()); // headers 1.6 lines high
    raise();

    const dbconn::Globals& g = dbconn::globals();
    sql1 = g.CurrentSql;
    SourceSql = g.CurrentSql;
    TableName = g.CurrentTable;
    DbFile = g.DbPath;
    if (F.toInt() == 1) {
        firstResult_.reset(); // the loader binds the shared result itself
        setWindowTitle(dbconn::globals().CurrentSql);
        return;
    }
    ignoreFailures([&] { rs10(sql1); });
    ignoreFailures([&] { DataGrid1->setRow(0); });
    setWindowTitle(QStringLiteral("数据表 - ") + dbconn::globals().CurrentTable);
}

void Form1::offerFirstResult(const engine::Recordset& opened) {
    firstResult_.reset();
    if (opened.State() != 0) firstResult_ = opened.Clone();
}

void Form1::rs10(const QString& sql10) {
    std::optional<engine::Recordset> first;
    first.swap(firstResult_);
    ignoreFailures([&] {
        DataGrid1->clearDataSource();
        if (sql10.size() < 10) return;
        // The loader's copy serves only the window's first result, of the
        // same statement.
        if (!rs1 && first && first->State() != 0 && first->Source() == sql10.toStdString()) {
            rs1 = std::move(first);
            DataGrid1->setDataSource(*rs1);
            return;
        }
        if (rs1 && rs1->State() != 0) rs1->Close();
        if (!rs1) rs1.emplace();
        const auto& conn = dbconn::globals().DbConn;
        if (!conn) return; // no connection: the grid stays empty
        // The first rows show at once; the rest of a large result follows.
        rs1->Open(sql10.toStdString(), *conn, engine::cursor::Keyset, engine::lock::Optimistic,
                  engine::option::AsyncFetch);
        if (rs1->State() != 0) DataGrid1->setDataSource(*rs1);
    });
}

void Form1::DataGrid1_HeadClick(int ColIndex) {
    ignoreFailures([&] {
        const QString field = DataGrid1->columnField(ColIndex);
        if (field.isEmpty()) return;
        frame::MDI* mdi = frame::mainFrame();
        QString sorted = beforeOrderBy(sql1);
        // A name that is not a plain identifier goes between brackets, so a
        // column such as "单价 (元)" still sorts.
        const QString name = dbconn::SqlName(field);
        const bool wasDescending = mdi && mdi->x->text() == QStringLiteral("降序");
        if (wasDescending) {
            sorted += QStringLiteral(" Order By ") + name + QStringLiteral(" Asc");
            if (mdi) mdi->x->setText(QStringLiteral("升序"));
        } else {
            sorted += QStringLiteral(" Order By ") + name + QStringLiteral(" Desc");
            if (mdi) mdi->x->setText(QStringLiteral("降序"));
        }
        sql1 = sorted;
        if (mdi) mdi->LIE->setText(field);
        rs10(sql1);
        DataGrid1->Refresh();
        DataGrid1->showSortIndicator(ColIndex, !wasDescending);
    });
}

void Form1::DataGrid1_Click() {
    const int row = DataGrid1->Row();
    if (row >= 0) {
        T->setText(QString::number(row));
        StatusBar1->setSimpleText(rowStatusText());
    }
    Timer1->stop();
    if (row >= 0)
        setWindowTitle(TableName + QStringLiteral("(") + QString::number(row) +
                       QStringLiteral(",") + QString::number(DataGrid1->Col()) +
                       QStringLiteral(")"));
}

void Form1::selectStoredRow() {
    bool ok = false;
    const int row = T->text().toInt(&ok);
    if (ok) DataGrid1->setRow(row);
}

void Form1::rfs_Click() {
    // A row being typed is written first; one the database refuses stays
    // as typed, and the re-query waits.
    if (!DataGrid1->leaveRow()) return;
    if (DatabaseGone()) {
        DatabaseClosed();
        return;
    }
    rs10(sql1);
    ignoreFailures([&] { selectStoredRow(); });
    StatusBar1->setSimpleText(rowStatusText());
    Timer1->start();
}

void Form1::Timer1_Timer() {
    // A re-query would throw away a row the user is typing into; wait for
    // the next tick instead.
    if (DataGrid1->isEditing()) return;
    // Another database took the place of this window's: re-running the
    // query there would show an empty or foreign table under this name.
    if (DatabaseGone()) {
        DatabaseClosed();
        return;
    }
    rs10(sql1);
    ignoreFailures([&] { selectStoredRow(); });
    StatusBar1->setSimpleText(rowStatusText());
    ignoreFailures([&] {
        const long shared = dbconn::globals().SharedRs.expectedCount();
        // The interval only ever grows: 33333, then 9999, then 59999.
        if (shared > 1000 && Timer1->interval() != LongInterval)
            Timer1->setInterval(MediumInterval);
        if (shared > 9999) Timer1->setInterval(LongInterval);
    });
}

void Form1::Com_Click() {
    QStringList fields;
    for (int i = 0; i < List1->count(); ++i)
        if (List1->item(i)->isSelected()) fields << dbconn::SqlName(List1->item(i)->text());
    if (!fields.isEmpty()) {
        dbconn::Globals& g = dbconn::globals();
        g.CurrentSql = QStringLiteral("select ") + fields.join(QLatin1Char(',')) +
                       QStringLiteral(" from ") + dbconn::SqlName(g.CurrentTable);
        showPickedColumns(g.CurrentSql);
    }
    List1->hide();
    Com->hide();
}

void Form1::FormatWorl() {
    CommonDialog1.Flags = 259;
    CommonDialog1.Font = DataGrid1->font();
    // A cancelled dialog changes nothing.
    if (!CommonDialog1.ShowFont()) return;
    ignoreFailures([&] {
        DataGrid1->setGridFont(CommonDialog1.Font);
        QPalette p = DataGrid1->palette();
        p.setColor(QPalette::Text, CommonDialog1.Color);
        DataGrid1->setPalette(p);
    });
}

void Form1::Form_Resize() {
    if (resizing_) return;
    resizing_ = true;
    ignoreFailures([&] {
        // The window's outer size counts, caption and borders included.
        QWidget* outer = this;
        auto* sub = qobject_cast<QMdiSubWindow*>(parentWidget());
        // The frame places the window when it opens (cascaded); a resize
        // leaves it where the user put it.
        if (sub) outer = sub;
        const int left = twipsToPixels(30);
        const int width = std::max(0, outer->width() - twipsToPixels(200));
        const int height = std::max(0, outer->height() - twipsToPixels(800));
        DataGrid1->setGeometry(left, left, std::min(width, this->width() - left),
                               std::min(height, this->height() - left));
        const int bar = StatusBar1->height();
        StatusBar1->setGeometry(0, this->height() - bar, this->width(), bar);
        // The refresh button sits in the grid's top-left corner.
        const int corner = DataGrid1->horizontalHeader()->height();
        rfs->setGeometry(left, left, std::max(16, DataGrid1->verticalHeader()->width()), corner);
        rfs->raise();
        List1->setGeometry(left + 40, left + corner, twipsToPixels(2400), twipsToPixels(3600));
        Com->setGeometry(List1->x(), List1->geometry().bottom() + 2, List1->width(),
                         twipsToPixels(360));
        List1->raise();
        Com->raise();
    });
    resizing_ = false;
}

void Form1::LoadStatement(const QString& sql, const QString& table) {
    databaseClosed_ = false;
    sql1 = sql;
    SourceSql = sql;
    TableName = table;
    DbFile = dbconn::globals().DbPath;
    T->setText(QStringLiteral("0"));
    DataGrid1->clearSortIndicator();
    List1->hide();
    Com->hide();
    rs10(sql1);
    ignoreFailures([&] { DataGrid1->setRow(0); });
    setWindowTitle(QStringLiteral("数据表 - ") + table);
    if (F.toInt() != 1) Timer1->start();
}

bool Form1::WritePendingRow() {
    if (!DataGrid1->isEditing()) return true;
    if (DataGrid1->writeRow()) return true;
    const QString what = TableName.isEmpty() ? windowTitle() : TableName;
    const int answer = platform::services().MsgBox(
        QStringLiteral("“") + what + QStringLiteral("”中正在编辑的一行未能保存：") +
            DataGrid1->refusal() +
            QStringLiteral("\n\n是否放弃这一行的修改？\n"
                           "选择“是”放弃修改；选择“否”回到该行继续编辑。"),
        platform::mb::YesNo, QStringLiteral("修改未保存"));
    if (answer == platform::mb::Yes) {
        DataGrid1->discardRow();
        return true;
    }
    // Back to the row, in front, with what was typed still in it.
    if (auto* sub = qobject_cast<QMdiSubWindow*>(parentWidget())) {
        if (sub->isMinimized()) sub->showNormal();
        if (QMdiArea* area = sub->mdiArea()) area->setActiveSubWindow(sub);
        sub->raise();
    }
    DataGrid1->setFocus();
    return false;
}

bool Form1::DatabaseGone() const {
    if (databaseClosed_) return true;
    const dbconn::Globals& g = dbconn::globals();
    return DbFile != g.DbPath || !g.DbConn || g.DbConn->State() == 0;
}

void Form1::DatabaseClosed() {
    const bool first = !databaseClosed_;
    databaseClosed_ = true;
    Timer1->stop();
    DataGrid1->clearDataSource();
    ignoreFailures([&] {
        if (rs1 && rs1->State() != 0) rs1->Close();
    });
    StatusBar1->setSimpleText(
        (DbFile.isEmpty() ? QStringLiteral("数据库已关闭")
                          : QStringLiteral("数据库“") + DbFile + QStringLiteral("”已关闭")) +
        QStringLiteral("，此窗口不再显示数据。请打开数据库后重新选择“") + TableName +
        QStringLiteral("”。"));
    if (first) setWindowTitle(windowTitle() + QStringLiteral("（数据库已关闭）"));
}

void Form1::closeEvent(QCloseEvent* event) {
    if (!WritePendingRow()) {
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
}

void Form1::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    Form_Resize();
}

} // namespace datawin
