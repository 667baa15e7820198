#pragma once

#include <QGroupBox>
#include <QIcon>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <QWidget>

#include <array>
#include <functional>
#include <vector>

namespace home {

// A label that reacts to a click, as the home window's command labels do.
class ClickLabel : public QLabel {
public:
    using QLabel::QLabel;
    std::function<void()> onClick;

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
};

// The home window: the open database's tables and saved queries, kept in
// step with the frame's table chooser, table creation and removal, the
// launcher buttons and the database wizard.
class start : public QWidget {
    Q_OBJECT

public:
    explicit start(QWidget* parent = nullptr);
    ~start() override;

    // Controls, as designed.
    QGroupBox* Frame1 = nullptr; // "Access 操作", holds the list and the labels
    QTreeWidget* LV = nullptr;   // one row per chooser entry: icon, name
    std::vector<QIcon> ImageList1;
    QListWidget* List0 = nullptr;    // hidden; its current text is the selected entry
    ClickLabel* C0 = nullptr;        // "表设计"
    ClickLabel* CP = nullptr;        // "重命名/高级"
    std::array<ClickLabel*, 2> CQ{}; // 0 "新建表", 1 "移除表"
    std::array<QPushButton*, 10> C{};
    QGroupBox* Frame3 = nullptr;     // the database wizard, hidden until "向导"
    std::array<ClickLabel*, 11> L{}; // 0 the heading, 1 to 10 the templates
    QTimer Timer1;                   // 22 ms, keeps the list in step

    // Loads the window when it is not loaded (its loading shows it) and
    // brings it up in the frame at its designed place.
    void Show();
    // Runs the closing step and hides the window.
    void Unload();
    bool Loaded() const { return loaded_; }

    // Handlers.
    void Form_Load();
    void Form_QueryUnload();
    void Timer1_Timer();
    void LV_ItemClick(int row); // 0-based row
    void LV_DblClick(int row);
    void List0_Click();
    void C0_Click();
    void CP_Click();
    void CQ_Click(int Index);
    void C_Click(int Index);
    void L_Click(int Index);

    // 更新列表 (rebuild the list from the chooser) is declared below, outside
    // moc's view.

    // The selected entry, as the frame's design commands read it.
    QString SelectedEntry() const;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildControls();
    void openEntry(const QString& entry, int slot);
    void layoutForWizard();
    void unloaded();

    bool loaded_ = false;

public:
#ifndef Q_MOC_RUN
    void 更新列表();
#endif
};

// The program's home window, or null while there is none.
start* homeWindow();

// Creates the home window for the running frame and fills the hooks and the
// frame's route that belong to it: the frame's ShowHome, the new-table
// command of the catalogue loader and its "表设计" label.
start* install();

} // namespace home
