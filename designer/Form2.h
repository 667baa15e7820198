#pragma once

#include "ColumnDesigner.h"

#include <array>

class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;

namespace designer {

// The structure view "数据表字段视图": the database's tables and saved
// queries, the fields of the selected table, and the table, column and
// saved-query operations. A child window of the main frame.
class Form2 : public ColumnDesigner {
    Q_OBJECT

public:
    explicit Form2(QWidget* parent = nullptr);

    // Controls, as designed.
    QLabel* Label0 = nullptr; // "数据表"
    QListWidget* List0 = nullptr;
    QLabel* Label2 = nullptr; // "存储过程"
    QListWidget* List2 = nullptr;
    QLabel* FieldListLabel = nullptr;
    QGroupBox* TableFrame = nullptr;     // "修改（删除）所选表"
    QGroupBox* NewTableFrame = nullptr;  // "新增表"
    QGroupBox* QueryDropFrame = nullptr; // "删除所选存储过程"
    QGroupBox* QueryFrame = nullptr;     // "修改存储过程"
    QLineEdit* T0 = nullptr;
    QLineEdit* T00 = nullptr;
    QPlainTextEdit* T2 = nullptr; // the saved query's SQL text
    QLineEdit* T22 = nullptr;     // the saved query's name
    QLabel* SqlLabel = nullptr;
    QLabel* NameLabel = nullptr;
    // 1 "重命名", 2 "删除此表", 3 "增加新表"; index 0 unused.
    std::array<QPushButton*, 4> C0{};
    // 1 "删除存储过程", 2 "新建", 3 "修改"; index 0 unused.
    std::array<QPushButton*, 4> C2{};

    // Handlers.
    void Form_Load();
    void fillTableLists();
    void listFields() override;
    void List0_Click();
    void List2_Click();
    void C0_Click(int Index);
    void C2_Click(int Index);

    QString designTable() const override;

protected:
    QString changeQuestion() const override;
    void applyReadOnly() override;

private:
    // The catalogue loader, then the lists again.
    void reloadCatalogue();
    QString selectedQuery() const;
};

} // namespace designer
