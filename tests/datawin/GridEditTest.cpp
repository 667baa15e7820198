#include "DataWinTest.h"

#include "datawin/RecordsetModel.h"

#include <QCoreApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QTimer>

#include <cmath>

using datawin::Form1;
using dwtest::g;

namespace {

class Grid : public dwtest::DataWin {
public:
    Grid() {
        choose("Orders");
        datawin::ShowTable(g().CurrentSql, 1);
        form = datawin::tableWindow(1);
        grid = form->DataGrid1;
        model = grid->model();
    }

    QModelIndex at(int row, int column) const { return model->index(row, column); }
    void type(int row, int column, const QString& text) {
        grid->setCurrentIndex(at(row, column));
        ASSERT_TRUE(model->setData(at(row, column), text)) << row << "," << column;
    }
    void leaveTo(int row) { grid->setCurrentIndex(at(row, 0)); }
    void pressDelete() {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Delete, Qt::NoModifier);
        QCoreApplication::sendEvent(grid, &press);
    }

    Form1* form = nullptr;
    datawin::DataGrid* grid = nullptr;
    QAbstractItemModel* model = nullptr;
};

} // namespace

TEST_F(Grid, EditsAddedRowsAndDeletionsLandInTheFile) {
    ASSERT_NE(form, nullptr);
    ASSERT_EQ(model->rowCount(), 6); // the empty row for a new record last
    EXPECT_EQ(model->headerData(5, Qt::Vertical).toString(), QStringLiteral("*"));

    // Overwrite two cells of a row, then leave it.
    type(1, 1, QStringLiteral("香瓜"));
    type(1, 2, QStringLiteral("4.5"));
    EXPECT_EQ(fileColumn("item")[1], QStringLiteral("香蕉")); // not before the row is left
    leaveTo(3);
    EXPECT_EQ(fileColumn("item")[1], QStringLiteral("香瓜"));
    EXPECT_EQ(fileColumn("amount")[1], QStringLiteral("4.5"));

    // A check box cell.
    grid->setCurrentIndex(at(2, 3));
    ASSERT_TRUE(model->setData(at(2, 3), Qt::Checked, Qt::CheckStateRole));
    leaveTo(0);
    EXPECT_EQ(fileColumn("paid")[2], QStringLiteral("True"));

    // Type into the empty row and leave it: a new record, and a new empty row.
    type(5, 0, QStringLiteral("6"));
    type(5, 1, QStringLiteral("桃"));
    type(5, 4, QStringLiteral("2025-03-04"));
    leaveTo(0);
    EXPECT_EQ(fileColumn("item").size(), 6);
    EXPECT_EQ(fileColumn("placed")[5], QStringLiteral("2025-03-04 00:00:00"));
    EXPECT_EQ(model->rowCount(), 7);
    EXPECT_EQ(model->data(at(5, 1)).toString(), QStringLiteral("桃"));
    EXPECT_EQ(model->headerData(6, Qt::Vertical).toString(), QStringLiteral("*"));

    // Select whole rows and press Del.
    grid->selectionModel()->clearSelection();
    grid->selectionModel()->select(at(0, 0),
                                   QItemSelectionModel::Select | QItemSelectionModel::Rows);
    grid->selectionModel()->select(at(2, 0),
                                   QItemSelectionModel::Select | QItemSelectionModel::Rows);
    pressDelete();
    EXPECT_EQ(fileColumn("id"), QStringList({"2", "4", "5", "6"}));
    EXPECT_EQ(grid->ApproxCount(), 4);
    EXPECT_EQ(model->data(at(0, 1)).toString(), QStringLiteral("香瓜"));

    // Del on a single cell is not a row deletion.
    grid->selectionModel()->clearSelection();
    grid->selectionModel()->select(at(1, 1), QItemSelectionModel::Select);
    pressDelete();
    EXPECT_EQ(fileColumn("id").size(), 4);
    EXPECT_TRUE(services->messages.empty());
}

