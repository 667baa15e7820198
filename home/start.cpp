#include "start.h"

#include "FileAssociation.h"
#include "ProgramFiles.h"

#include "dbconn/Database.h"
#include "engine/base/Messages.h"
#include "frame/MDI.h"
#include "platform/Services.h"
#include "platform/Twips.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QPointer>
#include <QStyle>

using platform::twipsToPixels;

namespace home {

namespace {

QPointer<start> theHome;

const QString DesignCaption = QStringLiteral("Tabelko");
const QString Frame1Design = QStringLiteral("Access 操作");
const QString Frame1Open = QStringLiteral("数据表、存储过程");
const QString Frame1Changed = QStringLiteral("新建数据表");

const QString NoDatabase = QStringLiteral("请先打开MDB文件。");
const QString NoSelection = QStringLiteral("未选择表，请重试");
const QString DropQuestion = QStringLiteral("删除所选数据表将无法恢复，是否确定？");
const QString DropTitle = QStringLiteral("是否删除所选数据表？");
const QString NewTablePrompt = QStringLiteral("请输入新数据表名称");
const QString NewTableTitle = QStringLiteral("新建MDB数据表");
const QString BadTableName = QStringLiteral("表名不能包含空格和标点、符号");

const char* const templateCaptions[] = {
    "数据库向导 点击立即生成数据库",
    "产品订单.mdb",
    "库存控制.mdb",
    "门店销售.mdb",
    "图书管理.mdb",
    "物品管理.mdb",
    "音乐收藏.mdb",
    "帐单管理.mdb",
    "照片管理.mdb",
    "通讯录.mdb",
    "示范.mdb",
};

QRect twipsRect(int left, int top, int width, int height) {
    return {twipsToPixels(left), twipsToPixels(top), twipsToPixels(width), twipsToPixels(height)};
}

dbconn::FrameAccess* frameAccess() {
    return dbconn::globals().Frame;
}

QComboBox* chooser() {
    dbconn::FrameAccess* f = frameAccess();
    return f ? &f->Chooser() : nullptr;
}

QString reason(const std::exception& e) {
    return QString::fromStdString(e.what());
}

// Characters a new table's name may not hold: blanks and the marks that the
// bracketed statement or Jet's own name rules cannot take.
bool badTableName(const QString& name) {
    for (QChar c : name) {
        if (c.isSpace()) return true;
        if (QStringLiteral(",?/\\[]!.`").contains(c)) return true;
    }
    return false;
}

// The small icons of the list: a database, a saved query and a table.
std::vector<QIcon> paintImageList() {
    std::vector<QIcon> icons;
    for (int kind = 1; kind <= 3; ++kind) {
        QPixmap pm(16, 16);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        p.setRenderHint(QPainter::Antialiasing);
        if (kind == 1) {
            p.setBrush(QColor(0x2f, 0x6f, 0xb5));
            p.setPen(QColor(0x1d, 0x4a, 0x7c));
            p.drawRoundedRect(QRectF(2.5, 2.5, 11, 11), 2, 2);
        } else if (kind == 2) {
            p.setBrush(QColor(0xf2, 0xc1, 0x4e));
            p.setPen(QColor(0x9a, 0x70, 0x10));
            p.drawEllipse(QRectF(2.5, 2.5, 8, 8));
            p.drawLine(QPointF(9, 9), QPointF(14, 14));
        } else {
            p.setBrush(Qt::white);
            p.setPen(QColor(0x3a, 0x5f, 0x8a));
            p.drawRect(QRectF(1.5, 2.5, 13, 11));
            p.fillRect(QRectF(2, 3, 12, 3), QColor(0x4f, 0x86, 0xc6));
            p.drawLine(QPointF(1.5, 9.5), QPointF(14.5, 9.5));
            p.drawLine(QPointF(6.5, 6), QPointF(6.5, 13.5));
        }
        icons.emplace_back(pm);
    }
    return icons;
}

} // namespace

void ClickLabel::mouseReleaseEvent(QMouseEvent* event) {
    QLabel::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && isEnabled() && rect().contains(event->pos()) &&
        onClick)
        onClick();
}

