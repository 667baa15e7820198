#include "MDI.h"

#include "dbconn/Database.h"
#include "platform/Services.h"
#include "platform/Twips.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QLayout>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QPushButton>
#include <QResizeEvent>

#include <QStyle>
#include <QStyleOptionTitleBar>
#include <QToolBar>
#include <cmath>

using platform::pixelsToTwips;
using platform::twipsToPixels;

namespace frame {

namespace {

MDI* theFrame = nullptr;

// Shows a failure that a command raised to the frame, rather than letting it
// unwind through Qt's event loop.
void runCommand(const std::function<void()>& command) {
    try {
        command();
    } catch (const std::runtime_error& e) {
        platform::services().MsgBox(QStringLiteral("操作未能完成：") +
                                        QString::fromStdString(e.what()),
                                    platform::mb::OkOnly, QString());
    }
}

struct ItemDesign {
    int index;
    const char* caption; // "-" for a separator
    bool enabled;
};

// The toolbar's buttons in order; nullptr keys stand for separators.
struct ButtonDesign {
    const char* key;
    const char* tooltip;
    const char* themeIcon;
    QStyle::StandardPixmap fallback;
};

const ButtonDesign toolbarDesign[] = {
    {"新建", "", "document-new", QStyle::SP_FileIcon},
    {"打开", "", "document-open", QStyle::SP_DialogOpenButton},
    {"保存", "", "document-save", QStyle::SP_DialogSaveButton},
    {nullptr, nullptr, nullptr, QStyle::SP_CustomBase},
    {"转换", "导出EXCEL\\TXT文档", "document-export", QStyle::SP_ArrowRight},
    {"文字", "", "format-justify-left", QStyle::SP_FileDialogDetailedView},
    {"压缩", "压缩与修复", "package-x-generic", QStyle::SP_DriveHDIcon},
    {nullptr, nullptr, nullptr, QStyle::SP_CustomBase},
    {"刷新", "", "view-refresh", QStyle::SP_BrowserReload},
    {"视图", "", "view-list-details", QStyle::SP_FileDialogListView},
    {"SQL", "", "system-search", QStyle::SP_FileDialogContentsView},
    {nullptr, nullptr, nullptr, QStyle::SP_CustomBase},
    {"增加数据", "", "list-add", QStyle::SP_FileDialogNewFolder},
    {"修改数据", "", "document-edit", QStyle::SP_FileDialogInfoView},
    {"删除数据", "", "list-remove", QStyle::SP_TrashIcon},
    {"取消", "", "edit-undo", QStyle::SP_BrowserStop},
};

QFont designFont(const QString& family) {
    QFont f(family);
    f.setPointSize(9);
    return f;
}

} // namespace

QAction* MenuArray::operator()(int index) const {
    auto it = items.find(index);
    return it == items.end() ? nullptr : it->second;
}

QString MenuArray::Caption(int index) const {
    QAction* a = (*this)(index);
    if (!a) return QString();
    return a->isSeparator() ? QStringLiteral("-") : a->text();
}

MDI::MDI(QWidget* parent) : QMainWindow(parent) {
    theFrame = this;
    setWindowTitle(QStringLiteral("Tabelko"));
    setContextMenuPolicy(Qt::PreventContextMenu);

    Area = new QMdiArea(this);
    Area->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    Area->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setCentralWidget(Area);

    buildMenus();
    buildToolbar();

    resize(twipsToPixels(13500), twipsToPixels(9600));
    dbconn::globals().Frame = this;
}

MDI::~MDI() {
    if (dbconn::globals().Frame == this) dbconn::globals().Frame = nullptr;
    if (theFrame == this) theFrame = nullptr;
}

MDI* mainFrame() {
    return theFrame;
}

void MDI::buildMenus() {
    auto fill = [this](QMenu* menu, MenuArray& array, std::initializer_list<ItemDesign> design,
                       void (MDI::*handler)(int)) {
        for (const ItemDesign& item : design) {
            QAction* action = nullptr;
            if (QString::fromUtf8(item.caption) == QLatin1String("-")) {
                // Left without text: some styles print a separator's text.
                action = menu->addSeparator();
            } else {
                action = menu->addAction(QString::fromUtf8(item.caption));
                const int index = item.index;
                connect(action, &QAction::triggered, this,
                        [this, handler, index] { runCommand([&] { (this->*handler)(index); }); });
            }
            action->setEnabled(item.enabled);
            array.items[item.index] = action;
        }
    };

    QMenuBar* bar = menuBar();

    Fs = bar->addMenu(QStringLiteral("文件(&F)"));
    fill(Fs, F,
         {{0, "新建", true},
          {1, "-", true},
          {2, "打开", true},
          {3, "保存", false},
          {4, "另存为", false},
          {5, "-", true},
          {6, "导出数据", true},
          {7, "打印数据", true},
          {8, "-", true},
          {9, "全部关闭", true}},
         &MDI::F_Click);

    EDITs = bar->addMenu(QStringLiteral("编辑(&E)"));
    fill(EDITs, edit,
         {{1, "刷新数据", false},
          {2, "重新排序", false},
          {3, "-", true},
          {4, "数据添加", false},
          {5, "数据修改", false}},
         &MDI::edit_Click);
    EditDelete = new QMenu(QStringLiteral("数据删除"), EDITs);
    EDITs->addMenu(EditDelete);
    EditDelete->menuAction()->setEnabled(false);
    edit.items[6] = EditDelete->menuAction();
    fill(EditDelete, edit1,
         {{0, "删除选择的一条记录", true},
          {1, "删除当前表全部记录", true},
          {2, "删除前100条记录", true},
          {3, "删除前500条记录", true}},
         &MDI::edit1_Click);
    fill(EDITs, edit,
         {{7, "撤销修改", false},
          {8, "-", true},
          {9, "新增字段（列）", false},
          {10, "修改字段（列）", false},
          {11, "删除字段（列）", false},
          {12, "-", true},
          {13, "新增数据表", false},
          {14, "修改数据表", false},
          {15, "删除数据表", false},
          {16, "-", true},
          {17, "查找数据", false}},
         &MDI::edit_Click);

    sqls = bar->addMenu(QStringLiteral("视图(&V)"));
    fill(sqls, SQ,
         {{1, "SQL查询", false},
          {2, "智能查询", false},
          {3, "-", true},
          {4, "表设计视图", false},
          {5, "字段\\存储过程", false},
          {6, "自定义显示字段", false},
          {7, "字体及大小", true}},
         &MDI::SQ_Click);

    TOOLs = bar->addMenu(QStringLiteral("工具(&T)"));
    fill(TOOLs, TOOL,
         {{0, "转换当前表并导出TXT", false},
          {1, "-", true},
          {2, "压缩与修复数据库", false},
          {3, "-", true},
          {4, "设置数据库密码", false}},
         &MDI::TOOL_Click);

    WIN = bar->addMenu(QStringLiteral("窗口(&W)"));
    Cascade = WIN->addAction(QStringLiteral("层叠"));
    connect(Cascade, &QAction::triggered, this, [this] { CascadeChildren(); });
    Tile = WIN->addAction(QStringLiteral("平铺"));
    connect(Tile, &QAction::triggered, this, [this] { TileChildren(); });
    connect(WIN, &QMenu::aboutToShow, this, [this] { UpdateWindowMenu(); });

    H = bar->addAction(QStringLiteral("帮助(&H)"));
    connect(H, &QAction::triggered, this, [this] { runCommand([this] { H_Click(); }); });
    td = bar->addAction(QStringLiteral("团队介绍"));
    connect(td, &QAction::triggered, this, [this] { runCommand([this] { td_Click(); }); });
}

void MDI::buildToolbar() {
    Toolbar1 = new QToolBar(QStringLiteral("Toolbar1"), this);
    Toolbar1->setObjectName(QStringLiteral("Toolbar1"));
    Toolbar1->setMovable(false);
    Toolbar1->setFloatable(false);
    Toolbar1->setIconSize(QSize(16, 16));
    Toolbar1->setToolButtonStyle(Qt::ToolButtonIconOnly);
    Toolbar1->setContentsMargins(0, 0, 0, 0);
    if (QLayout* l = Toolbar1->layout()) l->setSpacing(0);
    addToolBar(Qt::TopToolBarArea, Toolbar1);

    for (const ButtonDesign& b : toolbarDesign) {
        if (!b.key) {
            Toolbar1->addSeparator();
            continue;
        }
        const QString key = QString::fromUtf8(b.key);
        const QIcon icon =
            QIcon::fromTheme(QString::fromLatin1(b.themeIcon), style()->standardIcon(b.fallback));
        QAction* action = Toolbar1->addAction(icon, QString());
        action->setData(key);
        action->setToolTip(QString::fromUtf8(b.tooltip));
        connect(action, &QAction::triggered, this,
                [this, action] { runCommand([&] { Toolbar1_ButtonClick(action); }); });
        Buttons.push_back(action);
        // Compact buttons, so that all of them fit left of the undo button
        // at its designed place.
        if (QWidget* w = Toolbar1->widgetForAction(action)) w->setFixedSize(21, 22);
    }

    // The controls stand on the toolbar at their designed positions.
    const int toolbarHeight = Toolbar1->sizeHint().height();
    auto centred = [toolbarHeight](int heightPx) {
        return std::max(0, (toolbarHeight - heightPx) / 2);
    };

    Cance = new QPushButton(QStringLiteral("撤消修改"), Toolbar1);
    Cance->setGeometry(twipsToPixels(4560), centred(twipsToPixels(300)), twipsToPixels(975),
                       twipsToPixels(300));
    connect(Cance, &QPushButton::clicked, this, [this] { Cance_Click(); });

    LIE = new QLineEdit(QStringLiteral("点击列标排序"), Toolbar1);
    LIE->setFont(designFont(QStringLiteral("Arial")));
    LIE->setGeometry(twipsToPixels(5640), centred(twipsToPixels(300)), twipsToPixels(1215),
                     twipsToPixels(300));

    x = new QLineEdit(QStringLiteral("升序"), Toolbar1);
    x->setFont(designFont(QStringLiteral("Arial")));
    x->setGeometry(twipsToPixels(6840), centred(twipsToPixels(300)), twipsToPixels(495),
                   twipsToPixels(300));

    // A buffer for the text export: it holds text but has nothing to show.
    Text = new QLineEdit(QStringLiteral("Text1"), Toolbar1);
    Text->setGeometry(twipsToPixels(7380), centred(twipsToPixels(222)), twipsToPixels(135),
                      twipsToPixels(222));
    Text->hide();

    Combo0 = new QComboBox(Toolbar1);
    Combo0->setEditable(true);
    Combo0->setInsertPolicy(QComboBox::NoInsert);
    Combo0->setFont(designFont(QStringLiteral("宋体")));
    Combo0->setEditText(QStringLiteral("选择数据表"));
    Combo0->setGeometry(twipsToPixels(13500 - 3666), centred(twipsToPixels(300)),
                        twipsToPixels(3495), twipsToPixels(300));
    connect(Combo0, &QComboBox::activated, this, [this](int) { Combo0_Click(); });
}

QAction* MDI::Button(const QString& key) const {
    for (QAction* a : Buttons)
        if (a->data().toString() == key) return a;
    return nullptr;
}

QMdiSubWindow* MDI::ShowChild(QWidget* child, int leftTwips, int topTwips) {
    QMdiSubWindow* sub = nullptr;
    for (QMdiSubWindow* s : Area->subWindowList())
        if (s->widget() == child) sub = s;
    if (!sub) sub = Area->addSubWindow(child);
    sub->move(twipsToPixels(leftTwips), twipsToPixels(topTwips));
    sub->show();
    return sub;
}

QMdiSubWindow* MDI::AddChild(QWidget* child) {
    QMdiSubWindow* sub = Area->addSubWindow(child);
    sub->resize(sub->sizeHint().expandedTo(child->size()));
    PlaceChild(sub);
    return sub;
}

void MDI::CascadeChildren() {
    // The windows keep their sizes (the toolkit's own cascade shrinks
    // windows without a layout to nothing); the active one ends on top.
    QMdiSubWindow* active = Area->activeSubWindow();
    placedAny_ = false;
    for (QMdiSubWindow* sub : Area->subWindowList(QMdiArea::CreationOrder)) {
        if (sub->isHidden() || sub->isMinimized()) continue;
        if (sub->isMaximized()) sub->showNormal();
        placeNext(sub, placedAny_);
        sub->raise();
    }
    if (active) {
        active->raise();
        Area->setActiveSubWindow(active);
    }
}

void MDI::TileChildren() {
    std::vector<QMdiSubWindow*> shown;
    for (QMdiSubWindow* sub : Area->subWindowList(QMdiArea::CreationOrder))
        if (!sub->isHidden() && !sub->isMinimized()) shown.push_back(sub);
    if (shown.empty()) return;
    const int n = static_cast<int>(shown.size());
    const int columns = static_cast<int>(std::ceil(std::sqrt(static_cast<double>(n))));
    const int rows = (n + columns - 1) / columns;
    const QSize area = Area->viewport()->size();
    const int width = std::max(1, area.width() / columns);
    const int height = std::max(1, area.height() / rows);
    for (int i = 0; i < n; ++i) {
        QMdiSubWindow* sub = shown[static_cast<std::size_t>(i)];
        if (sub->isMaximized()) sub->showNormal();
        const QRect cell((i % columns) * width, (i / columns) * height, width, height);
        // A window of fixed size (the home window) keeps it; the toolkit's
        // own tiling would instead widen every cell to it.
        if (sub->minimumSize() == sub->maximumSize() ||
            (sub->widget() && sub->widget()->minimumSize() == sub->widget()->maximumSize()))
            sub->move(cell.topLeft());
        else
            sub->setGeometry(cell);
    }
}

void MDI::PlaceChild(QMdiSubWindow* sub) {
    // The cascade starts again at the top-left once no cascaded window is
    // left open.
    bool othersOpen = false;
    for (QMdiSubWindow* other : Area->subWindowList())
        if (other != sub && !other->isHidden() && other->property("cascaded").toBool())
            othersOpen = true;
    placeNext(sub, placedAny_ && othersOpen);
}

void MDI::placeNext(QMdiSubWindow* sub, bool afterLast) {
    QStyleOptionTitleBar option;
    option.initFrom(sub);
    const int step =
        std::max(16, sub->style()->pixelMetric(QStyle::PM_TitleBarHeight, &option, sub));
    QPoint place = afterLast ? nextPlace_ + QPoint(step, step) : QPoint(0, 0);

    // The window may be larger than the area; it goes on cascading as long
    // as its title bar and its first columns stay in view.
    const QSize area = Area->viewport()->size();
    const int limitX = std::max(area.width() - sub->width(), area.width() / 3);
    const int limitY = std::max(area.height() - sub->height(), area.height() / 3);
    if (place.x() > limitX) place.setX(0);
    if (place.y() > limitY) place.setY(0);

    sub->move(place);
    sub->setProperty("cascaded", true);
    nextPlace_ = place;
    placedAny_ = true;
}

void MDI::UpdateWindowMenu() {
    for (QAction* a : WindowItems) {
        WIN->removeAction(a);
        delete a;
    }
    WindowItems.clear();

    QMdiSubWindow* active = Area->activeSubWindow();
    std::vector<QMdiSubWindow*> open;
    for (QMdiSubWindow* sub : Area->subWindowList())
        if (!sub->isHidden()) open.push_back(sub);
    if (open.empty()) return;

    QAction* separator = WIN->addSeparator();
    WindowItems.push_back(separator);
    for (QMdiSubWindow* sub : open) {
        QString caption = sub->windowTitle();
        caption.replace(QLatin1Char('&'), QStringLiteral("&&"));
        QAction* item = WIN->addAction(caption);
        item->setCheckable(true);
        item->setChecked(sub == active);
        QPointer<QMdiSubWindow> target(sub);
        connect(item, &QAction::triggered, this, [this, target] {
            if (!target) return;
            if (target->isMinimized()) target->showNormal();
            Area->setActiveSubWindow(target);
        });
        WindowItems.push_back(item);
    }
}

void MDI::closeEvent(QCloseEvent* event) {
    if (!dbconn::CommitPendingEdits()) {
        event->ignore();
        return;
    }
    QMainWindow::closeEvent(event);
}

void MDI::MDIForm_Load() {
    if (Routes.ShowHome) Routes.ShowHome();

    const int toolbarHeight =
        pixelsToTwips(Toolbar1->isVisible() ? Toolbar1->height() : Toolbar1->sizeHint().height());
    LIE->move(LIE->x(), twipsToPixels(10));
    x->move(x->x(), twipsToPixels(10));
    LIE->resize(LIE->width(), twipsToPixels(toolbarHeight - 10));
    x->resize(x->width(), twipsToPixels(222));
}

void MDI::MDIForm_Resize() {
    if (!Combo0) return;
    const int leftTwips = pixelsToTwips(width()) - 3666;
    Combo0->move(twipsToPixels(leftTwips), Combo0->y());
}

void MDI::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    MDIForm_Resize();
}

