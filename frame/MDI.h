#pragma once

#include "dbconn/Globals.h"

#include <QMainWindow>
#include <QPoint>
#include <QString>

#include <functional>
#include <map>
#include <vector>

class QAction;
class QComboBox;
class QLineEdit;
class QMdiArea;
class QMdiSubWindow;
class QMenu;
class QPushButton;
class QToolBar;

namespace frame {

// The items of one menu as a control array: item index to its action.
// Separators are items too; their caption reads "-".
class MenuArray {
public:
    QAction* operator()(int index) const; // null when the array has no such item
    QString Caption(int index) const;
    int LBound() const { return items.empty() ? 0 : items.begin()->first; }
    int UBound() const { return items.empty() ? -1 : items.rbegin()->first; }

    std::map<int, QAction*> items;
};

// The main frame: menus, the toolbar with the table chooser and the sort
// boxes, and the area that holds the child windows.
class MDI : public QMainWindow, public dbconn::FrameAccess {
    Q_OBJECT

public:
    explicit MDI(QWidget* parent = nullptr);
    ~MDI() override;

    // Where the commands of the menus and of some toolbar buttons are carried
    // out. Each is filled by the module that does the work; an empty one
    // leaves its command without action.
    struct Commands {
        std::function<void(int Index)> F, edit, edit1, SQ, TOOL;
        std::function<void()> H, td;
        std::function<void()> ShowHome;        // shows the home window `start`
        std::function<void()> ShowSmartSearch; // shows the smart search window
        // The structure designer's windows: view item 4 ("表设计视图") shows
        // the field-list editor, item 5 ("字段\存储过程") the structure view.
        // Filled by the designer; each does its own checks (a database open,
        // an entry selected) before showing.
        std::function<void()> ShowFieldEditor, ShowStructureView;
    };
    Commands Routes;

    // Controls, as designed.
    QMdiArea* Area = nullptr;
    QToolBar* Toolbar1 = nullptr;
    QPushButton* Cance = nullptr;
    QLineEdit* LIE = nullptr;
    QLineEdit* x = nullptr;
    QLineEdit* Text = nullptr;
    QComboBox* Combo0 = nullptr;

    QMenu* Fs = nullptr;
    QMenu* EDITs = nullptr;
    QMenu* EditDelete = nullptr; // the submenu of "数据删除", items edit1
    QMenu* sqls = nullptr;
    QMenu* TOOLs = nullptr;
    QMenu* WIN = nullptr;
    QAction* H = nullptr;
    QAction* td = nullptr;

    MenuArray F, edit, edit1, SQ, TOOL;

    // The toolbar's buttons in order (separators excluded); each carries its
    // key as data.
    std::vector<QAction*> Buttons;
    QAction* Button(const QString& key) const;

    // Handlers.
    void MDIForm_Load();
    void MDIForm_Resize();
    void Combo0_Click();
    void Cance_Click();
    void Toolbar1_ButtonClick(QAction* Button);
    void F_Click(int Index);
    void edit_Click(int Index);
    void edit1_Click(int Index);
    void SQ_Click(int Index);
    void TOOL_Click(int Index);
    void H_Click();
    void td_Click();

    // Shows `child` as a child window whose top-left corner is the given
    // distance in twips from the top-left of the client area.
    QMdiSubWindow* ShowChild(QWidget* child, int leftTwips, int topTwips);
    // Puts `child` into the child area as a new window, cascaded one title
    // bar down and right from the window opened before, back at the top or
    // left edge when its title bar and first columns would leave the area.
    QMdiSubWindow* AddChild(QWidget* child);
    void PlaceChild(QMdiSubWindow* sub);
    // "层叠": every open child window placed that way again, sizes kept.
    void CascadeChildren();
    // "平铺": the open child windows side by side in a grid over the area.
    void TileChildren();

    // The window menu: "层叠", "平铺", then one checkable entry per open
    // child window, the active one checked. Rebuilt whenever it opens.
    QAction* Cascade = nullptr;
    QAction* Tile = nullptr;
    std::vector<QAction*> WindowItems;
    void UpdateWindowMenu();

    // dbconn::FrameAccess
    QComboBox& Chooser() override;
    void SetItemEnabled(dbconn::Menu menu, int index, bool enabled) override;

protected:
    void resizeEvent(QResizeEvent* event) override;
    // Closing the frame first writes the rows still being typed; the user
    // may choose to go back to one instead.
    void closeEvent(QCloseEvent* event) override;

private:
    void buildMenus();
    void buildToolbar();
    MenuArray* array(dbconn::Menu menu);

    void placeNext(QMdiSubWindow* sub, bool afterLast);

    QPoint nextPlace_;       // where the next cascaded window goes
    bool placedAny_ = false; // a window was cascaded since the area was empty
};

// The frame of the running program, or null while there is none.
MDI* mainFrame();

} // namespace frame