start::start(QWidget* parent) : QWidget(parent) {
    setWindowTitle(DesignCaption);
    buildControls();
    Timer1.setInterval(22);
    connect(&Timer1, &QTimer::timeout, this, [this] { Timer1_Timer(); });
    // Timer1 runs while the window is loaded (see Show).
}

start::~start() = default;

QIcon programIcon() {
    // The sizes the build draws beside mdb.ico; mdb.ico itself, or the icon
    // the association installed into the desktop's theme, when they are not
    // there.
    QIcon icon;
    const QString folder = programFolder() + QStringLiteral("/图标");
    for (int size : {16, 24, 32, 48, 64, 128, 256}) {
        const QString png = folder + QStringLiteral("/mdb-%1.png").arg(size);
        if (QFileInfo::exists(png)) icon.addFile(png, QSize(size, size));
    }
    if (icon.isNull() && QFileInfo::exists(iconPath())) icon = QIcon(iconPath());
    if (icon.isNull()) icon = QIcon::fromTheme(QStringLiteral("tabelko"));
    return icon;
}

void start::buildControls() {
    ImageList1 = paintImageList();

    Frame1 = new QGroupBox(Frame1Design, this);
    Frame1->setGeometry(twipsRect(120, 60, 4860, 5100));

    LV = new QTreeWidget(Frame1);
    LV->setGeometry(twipsRect(120, 330, 4620, 4080));
    LV->setRootIsDecorated(false);
    LV->setEditTriggers(QAbstractItemView::NoEditTriggers);
    LV->setSelectionMode(QAbstractItemView::SingleSelection);
    setListHeaders();
    // The selected entry follows the highlight however it moves: a click,
    // the arrow keys, Home/End, Page Up/Down, or the program.
    connect(LV, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
        if (!rebuilding_ && item) LV_ItemClick(LV->indexOfTopLevelItem(item));
    });
    connect(LV, &QTreeWidget::itemClicked, this,
            [this](QTreeWidgetItem* item, int) { LV_ItemClick(LV->indexOfTopLevelItem(item)); });
    connect(LV, &QTreeWidget::itemDoubleClicked, this,
            [this](QTreeWidgetItem* item, int) { LV_DblClick(LV->indexOfTopLevelItem(item)); });

    List0 = new QListWidget(this);
    List0->hide();
    connect(List0, &QListWidget::itemClicked, this, [this] { List0_Click(); });

    auto label = [this](QWidget* parent, const QString& text, QRect where,
                        std::function<void()> click) {
        auto* l = new ClickLabel(text, parent);
        l->setGeometry(where);
        l->setCursor(Qt::PointingHandCursor);
        l->setStyleSheet(QStringLiteral("QLabel { color: #1d4a9c; text-decoration: underline; }"
                                        "QLabel:disabled { color: gray; }"));
        l->onClick = std::move(click);
        return l;
    };
    C0 = label(Frame1, QStringLiteral("表设计"), twipsRect(120, 4560, 900, 300),
               [this] { C0_Click(); });
    C0->setEnabled(false); // switched on once a database is open
    CP = label(Frame1, QStringLiteral("重命名/高级"), twipsRect(1080, 4560, 1400, 300),
               [this] { CP_Click(); });
    CQ[0] = label(Frame1, QStringLiteral("新建表"), twipsRect(2640, 4560, 900, 300),
                  [this] { CQ_Click(0); });
    CQ[1] = label(Frame1, QStringLiteral("移除表"), twipsRect(3660, 4560, 900, 300),
                  [this] { CQ_Click(1); });

    // The launcher: three picture buttons in a row at the top, the captioned
    // ones in a column below, "退出程序" alone at the bottom.
    struct ButtonDesign {
        int index;
        const char* caption;
        const char* tooltip;
        const char* themeIcon;
        QStyle::StandardPixmap fallback;
        QRect where;
    };
    const ButtonDesign buttons[] = {
        {2, "", "打开数据库", "document-open", QStyle::SP_DialogOpenButton,
         twipsRect(5160, 150, 480, 480)},
        {6, "", "视图", "view-list-details", QStyle::SP_FileDialogListView,
         twipsRect(5700, 150, 480, 480)},
        {0, "", "新建数据库", "document-new", QStyle::SP_FileIcon, twipsRect(6240, 150, 480, 480)},
        {8, "数据表", "打开所选数据表", nullptr, {}, twipsRect(5160, 840, 1560, 420)},
        {7, "查询", "SQL查询", nullptr, {}, twipsRect(5160, 1320, 1560, 420)},
        {9, "向导", "数据库向导", nullptr, {}, twipsRect(5160, 1800, 1560, 420)},
        {5, "模板", "打开模板文件夹", nullptr, {}, twipsRect(5160, 2280, 1560, 420)},
        {1, "更多", "帮助页面", nullptr, {}, twipsRect(5160, 2760, 1560, 420)},
        {4, "知识", "经典SQL语句大全", nullptr, {}, twipsRect(5160, 3240, 1560, 420)},
        {3, "退出程序", "", nullptr, {}, twipsRect(5160, 4740, 1560, 420)},
    };
    for (const ButtonDesign& b : buttons) {
        auto* button = new QPushButton(QString::fromUtf8(b.caption), this);
        button->setGeometry(b.where);
        button->setToolTip(QString::fromUtf8(b.tooltip));
        if (b.themeIcon) {
            button->setIcon(QIcon::fromTheme(QString::fromLatin1(b.themeIcon),
                                             style()->standardIcon(b.fallback)));
            button->setIconSize(QSize(20, 20));
        }
        const int index = b.index;
        connect(button, &QPushButton::clicked, this, [this, index] { C_Click(index); });
        C[static_cast<std::size_t>(index)] = button;
    }

    Frame3 = new QGroupBox(this);
    Frame3->setGeometry(twipsRect(6900, 60, 4440, 5100));
    Frame3->hide();
    for (int i = 0; i <= 10; ++i) {
        QRect where;
        if (i == 0)
            where = twipsRect(180, 300, 4080, 420);
        else if (i <= 5)
            where = twipsRect(300, 960 + (i - 1) * 720, 1920, 360);
        else
            where = twipsRect(2340, 960 + (i - 6) * 720, 1920, 360);
        L[static_cast<std::size_t>(i)] =
            label(Frame3, QString::fromUtf8(templateCaptions[i]), where, [this, i] { L_Click(i); });
    }
    // The heading names no file; it reads as a heading, not a link.
    L[0]->setStyleSheet(QStringLiteral("QLabel { font-weight: bold; color: #7a2f00; }"));
    L[0]->setCursor(Qt::ArrowCursor);

    setFixedSize(twipsToPixels(6900), twipsToPixels(5280));
}

