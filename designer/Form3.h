#pragma once

#include "ColumnDesigner.h"

class QLabel;
class QTreeWidget;

namespace designer {

// The field-list editor: the fields of the table selected in the home window
// in a four-column list, with the column operations. A window of its own.
class Form3 : public ColumnDesigner {
    Q_OBJECT

public:
    explicit Form3(QWidget* parent = nullptr);

    // Controls, as designed.
    QLabel* Label1 = nullptr;  // "字段名称 数据类型  点击修改/删除"
    QTreeWidget* LV = nullptr; // "序", "字段名称", "数据类型", "说明"

    // Handlers.
    void Form_Load();
    void listFields() override;
    void LV_Click(int row); // 0-based row

    // The table the window lists and changes: the home window's selected
    // entry when it was last loaded.
    QString designTable() const override { return listedTable_; }
    // The home window's selected entry when the window was last loaded.
    QString loadedEntry() const { return loadedEntry_; }
    // The database file whose table the window lists.
    QString loadedDatabase() const { return loadedDatabase_; }

protected:
    QString changeQuestion() const override;
    bool showsOpenDatabase() const override;

private:
    QString listedTable_;
    QString loadedEntry_;
    QString loadedDatabase_;
};

} // namespace designer
