// A large result shows its first rows at once and the rest when the keys are
// built in the background; whatever needs later rows sooner waits for them.
#include "DataWinTest.h"

#include "datawin/RecordsetModel.h"
#include "engine/KeysetBuild.h"
#include "engine/base/EngineError.h"
#include "engine/sqlite/Sqlite3.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QLineEdit>

#include <thread>

using dwtest::g;
using engine::Recordset;

namespace {

constexpr int Rows = 250;

class FirstRows : public dwtest::DataWin {
public:
    FirstRows() {
        connection.Open(testdb::connectionString(path, QString()));
        connection.Execute("create table Big (id long primary key, grp long, name text(20))");
        // The rows go in straight through SQLite, in one transaction. Many
        // ties in `grp`, so the order of equal rows matters.
        sqlite3* db = nullptr;
        sqlite3_open(path.toStdString().c_str(), &db);
        std::string sql = "BEGIN;";
        for (int i = 1; i <= Rows; ++i)
            sql += "INSERT INTO Big VALUES (" + std::to_string(i) + ", " + std::to_string(i % 7) +
                   ", '名" + std::to_string(i) + "');";
        sqlite3_exec(db, (sql + "COMMIT;").c_str(), nullptr, nullptr, nullptr);
        sqlite3_close(db);
    }
    ~FirstRows() override { connection.Close(); }

    Recordset openAsync(const std::string& sql) {
        Recordset rs;
        rs.Open(sql, connection, engine::cursor::Keyset, engine::lock::Optimistic,
                engine::option::AsyncFetch);
        return rs;
    }
    // The ids of a result, read whole the ordinary way.
    std::vector<std::int64_t> ids(const std::string& sql) {
        Recordset rs;
        rs.Open(sql, connection);
        std::vector<std::int64_t> out;
        for (long r = 0; r < rs.RecordCount(); ++r)
            out.push_back(rs.valueAt(r, 0).toInt());
        return out;
    }
    static std::vector<std::int64_t> ids(const Recordset& rs) {
        std::vector<std::int64_t> out;
        for (long r = 0; r < rs.RecordCount(); ++r)
            out.push_back(rs.rowValues(r)[0].toInt());
        return out;
    }
    static void runOnAnotherThread(engine::KeysetBuild& build) {
        std::thread t([&] { build.run(); });
        t.join();
    }