void start::setListHeaders() {
    LV->setColumnCount(2);
    LV->setHeaderLabels({QStringLiteral("ICO"), QStringLiteral("数据表")});
    LV->setColumnWidth(0, twipsToPixels(500));
    LV->setColumnWidth(1, twipsToPixels(4000));
    LV->header()->setStretchLastSection(true);
}

void start::layoutForWizard() {
    setFixedSize(twipsToPixels(Frame3->isVisible() ? 11460 : 6900), twipsToPixels(5280));
    if (auto* sub = qobject_cast<QMdiSubWindow*>(parentWidget())) sub->adjustSize();
}

start* homeWindow() {
    return theHome.data();
}

start* install() {
    frame::MDI* mdi = frame::mainFrame();
    if (theHome) delete theHome.data();
    theHome = new start(mdi ? static_cast<QWidget*>(mdi->Area) : nullptr);
    if (!mdi) theHome->setAttribute(Qt::WA_DeleteOnClose, false);

    // The program's own icon for the frame and every window in it.
    const QIcon icon = programIcon();
    if (!icon.isNull()) {
        QApplication::setWindowIcon(icon);
        if (mdi) mdi->setWindowIcon(icon);
        theHome->setWindowIcon(icon);
    }

    if (mdi)
        mdi->Routes.ShowHome = [] {
            if (theHome) theHome->Show();
        };
    dbconn::Hooks& hooks = dbconn::globals().hooks;
    hooks.NewTable = [] {
        if (theHome) theHome->CQ_Click(0);
    };
    hooks.EnableTableDesign = [] {
        if (theHome) theHome->C0->setEnabled(true);
    };
    return theHome.data();
}