void MDI::Combo0_Click() {
    dbconn::Globals& g = dbconn::globals();
    g.CurrentTable = dbconn::StripQuerySuffix(Combo0->currentText());
    g.CurrentSql = dbconn::SelectAllFrom(g.CurrentTable);
    // One window slot per entry; entries past the last slot share the
    // free-SQL window instead of failing.
    int slot = Combo0->currentIndex() + 1;
    if (slot < 1 || slot >= dbconn::TableWindowCount) slot = 0;
    try {
        dbconn::ShowTable(g.CurrentSql, slot);
    } catch (const std::runtime_error& e) {
        platform::services().MsgBox(QStringLiteral("无法打开“") + g.CurrentTable +
                                        QStringLiteral("”：") + QString::fromStdString(e.what()),
                                    platform::mb::OkOnly, QString());
    }
}

void MDI::Cance_Click() {
    platform::ignoreFailures([] { dbconn::globals().SharedRs.CancelBatch(3); });
}

void MDI::Toolbar1_ButtonClick(QAction* Button) {
    if (!Button) return;
    const QString key = Button->data().toString();
    // Every failure is ignored, those of the routed command included: the
    // command stops at its failing step and keeps what it did before.
    platform::ignoreFailures([&] {
        if (key == QStringLiteral("新建"))
            F_Click(0);
        else if (key == QStringLiteral("打开"))
            F_Click(2);
        else if (key == QStringLiteral("保存"))
            ;
        else if (key == QStringLiteral("转换"))
            TOOL_Click(1);
        else if (key == QStringLiteral("文字"))
            SQ_Click(6);
        else if (key == QStringLiteral("压缩"))
            TOOL_Click(2);
        else if (key == QStringLiteral("刷新"))
            edit_Click(1);
        else if (key == QStringLiteral("视图"))
            SQ_Click(3);
        else if (key == QStringLiteral("SQL")) {
            if (Routes.ShowSmartSearch) Routes.ShowSmartSearch();
        } else if (key == QStringLiteral("增加数据"))
            edit_Click(4);
        else if (key == QStringLiteral("修改数据"))
            edit_Click(5);
        else if (key == QStringLiteral("删除数据"))
            edit_Click(6);
        // "取消" and unknown keys run nothing.
    });
}