TEST_F(Grid, RefusedRowsKeepWhatTheUserTyped) {
    ASSERT_NE(form, nullptr);

    // A letter in a number column.
    type(0, 2, QStringLiteral("三块"));
    leaveTo(3);
    ASSERT_EQ(services->messages.size(), 1u);
    EXPECT_NE(services->messages[0].prompt.indexOf(QStringLiteral("数据类型不匹配")), -1);
    EXPECT_EQ(grid->Row(), 0); // back on the refused row
    EXPECT_EQ(model->data(at(0, 2)).toString(), QStringLiteral("三块"));
    EXPECT_EQ(fileColumn("amount")[0], QStringLiteral("3.5"));
    // The header row is not reached either: no sort while the row is refused.
    const QString sql = form->sql1;
    emit grid->horizontalHeader()->sectionClicked(1);
    EXPECT_EQ(form->sql1, sql);
    EXPECT_EQ(services->messages.size(), 2u);
    // Corrected, it is written.
    type(0, 2, QStringLiteral("3"));
    leaveTo(3);
    EXPECT_EQ(fileColumn("amount")[0], QStringLiteral("3"));
    EXPECT_EQ(services->messages.size(), 2u);

    // A required field left empty in a new row.
    type(5, 0, QStringLiteral("9"));
    leaveTo(1);
    ASSERT_EQ(services->messages.size(), 3u);
    EXPECT_NE(services->messages[2].prompt.indexOf(QStringLiteral("item")), -1);
    EXPECT_EQ(grid->Row(), 5);
    EXPECT_EQ(model->data(at(5, 0)).toString(), QStringLiteral("9"));
    EXPECT_EQ(fileColumn("id").size(), 5);
    // Esc drops the typed row.
    QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QCoreApplication::sendEvent(grid, &esc);
    EXPECT_EQ(model->data(at(5, 0)).toString(), QString());
    leaveTo(1);
    EXPECT_EQ(services->messages.size(), 3u);

    // A row another user changed after it was shown is not overwritten,
    // even when rows written in between made the grid read it afresh.
    EXPECT_EQ(model->data(at(2, 2)).toString(), QStringLiteral("7"));
    execute("update Orders set amount = 8 where id = 3");
    type(4, 1, QStringLiteral("提子"));
    leaveTo(0);
    type(2, 1, QStringLiteral("橘子"));
    leaveTo(0);
    ASSERT_EQ(services->messages.size(), 4u);
    EXPECT_NE(services->messages[3].prompt.indexOf(QStringLiteral("其他用户")), -1);
    EXPECT_EQ(fileColumn("item")[2], QStringLiteral("橙子"));
    EXPECT_EQ(model->data(at(2, 1)).toString(), QStringLiteral("橘子"));
    // The row now shows the other user's value around the typed one; leaving
    // it again, after the warning, writes what was typed.
    EXPECT_EQ(model->data(at(2, 2)).toString(), QStringLiteral("8"));
    leaveTo(3);
    leaveTo(0);
    EXPECT_EQ(fileColumn("item")[2], QStringLiteral("橘子"));
    EXPECT_EQ(fileColumn("amount")[2], QStringLiteral("8"));
    EXPECT_EQ(services->messages.size(), 4u);
}