void start::Show() {
    // In its place in the frame first: a password prompt or a message of
    // the loading below then has the window behind it where it belongs.
    if (frame::MDI* mdi = frame::mainFrame(); mdi && mdi->Area) {
        QMdiSubWindow* sub = mdi->ShowChild(this, 500, 320);
        // Closing the window unloads it; the window itself lives on.
        sub->setAttribute(Qt::WA_DeleteOnClose, false);
        sub->setWindowFlag(Qt::WindowMaximizeButtonHint, false);
        if (!sub->property("keepsNormal").toBool()) {
            sub->setProperty("keepsNormal", true);
            // The area maximises the next window when a maximised one
            // closes; this window has a fixed size and stays normal.
            connect(sub, &QMdiSubWindow::windowStateChanged, this,
                    [sub](Qt::WindowStates, Qt::WindowStates now) {
                        if (now & Qt::WindowMaximized)
                            QTimer::singleShot(0, sub, [sub] { sub->showNormal(); });
                    });
        }
        show();
        sub->adjustSize();
        sub->raise();
    } else {
        show();
    }
    if (!loaded_) {
        loaded_ = true;
        Timer1.start();
        Form_Load();
    }
}

bool start::Unload() {
    if (!loaded_) return true;
    // Rows being typed go to the database before its connection does.
    if (!dbconn::CommitPendingEdits()) return false;
    if (auto* sub = qobject_cast<QMdiSubWindow*>(parentWidget()))
        sub->close(); // closes this window too, which runs the closing step
    else
        close();
    if (loaded_) { // a hidden subwindow does not pass the close on
        Form_QueryUnload();
        unloaded();
        hide();
    }
    return true;
}

void start::closeEvent(QCloseEvent* event) {
    if (loaded_) {
        if (!dbconn::CommitPendingEdits()) {
            event->ignore();
            return;
        }
        Form_QueryUnload();
        unloaded();
    }
    event->accept();
}

void start::unloaded() {
    loaded_ = false;
    // The next load starts from the designed state, so its first tick names
    // the list again and switches the menus back on.
    Timer1.stop();
    setWindowTitle(DesignCaption);
    Frame1->setTitle(Frame1Design);
    LV->clear();
    List0->clear();
}

void start::Form_Load() {
    dbconn::Globals& g = dbconn::globals();
    platform::ignoreFailures([] { checkAssociation(); });

    // The whole command line is one path; the program joins arguments that
    // the shell split at blanks.
    const QString commandLine = platform::services().Command();
    if (!commandLine.isEmpty()) g.DbPath = commandLine;
    if (g.DbPath.isEmpty()) return;

    // A file that does not open is reported with the engine's reason.
    dbconn::LoadCatalogueOrReport();
    show();
    setWindowTitle(g.DbPath);
}

void start::Form_QueryUnload() {
    platform::ignoreFailures([] {
        if (dbconn::FrameAccess* f = frameAccess())
            for (int i = 1; i <= 17; ++i)
                f->SetItemEnabled(dbconn::Menu::edit, i, false);
    });
    platform::ignoreFailures([] {
        if (QComboBox* c = chooser()) c->clear();
    });
    // Releasing the program's reference ends the connection; the table
    // windows say that their database is closed.
    platform::ignoreFailures([] {
        dbconn::Globals& g = dbconn::globals();
        const bool wasOpen = g.DbConn.has_value();
        g.DbConn.reset();
        if (wasOpen && g.hooks.DatabaseClosed) g.hooks.DatabaseClosed(g.DbPath);
    });
}