void MDI::F_Click(int Index) {
    if (Routes.F) Routes.F(Index);
}

void MDI::edit_Click(int Index) {
    if (Routes.edit) Routes.edit(Index);
}

void MDI::edit1_Click(int Index) {
    if (Routes.edit1) Routes.edit1(Index);
}

void MDI::SQ_Click(int Index) {
    // The designer's windows have routing points of their own, so the view
    // commands and the designer can be filled by different modules.
    if (Index == 4 && Routes.ShowFieldEditor) return Routes.ShowFieldEditor();
    if (Index == 5 && Routes.ShowStructureView) return Routes.ShowStructureView();
    if (Routes.SQ) Routes.SQ(Index);
}

void MDI::TOOL_Click(int Index) {
    if (Routes.TOOL) Routes.TOOL(Index);
}

void MDI::H_Click() {
    if (Routes.H) Routes.H();
}

void MDI::td_Click() {
    if (Routes.td) Routes.td();
}

QComboBox& MDI::Chooser() {
    return *Combo0;
}

MenuArray* MDI::array(dbconn::Menu menu) {
    switch (menu) {
    case dbconn::Menu::F:
        return &F;
    case dbconn::Menu::edit:
        return &edit;
    case dbconn::Menu::edit1:
        return &edit1;
    case dbconn::Menu::SQ:
        return &SQ;
    case dbconn::Menu::TOOL:
        return &TOOL;
    }
    return nullptr;
}

void MDI::SetItemEnabled(dbconn::Menu menu, int index, bool enabled) {
    if (MenuArray* a = array(menu))
        if (QAction* item = (*a)(index)) item->setEnabled(enabled);
}

} // namespace frame