TEST_F(Grid, CellsShowEveryKindOfValue) {
    ASSERT_NE(form, nullptr);
    {
        // A picture in row 0, written as another program would.
        engine::Connection c;
        c.Open(testdb::connectionString(path, QString()));
        engine::Recordset rs;
        rs.Open("select * from Orders where id = 1", c);
        rs.updateRow(0, {{6, engine::Value(std::vector<std::uint8_t>{1, 2, 3})}});
    }
    form->rfs_Click();
    EXPECT_EQ(model->data(at(0, 4)).toString(), QStringLiteral("2024-01-02 10:00:00"));
    EXPECT_EQ(model->data(at(1, 4)).toString(), QString()); // null
    EXPECT_EQ(model->data(at(0, 3), Qt::CheckStateRole).toInt(), Qt::Checked);
    EXPECT_EQ(model->data(at(1, 3), Qt::CheckStateRole).toInt(), Qt::Unchecked);
    EXPECT_TRUE(model->flags(at(0, 3)) & Qt::ItemIsUserCheckable);
    EXPECT_EQ(model->data(at(0, 6)).toString(), datawin::BinaryPlaceholder);
    EXPECT_FALSE(model->flags(at(0, 6)) & Qt::ItemIsEditable);
    EXPECT_EQ(model->data(at(0, 2)).toString(), QStringLiteral("3.5"));

    // Memo cells edit in a multi-line editor.
    QStyleOptionViewItem option;
    std::unique_ptr<QWidget> memo(grid->itemDelegate()->createEditor(grid, option, at(0, 5)));
    ASSERT_NE(qobject_cast<QPlainTextEdit*>(memo.get()), nullptr);
    grid->itemDelegate()->setEditorData(memo.get(), at(0, 5));
    EXPECT_EQ(qobject_cast<QPlainTextEdit*>(memo.get())->toPlainText(), QStringLiteral("第一行"));
    qobject_cast<QPlainTextEdit*>(memo.get())->setPlainText(QStringLiteral("两行\n备注"));
    grid->itemDelegate()->setModelData(memo.get(), model, at(0, 5));
    leaveTo(1);
    EXPECT_EQ(fileColumn("note")[0], QStringLiteral("两行\n备注"));

    // Dates fit their column; widths the user set survive re-queries.
    EXPECT_GE(grid->columnWidth(4),
              grid->fontMetrics().horizontalAdvance(QStringLiteral("2024-01-02 10:00:00")));
    grid->setColumnWidth(1, 222);
    form->rfs_Click();
    form->DataGrid1_HeadClick(2);
    EXPECT_EQ(grid->columnWidth(1), 222);

    // Headers 1.6 lines of the grid's font high.
    const int line = QFontMetrics(grid->horizontalHeader()->font()).lineSpacing();
    EXPECT_EQ(grid->horizontalHeader()->height(), static_cast<int>(std::lround(line * 1.6)));
}

TEST_F(Grid, ReadOnlyResultsOfferNoEditing) {
    form->rs10(QStringLiteral("select item, count(*) as n from Orders group by item"));
    ASSERT_EQ(grid->ApproxCount(), 5);
    EXPECT_EQ(model->rowCount(), 5); // no empty row for new records
    EXPECT_FALSE(model->flags(at(0, 0)) & Qt::ItemIsEditable);
    EXPECT_FALSE(model->setData(at(0, 0), QStringLiteral("x")));
    grid->selectionModel()->select(at(0, 0),
                                   QItemSelectionModel::Select | QItemSelectionModel::Rows);
    pressDelete();
    ASSERT_EQ(services->messages.size(), 1u);
    EXPECT_EQ(fileColumn("id").size(), 5);
    // Trying to type into a cell says why it cannot be changed.
    QKeyEvent key(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
    grid->setCurrentIndex(at(1, 0));
    QCoreApplication::sendEvent(grid, &key);
    ASSERT_EQ(services->messages.size(), 2u);
    EXPECT_TRUE(services->messages.back().prompt.contains(QStringLiteral("只读")))
        << services->messages.back().prompt.toStdString();
}

TEST_F(Grid, TimerWaitsWhileARowIsBeingTyped) {
    ASSERT_NE(form, nullptr);
    type(1, 1, QStringLiteral("西瓜"));
    execute("insert into Orders (id, item) values (6, '桃')");
    form->Timer1_Timer();
    EXPECT_EQ(model->data(at(1, 1)).toString(), QStringLiteral("西瓜"));
    EXPECT_EQ(grid->ApproxCount(), 5);
    leaveTo(0);
    form->Timer1_Timer();
    EXPECT_EQ(grid->ApproxCount(), 6);
    EXPECT_EQ(fileColumn("item")[1], QStringLiteral("西瓜"));

    // The refresh button writes the row first; a refused one stays as typed.
    type(1, 2, QStringLiteral("很多"));
    form->rfs_Click();
    ASSERT_EQ(services->messages.size(), 1u);
    EXPECT_EQ(model->data(at(1, 2)).toString(), QStringLiteral("很多"));
    type(1, 2, QStringLiteral("6"));
    form->rfs_Click();
    EXPECT_EQ(fileColumn("amount")[1], QStringLiteral("6"));
    EXPECT_TRUE(form->Timer1->isActive());
}