void start::更新列表() {
    QFont font = Frame1->font();
    font.setPointSize(9);
    Frame1->setFont(font);

    rebuilding_ = true;
    List0->clear();
    LV->clear();
    setListHeaders();
    // A click anywhere on the row selects the entry.
    LV->setSelectionBehavior(QAbstractItemView::SelectRows);
    LV->setAllColumnsShowFocus(true);

    QComboBox* c = chooser();
    if (!c) {
        rebuilding_ = false;
        return;
    }
    for (int i = 0; i < c->count(); ++i) {
        const QString name = c->itemText(i);
        List0->addItem(name);
        auto* row = new QTreeWidgetItem(LV);
        row->setIcon(0, ImageList1[2]);
        row->setText(1, name);
    }

    const QString text = c->currentText();
    const auto matches = List0->findItems(text, Qt::MatchExactly);
    if (!text.isEmpty() && !matches.isEmpty()) {
        const int row = List0->row(matches.first());
        List0->setCurrentRow(row);
        LV->setCurrentItem(LV->topLevelItem(row));
    } else {
        List0->setCurrentRow(-1);
        LV->setCurrentItem(nullptr);
    }
    rebuilding_ = false;
}

void start::Timer1_Timer() {
    const dbconn::Globals& g = dbconn::globals();
    QComboBox* c = chooser();
    const int entries = c ? c->count() : 0;
    // The commands that need a database come on only once its connection is
    // open: a file that failed to open leaves DbPath set and nothing open.
    const bool open = g.DbConn && g.DbConn->State() != 0;
    if (Frame1->title() != Frame1Open && open && (!g.DbPath.isEmpty() || entries >= 2)) {
        Frame1->setTitle(Frame1Open);
        更新列表();
        platform::ignoreFailures([] {
            if (dbconn::FrameAccess* f = frameAccess()) {
                for (int i = 1; i <= 17; ++i)
                    f->SetItemEnabled(dbconn::Menu::edit, i, true);
                for (int i = 1; i <= 7; ++i)
                    f->SetItemEnabled(dbconn::Menu::SQ, i, true);
            }
        });
    }
    if (LV->topLevelItemCount() != entries) 更新列表();
}

void start::LV_ItemClick(int row) {
    platform::ignoreFailures([&] {
        if (row < 0 || row >= List0->count()) return;
        List0->setCurrentRow(row);
        LV->setCurrentItem(LV->topLevelItem(row));
        List0_Click();
    });
}

void start::List0_Click() {
    QListWidgetItem* item = List0->currentItem();
    QComboBox* c = chooser();
    if (!item || !c) return;
    const int row = List0->row(item);
    if (row < c->count() && c->itemText(row) == item->text()) c->setCurrentIndex(row);
    c->setEditText(item->text());
}

QString start::SelectedEntry() const {
    QListWidgetItem* item = List0->currentItem();
    return item && item->isSelected() ? item->text() : QString();
}

void start::openEntry(const QString& entry, int slot) {
    dbconn::Globals& g = dbconn::globals();
    g.CurrentTable = dbconn::StripQuerySuffix(entry);
    g.CurrentSql = dbconn::SelectAllFrom(g.CurrentTable);
    // Entries past the last table window share the free-SQL window, as the
    // frame's chooser does.
    if (slot < 1 || slot >= dbconn::TableWindowCount) slot = 0;
    try {
        dbconn::ShowTable(g.CurrentSql, slot);
    } catch (const std::runtime_error& e) {
        platform::services().MsgBox(QStringLiteral("无法打开“") + g.CurrentTable +
                                        QStringLiteral("”：") + reason(e),
                                    platform::mb::OkOnly, QString());
    }
}