    engine::Connection connection;
};

TEST_F(FirstRows, FirstPageThenKeysBuiltElsewhereGiveTheWholeResultInOrder) {
    const auto expected = ids("select * from Big order by grp desc, id desc");
    Recordset rs = openAsync("select * from Big order by grp desc");
    EXPECT_FALSE(rs.keysetComplete());
    EXPECT_EQ(rs.readyCount(), 100);
    // The first rows are the sorted result's first rows, ties in rowid order
    // (the reverse, following a descending sort).
    for (long r = 0; r < 100; ++r)
        ASSERT_EQ(rs.rowValues(r)[0].toInt(), expected[static_cast<std::size_t>(r)]) << r;

    auto build = rs.keysetBuild();
    ASSERT_TRUE(build);
    runOnAnotherThread(*build);
    ASSERT_TRUE(build->complete());
    bool moved = true;
    EXPECT_TRUE(rs.adoptKeyset(*build, &moved));
    EXPECT_FALSE(moved);
    EXPECT_TRUE(rs.keysetComplete());
    EXPECT_EQ(ids(rs), expected);
    // Taken once: the same build again is stale.
    EXPECT_FALSE(rs.adoptKeyset(*build));

    // Unsorted results come in table order; a result under a page is complete
    // at open and needs no build.
    Recordset plain = openAsync("select * from Big");
    EXPECT_EQ(plain.readyCount(), 100);
    EXPECT_EQ(ids(plain), ids("select * from Big order by id"));
    Recordset small = openAsync("select * from Big where id <= 10 order by name");
    EXPECT_TRUE(small.keysetComplete());
    EXPECT_EQ(small.readyCount(), 10);
    EXPECT_EQ(small.keysetBuild(), nullptr);
}

TEST_F(FirstRows, WhatNeedsLaterRowsWaitsAndStaleBuildsAreDropped) {
    // A row past the first page, the count, and an added row each read the
    // remaining keys on the spot.
    Recordset a = openAsync("select * from Big order by name");
    auto build = a.keysetBuild();
    EXPECT_EQ(a.rowValues(Rows - 1)[0].toInt(), ids("select * from Big order by name").back());
    EXPECT_TRUE(a.keysetComplete());
    runOnAnotherThread(*build);
    EXPECT_TRUE(build->cancelled()); // gave way to the read on the spot
    EXPECT_FALSE(a.adoptKeyset(*build));
    EXPECT_EQ(a.RecordCount(), Rows);

    Recordset b = openAsync("select * from Big order by grp");
    EXPECT_EQ(b.RecordCount(), Rows);
    Recordset c = openAsync("select * from Big order by grp");
    EXPECT_EQ(c.appendRow({{0, engine::Value(1000)}, {1, engine::Value(3)}}), Rows);
    EXPECT_EQ(c.rowValues(Rows)[0].toInt(), 1000);

    // A build of one recordset means nothing to another.
    Recordset d = openAsync("select * from Big order by grp");
    Recordset e = openAsync("select * from Big order by grp");
    auto other = d.keysetBuild();
    runOnAnotherThread(*other);
    EXPECT_FALSE(e.adoptKeyset(*other));
    EXPECT_FALSE(e.keysetComplete());
    // A cancelled build does not run and is not complete.
    auto cancelled = e.keysetBuild();
    cancelled->cancel();
    runOnAnotherThread(*cancelled);
    EXPECT_FALSE(cancelled->complete());
    EXPECT_FALSE(e.adoptKeyset(*cancelled));
}

TEST_F(FirstRows, ACopyOfAResultLivesOnItsOwn) {
    // A first page only: the copy builds the rest of its keys itself and
    // keeps its rows when the original closes.
    const auto expected = ids("select * from Big order by grp desc, id desc");
    Recordset rs = openAsync("select * from Big order by grp desc");
    Recordset copy = rs.Clone();
    ASSERT_EQ(copy.State(), 1);
    EXPECT_FALSE(copy.sameObject(rs));
    EXPECT_EQ(copy.Source(), rs.Source());
    EXPECT_EQ(copy.readyCount(), 100);
    rs.Close();
    auto build = copy.keysetBuild();
    ASSERT_TRUE(build);
    runOnAnotherThread(*build);
    ASSERT_TRUE(copy.adoptKeyset(*build));
    EXPECT_EQ(ids(copy), expected);

    // A whole result: a change made through either is seen through both,
    // and each keeps its own position.
    Recordset whole;
    whole.Open("select * from Big", connection);
    Recordset other = whole.Clone();
    EXPECT_EQ(ids(other), ids(whole));
    other.updateRow(5, {{2, engine::Value(std::string("改"))}});
    EXPECT_EQ(whole.rowValues(5)[2].toText(), "改");
    whole.updateRow(5, {{2, engine::Value(std::string("再改"))}});
    EXPECT_EQ(other.rowValues(5)[2].toText(), "再改");
    other.Move(7);
    EXPECT_EQ(other.AbsolutePosition(), 8);
    EXPECT_EQ(whole.AbsolutePosition(), 1);
    whole.Close();
    EXPECT_EQ(other.RecordCount(), Rows);
    EXPECT_EQ(other.rowValues(Rows - 1)[0].toInt(), Rows);

    Recordset closed;
    EXPECT_THROW(closed.Clone(), engine::EngineError);
}

TEST_F(FirstRows, RowsChangedBetweenFirstPageAndBuildAreReported) {
    Recordset rs = openAsync("select * from Big order by id");
    EXPECT_EQ(rs.rowValues(0)[0].toInt(), 1);
    dwtest::DataWin::execute("delete from Big where id = 1");
    auto build = rs.keysetBuild();
    runOnAnotherThread(*build);
    bool moved = false;
    ASSERT_TRUE(rs.adoptKeyset(*build, &moved));
    EXPECT_TRUE(moved);
    EXPECT_EQ(rs.RecordCount(), Rows - 1);
    EXPECT_EQ(rs.rowValues(0)[0].toInt(), 2);
}

// ---- the data window --------------------------------------------------------

class FirstRowsWindow : public FirstRows {
public:
    datawin::Form1* open(const QString& sql) {
        g().CurrentTable = QStringLiteral("Big");
        g().CurrentSql = sql;
        datawin::ShowTable(sql, 1);
        auto* form = datawin::tableWindow(1);
        model = form->DataGrid1->recordsetModel();
        return form;
    }
    bool waitForAllRows() {
        QElapsedTimer t;
        t.start();
        while (!model->keysetComplete() && t.elapsed() < 10000)
            QApplication::processEvents(QEventLoop::AllEvents, 20);
        return model->keysetComplete();
    }
    datawin::RecordsetModel* model = nullptr;
};

TEST_F(FirstRowsWindow, RowsFollowTheFirstScreenAndTheLatestSortWins) {
    datawin::Form1* form = open(QStringLiteral("select * from Big"));
    EXPECT_GE(form->DataGrid1->ApproxCount(), 100);
    // The status takes the count when the rest of the rows is read, not
    // before the first screen.
    EXPECT_EQ(form->StatusBar1->SimpleText(), QStringLiteral(" 总条数：") +
                                                  datawin::Form1::CountPending +
                                                  QStringLiteral(" 表：Big"));
    ASSERT_TRUE(waitForAllRows());
    EXPECT_EQ(form->StatusBar1->SimpleText(), QStringLiteral(" 总条数：250 表：Big"));
    EXPECT_EQ(form->DataGrid1->ApproxCount(), Rows);
    EXPECT_EQ(model->rowCount(), Rows + 1); // and the empty row for a new record
    EXPECT_EQ(cell(form, Rows - 1, 0), QStringLiteral("250"));
    form->DataGrid1->setRow(3);
    form->DataGrid1_Click();
    EXPECT_TRUE(form->StatusBar1->SimpleText().contains(QStringLiteral("总数：250")));

    // Two clicks in a row: the second sort is the one shown, whole.
    frame::mainFrame()->x->setText(QStringLiteral("升序"));
    form->DataGrid1_HeadClick(2); // name, descending
    form->DataGrid1_HeadClick(2); // name, ascending
    ASSERT_TRUE(waitForAllRows());
    QApplication::processEvents();
    EXPECT_EQ(form->DataGrid1->ApproxCount(), Rows);
    const QStringList names = columnTexts(form, 2);
    EXPECT_EQ(names.first(), QStringLiteral("名1"));
    EXPECT_EQ(names.size(), Rows);

    // A jump to a later row before the rest is known waits for it.
    form->rs10(QStringLiteral("select * from Big order by grp"));
    EXPECT_TRUE(form->DataGrid1->setRow(Rows - 1));
    EXPECT_TRUE(model->keysetComplete());
    EXPECT_EQ(form->DataGrid1->Row(), Rows - 1);
}

TEST_F(FirstRowsWindow, AWindowKeepsItsRowsWhenTheLoaderOpensAnother) {
    datawin::Form1* form = open(QStringLiteral("select * from Big order by name"));
    const auto& shown = form->DataGrid1->DataSource();
    ASSERT_TRUE(shown);
    EXPECT_FALSE(shown->sameObject(g().SharedRs));
    EXPECT_EQ(cell(form, 0, 2), QStringLiteral("名1"));
    // The loader's next table closes its shared result; the window's stays.
    g().CurrentSql = QStringLiteral("select id from Big");
    datawin::ShowTable(g().CurrentSql, 2);
    ASSERT_NE(datawin::tableWindow(2), nullptr);
    EXPECT_EQ(shown->State(), 1);
    ASSERT_TRUE(waitForAllRows());
    EXPECT_EQ(form->DataGrid1->ApproxCount(), Rows);
    EXPECT_EQ(cell(form, 1, 2), QStringLiteral("名10"));
    // A re-query runs the statement again.
    form->rfs_Click();
    ASSERT_TRUE(waitForAllRows());
    EXPECT_EQ(form->DataGrid1->ApproxCount(), Rows);
}

TEST_F(FirstRowsWindow, RowNumbersFitTheirHeaderInAnyFont) {
    datawin::Form1* form = open(QStringLiteral("select * from Big"));
    ASSERT_TRUE(waitForAllRows());
    QHeaderView* header = form->DataGrid1->verticalHeader();
    // As wide as the toolkit's own header measures the same rows (one to
    // three digits and the line for a new record).
    auto plainWidth = [&] {
        QHeaderView plain(Qt::Vertical);
        plain.setModel(model);
        plain.setFont(header->font());
        return plain.sizeHint().width();
    };
    EXPECT_EQ(header->sizeHint().width(), plainWidth());
    QFont large = form->DataGrid1->font();
    large.setPointSizeF(large.pointSizeF() * 2.5);
    form->DataGrid1->setGridFont(large);
    QApplication::processEvents();
    EXPECT_EQ(header->sizeHint().width(), plainWidth());
    EXPECT_GE(header->width(), plainWidth());
}

TEST_F(FirstRowsWindow, UnreadableRowsShowAFailureNotNulls) {
    datawin::Form1* form = open(QStringLiteral("select * from Big"));
    ASSERT_TRUE(waitForAllRows());
    int failures = 0;
    QObject::connect(model, &datawin::RecordsetModel::readFailed, [&failures] { ++failures; });
    // The table goes away underneath; rows not read yet cannot be.
    dwtest::DataWin::execute("drop table Big");
    EXPECT_EQ(cell(form, 200, 1), datawin::ReadFailedText);
    EXPECT_EQ(cell(form, 210, 2), datawin::ReadFailedText);
    EXPECT_FALSE(model->data(model->index(200, 1), Qt::ToolTipRole).toString().isEmpty());
    // Such a row is not edited blindly.
    EXPECT_FALSE(model->setData(model->index(200, 2), QStringLiteral("x")));
    QApplication::processEvents();
    EXPECT_EQ(failures, 1);
    EXPECT_TRUE(form->StatusBar1->SimpleText().startsWith(QStringLiteral("读取数据失败：")));
}

} // namespace
