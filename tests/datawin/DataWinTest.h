#pragma once

// The data window tests: a main frame with the table loader installed, over
// a real database file with a small order table.

#include "datawin/Form1.h"
#include "datawin/TableLoader.h"
#include "dbconn/TestDb.h"
#include "frame/MDI.h"

#include <QMdiArea>
#include <QMdiSubWindow>

#include <memory>

namespace dwtest {

inline dbconn::Globals& g() {
    return dbconn::globals();
}

class DataWin : public testdb::Fixture {
public:
    DataWin() {
        mdi = std::make_unique<frame::MDI>();
        datawin::install();
        path = file(QStringLiteral("shop.mdb"));
        testdb::createDatabase(
            path, QString(),
            {"create table Orders (id long primary key, item text(20) not null, amount double, "
             "paid bit, placed datetime, note memo, pic longbinary)",
             "insert into Orders (id, item, amount, paid, placed, note) values "
             "(1, '苹果', 3.5, -1, '2024-01-02 10:00:00', '第一行')",
             "insert into Orders (id, item, amount, paid) values (2, '香蕉', 1.25, 0)",
             "insert into Orders (id, item, amount, paid) values (3, '橙子', 7, 0)",
             "insert into Orders (id, item, amount, paid) values (4, '梨', 2, -1)",
             "insert into Orders (id, item, amount, paid) values (5, '葡萄', 9.75, 0)"});
        g().DbPath = path;
        dbconn::OpenConnection();
    }
    ~DataWin() override { mdi.reset(); }

    // What the table chooser does for a table.
    void choose(const QString& table) {
        g().CurrentTable = table;
        g().CurrentSql = QStringLiteral("select * from ") + table;
    }

    int childWindows() const { return static_cast<int>(mdi->Area->subWindowList().size()); }

    static QString cell(const datawin::Form1* form, int row, int column) {
        auto* m = form->DataGrid1->model();
        return m->data(m->index(row, column)).toString();
    }
    static QStringList columnTexts(const datawin::Form1* form, int column) {
        QStringList list;
        for (long r = 0; r < form->DataGrid1->ApproxCount(); ++r)
            list << cell(form, static_cast<int>(r), column);
        return list;
    }

    // Runs a statement through its own connection, as another user would.
    void execute(const std::string& sql) const {
        engine::Connection c;
        c.Open(testdb::connectionString(path, QString()));
        c.Execute(sql);
        c.Close();
    }
    // A column of the file, read afresh in id order.
    QStringList fileColumn(const std::string& column) const {
        engine::Connection c;
        c.Open(testdb::connectionString(path, QString()));
        QStringList list;
        for (auto rs = c.Execute("select " + column + " from Orders order by id"); !rs.Eof();
             rs.MoveNext())
            list << QString::fromStdString(rs[0].GetValue().toText());
        return list;
    }

    std::unique_ptr<frame::MDI> mdi;
    QString path;
};

} // namespace dwtest