void start::LV_DblClick(int row) {
    QTreeWidgetItem* item = LV->topLevelItem(row);
    if (!item) return;
    const QString name = item->text(1);
    if (QComboBox* c = chooser()) {
        if (row < c->count() && c->itemText(row) == name) c->setCurrentIndex(row);
        c->setEditText(name);
    }
    openEntry(name, row + 1);
}

void start::C0_Click() {
    if (frame::MDI* mdi = frame::mainFrame()) mdi->SQ_Click(4);
}

void start::CP_Click() {
    if (frame::MDI* mdi = frame::mainFrame()) mdi->SQ_Click(5);
}

void start::CQ_Click(int Index) {
    dbconn::Globals& g = dbconn::globals();
    platform::Services& ui = platform::services();
    if (g.DbPath.isEmpty()) {
        ui.MsgBox(NoDatabase, platform::mb::OkOnly, QString());
        return;
    }

    QString failureText;
    QString savedQuery; // the name of a saved query being removed
    if (Index == 1) {
        const QString selected = SelectedEntry();
        if (selected.isEmpty()) {
            ui.MsgBox(NoSelection, platform::mb::OkOnly, QString());
            return;
        }
        // The question names what goes, so a stale highlight cannot remove
        // another table unnoticed.
        if (ui.MsgBox(selected + QLatin1Char('\n') + DropQuestion, platform::mb::YesNo,
                      DropTitle) != platform::mb::Yes)
            return;
        const QString name = dbconn::StripQuerySuffix(selected);
        g.CurrentSql = QStringLiteral("Drop table ") + dbconn::SqlBracketedName(name);
        failureText = QStringLiteral("无法删除“") + name + QStringLiteral("”：");
        if (selected.endsWith(dbconn::QuerySuffix)) savedQuery = name;
    } else if (Index == 0) {
        const QString name = ui.InputBox(NewTablePrompt, NewTableTitle, QString());
        if (name.isEmpty()) return;
        if (badTableName(name)) {
            ui.MsgBox(BadTableName, platform::mb::OkOnly, QString());
            return;
        }
        g.CurrentSql =
            QStringLiteral("Create TABLE [") + name + QStringLiteral("](说明 text(50) NULL)");
        failureText = QStringLiteral("无法创建数据表“") + name + QStringLiteral("”：");
    } else {
        return;
    }

    // The engine's reason is shown; the list stays as it was.
    try {
        if (!g.DbConn || g.DbConn->State() == 0) {
            // The file did not open (or the window closed it): open it again.
            dbconn::OpenConnection();
            if (!g.DbConn || g.DbConn->State() == 0) {
                if (g.LastOpenFailure) throw *g.LastOpenFailure;
                throw std::runtime_error("数据库未打开");
            }
        }
        try {
            g.DbConn->Execute(g.CurrentSql.toStdString());
        } catch (const std::runtime_error&) {
            // The engine keeps saved queries apart from tables and refuses
            // to drop one as a table; it goes as a procedure instead.
            if (savedQuery.isEmpty()) throw;
            g.DbConn->Execute(
                (QStringLiteral("Drop procedure ") + dbconn::SqlBracketedName(savedQuery))
                    .toStdString());
        }
    } catch (const std::runtime_error& e) {
        ui.MsgBox(failureText + reason(e), platform::mb::OkOnly, QString());
        return;
    }
    if (!savedQuery.isEmpty()) {
        // Its copy in the saved-query table goes with it, so the structure
        // view does not list a query that is no longer there.
        platform::ignoreFailures([&] {
            g.DbConn->Execute((QStringLiteral("delete from ") + dbconn::SavedQueryTable +
                               QStringLiteral(" where name = ") + dbconn::SqlLiteral(savedQuery))
                                  .toStdString());
        });
    }
    dbconn::LoadCatalogueOrReport();
    Frame1->setTitle(Frame1Changed);
}

void start::C_Click(int Index) {
    platform::Services& ui = platform::services();
    frame::MDI* mdi = frame::mainFrame();
    auto launch = [&ui](const QString& command, const QString& what) {
        if (!ui.Shell(command))
            ui.MsgBox(QStringLiteral("无法打开") + what, platform::mb::OkOnly, QString());
    };
    switch (Index) {
    case 0:
        if (mdi) mdi->F_Click(0);
        break;
    case 1:
        launch(QStringLiteral("explorer ") + helpPagePath(),
               QStringLiteral("帮助页面：") + helpPagePath());
        break;
    case 2:
        if (mdi) mdi->F_Click(2);
        break;
    case 3:
        // A row still being typed is written (or let go) first.
        if (!dbconn::CommitPendingEdits()) break;
        ui.End();
        break;
    case 4:
        launch(QStringLiteral("notepad.exe ") + referencePath(),
               QStringLiteral("SQL参考文档：") + referencePath());
        break;
    case 5:
        launch(QStringLiteral("explorer ") + templateFolder(),
               QStringLiteral("模板文件夹：") + templateFolder());
        break;
    case 6:
        if (mdi) mdi->SQ_Click(3);
        break;
    case 7:
        if (mdi) mdi->SQ_Click(1);
        break;
    case 8: {
        // Opens the selected entry, as a double-click on its row does.
        const QString selected = SelectedEntry();
        if (selected.isEmpty()) {
            if (mdi) mdi->SQ_Click(3);
            break;
        }
        LV_DblClick(List0->currentRow());
        break;
    }
    case 9:
        Frame3->show();
        layoutForWizard();
        break;
    default:
        break;
    }
}

void start::L_Click(int Index) {
    // The heading names no file.
    if (Index < 1 || Index > 10) return;
    platform::Services& ui = platform::services();
    dbconn::Globals& g = dbconn::globals();
    const QString name = L[static_cast<std::size_t>(Index)]->text();

    const QString source = templatePath(name);
    if (!QFileInfo(source).isFile()) {
        ui.MsgBox(QString::fromStdString(
                      engine::msg::format(engine::msg::TemplateNotFound, {source.toStdString()})),
                  platform::mb::OkOnly, QString());
        return;
    }
    const QString target = workingCopyPath();
    if (target.isEmpty()) {
        ui.MsgBox(QStringLiteral("无法创建文件夹“我的MDB”，数据库未生成。"), platform::mb::OkOnly,
                  QString());
        return;
    }
    // The working copy may hold the user's earlier work.
    if (QFileInfo::exists(target) &&
        ui.MsgBox(QStringLiteral("工作数据库“") + target +
                      QStringLiteral("”已存在，其中可能保存着您以前的工作。\n"
                                     "是否用模板“") +
                      name + QStringLiteral("”替换它？原有内容将无法恢复。"),
                  platform::mb::YesNo, QStringLiteral("数据库向导")) != platform::mb::Yes)
        return;

    // A row still being typed in the open database is written (or let go)
    // before that database is replaced.
    if (!dbconn::CommitPendingEdits()) return;

    // The template goes to a new file first, so a failed copy leaves the
    // earlier working copy and the open database as they were.
    const QString fresh = target + QStringLiteral(".new");
    QFile::remove(fresh);
    bool copied = QFile::copy(source, fresh);
    // Installed templates may be read-only; the working copy must not be.
    copied = copied && QFile::setPermissions(fresh, QFile::ReadOwner | QFile::WriteOwner |
                                                        QFile::ReadGroup | QFile::ReadOther);
    if (copied && QFileInfo::exists(target)) copied = QFile::remove(target);
    copied = copied && QFile::rename(fresh, target);
    if (!copied) {
        QFile::remove(fresh);
        ui.MsgBox(QStringLiteral("无法写入工作数据库：") + target, platform::mb::OkOnly, QString());
        return;
    }

    dbconn::CloseDatabase();
    g.DbPath = target;
    Unload();
    // The reload below reports a file that does not open.
    platform::ignoreFailures([] { dbconn::LoadCatalogue(); });
    Show();
}

} // namespace home
