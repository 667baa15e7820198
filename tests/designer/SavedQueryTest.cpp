// Saved queries in the structure view: the stored query and its USys_SVZ
// row are created, changed and deleted together.
#include "DesignerTestSupport.h"

using namespace designertest;

namespace {

class SavedQueries : public Designer {
protected:
    designer::Form2& open() {
        openDatabase({"create table 客户 (ID counter primary key, 名称 text(20))",
                      "insert into 客户 (名称) values ('张三')",
                      "insert into 客户 (名称) values ('李四')", "create table 其他 (x long)"});
        return structureView();
    }
    QStringList submit(designer::Form2& f, int index, const QString& name, const QString& sql) {
        f.T22->setText(name);
        f.T2->setPlainText(sql);
        clearMessages();
        f.C2_Click(index);
        return messages();
    }
    QString rows(const QString& name) {
        return value(QStringLiteral("select count(*) from USys_SVZ where name=") +
                     designer::textLiteral(name));
    }
};

TEST_F(SavedQueries, NewShowChangeAndDeleteKeepBothStoresInStep) {
    designer::Form2& f = open();
    EXPECT_TRUE(f.C2[1]->isEnabled());
    EXPECT_TRUE(f.C2[2]->isEnabled());
    EXPECT_FALSE(f.C2[3]->isEnabled());

    // A text with quotes, as most queries have: stored and registered.
    const QString text = QStringLiteral("select * from 客户 where 名称='张三'");
    EXPECT_TRUE(submit(f, 2, QStringLiteral("张"), text).isEmpty());
    EXPECT_EQ(lines(*f.List2), QStringList{"张"});
    EXPECT_TRUE(f.T2->toPlainText().isEmpty());
    EXPECT_TRUE(f.T22->text().isEmpty());
    EXPECT_FALSE(f.C2[3]->isEnabled());
    EXPECT_EQ(rows(QStringLiteral("张")), QStringLiteral("1"));
    EXPECT_EQ(value(QStringLiteral("select 名称 from 张")), QStringLiteral("张三"));

    select(*f.List2, QStringLiteral("张"));
    f.List2_Click();
    EXPECT_EQ(f.T2->toPlainText(), text);
    EXPECT_EQ(f.T22->text(), QStringLiteral("张"));
    EXPECT_TRUE(f.C2[3]->isEnabled());

    // Change after editing the name box: nothing happens.
    f.T22->setText(QStringLiteral("别名"));
    f.C2_Click(3);
    EXPECT_EQ(lines(*f.List2), QStringList{"张"});
    EXPECT_EQ(f.T22->text(), QStringLiteral("别名"));

    // Change of the text only: both stores replaced, the name kept.
    select(*f.List2, QStringLiteral("张"));
    EXPECT_TRUE(
        submit(f, 3, QStringLiteral("张"), QStringLiteral("select * from 客户 where 名称='李四'"))
            .isEmpty());
    EXPECT_EQ(rows(QStringLiteral("张")), QStringLiteral("1"));
    EXPECT_EQ(value(QStringLiteral("select 名称 from 张")), QStringLiteral("李四"));

    // A refused new text leaves the old query and its row as they were.
    select(*f.List2, QStringLiteral("张"));
    // A bare table name runs, so it passes the check, but is no query.
    const QStringList refused = submit(f, 3, QStringLiteral("张"), QStringLiteral("客户"));
    ASSERT_EQ(refused.size(), 1);
    EXPECT_TRUE(refused[0].endsWith(designer::SqlRefused));
    EXPECT_EQ(value(QStringLiteral("select 名称 from 张")), QStringLiteral("李四"));
    EXPECT_EQ(rows(QStringLiteral("张")), QStringLiteral("1"));
    EXPECT_EQ(value(QStringLiteral("select sqlstr from USys_SVZ")),
              QStringLiteral("select * from 客户 where 名称='李四'"));
    EXPECT_EQ(f.T2->toPlainText(), QStringLiteral("客户"));
    EXPECT_EQ(lines(*f.List2), QStringList{"张"});

    // Its table dropped, the query keeps its text, and a change that still
    // uses the table is refused with the engine's reason.
    select(*f.List0, QStringLiteral("客户"));
    f.List0_Click();
    f.C0_Click(2);
    ASSERT_FALSE(lines(*f.List0).contains(QStringLiteral("客户")));
    ASSERT_EQ(lines(*f.List2), QStringList{"张"});
    select(*f.List2, QStringLiteral("张"));
    f.List2_Click();
    const QStringList orphan = submit(f, 3, QStringLiteral("张"), f.T2->toPlainText());
    ASSERT_EQ(orphan.size(), 1);
    EXPECT_TRUE(orphan[0].contains(QStringLiteral("客户"))) << orphan[0].toStdString();
    EXPECT_EQ(rows(QStringLiteral("张")), QStringLiteral("1"));

    // Delete with nothing selected does nothing; with a selection both go.
    f.List2->clearSelection();
    f.C2_Click(1);
    EXPECT_EQ(lines(*f.List2), QStringList{"张"});
    select(*f.List2, QStringLiteral("张"));
    f.C2_Click(1);
    EXPECT_TRUE(lines(*f.List2).isEmpty());
    EXPECT_EQ(rows(QStringLiteral("张")), QStringLiteral("0"));
    EXPECT_FALSE(chooserEntries().contains(QStringLiteral("张(存储过程)")));
}

TEST_F(SavedQueries, RefusedTextsStoreNothing) {
    designer::Form2& f = open();
    const QStringList bad = submit(f, 2, QStringLiteral("坏"), QStringLiteral("selec * frm 客户"));
    ASSERT_EQ(bad.size(), 1);
    EXPECT_TRUE(bad[0].endsWith(designer::SqlRefused));
    EXPECT_GT(bad[0].size(), designer::SqlRefused.size()); // the engine's text comes first
    EXPECT_TRUE(lines(*f.List2).isEmpty());
    EXPECT_EQ(f.T22->text(), QStringLiteral("坏"));

    // The name of a table: the query is refused, and no row is left behind.
    const QStringList taken =
        submit(f, 2, QStringLiteral("客户"), QStringLiteral("select * from 客户"));
    ASSERT_EQ(taken.size(), 1);
    EXPECT_TRUE(taken[0].contains(QStringLiteral("已存在")));
    EXPECT_EQ(rows(QStringLiteral("客户")), QStringLiteral("0"));

    // An action query is checked without changing the data.
    EXPECT_TRUE(submit(f, 2, QStringLiteral("加一"),
                       QStringLiteral("insert into 客户 (名称) values ('王五')"))
                    .isEmpty());
    EXPECT_EQ(value(QStringLiteral("select count(*) from 客户")), QStringLiteral("2"));
    EXPECT_EQ(rows(QStringLiteral("加一")), QStringLiteral("1"));
    // Checked, then refused for its name: the check's row is not kept.
    const QStringList again = submit(f, 2, QStringLiteral("客户"),
                                     QStringLiteral("insert into 客户 (名称) values ('赵六')"));
    ASSERT_EQ(again.size(), 1);
    EXPECT_EQ(value(QStringLiteral("select count(*) from 客户")), QStringLiteral("2"));

    // A row that cannot be written takes the stored query back with it.
    engine::Connection other;
    other.Open(testdb::connectionString(g().DbPath, QString()));
    other.Execute("drop table USys_SVZ");
    other.Close();
    const QStringList unregistered =
        submit(f, 2, QStringLiteral("无行"), QStringLiteral("select * from 客户"));
    ASSERT_EQ(unregistered.size(), 1);
    EXPECT_TRUE(unregistered[0].endsWith(designer::SqlRefused));
    EXPECT_FALSE(testdb::schemaNames(g().DbPath).contains(QStringLiteral("无行")));
}

TEST_F(SavedQueries, NamesWithBlanksAndQuotes) {
    designer::Form2& f = open();
    const QString name = QStringLiteral("客户 查询");
    EXPECT_TRUE(submit(f, 2, name, QStringLiteral("select 名称 from 客户")).isEmpty());
    EXPECT_EQ(lines(*f.List2), QStringList{name});
    select(*f.List2, name);
    f.List2_Click();
    EXPECT_EQ(f.T22->text(), name);
    EXPECT_TRUE(submit(f, 3, name, QStringLiteral("select ID from 客户")).isEmpty());
    EXPECT_EQ(value(QStringLiteral("select sqlstr from USys_SVZ")),
              QStringLiteral("select ID from 客户"));
    select(*f.List2, name);
    f.C2_Click(1);
    EXPECT_TRUE(lines(*f.List2).isEmpty());
    EXPECT_EQ(rows(name), QStringLiteral("0"));

    // A quote in the name reaches the row unchanged.
    const QString quoted = QStringLiteral("O'Brien");
    EXPECT_TRUE(submit(f, 2, quoted, QStringLiteral("select * from 客户")).isEmpty());
    EXPECT_EQ(rows(quoted), QStringLiteral("1"));
    select(*f.List2, quoted);
    f.List2_Click();
    EXPECT_EQ(f.T22->text(), quoted);
}

TEST_F(SavedQueries, AQueryWithoutARowShowsEmptyBoxesAndCanBeDeleted) {
    openDatabase({"create table T (a long)", "create proc 外部 as select * from T;"});
    designer::Form2& f = structureView();
    select(*f.List2, QStringLiteral("外部"));
    f.List2_Click();
    EXPECT_TRUE(f.T22->text().isEmpty());
    EXPECT_FALSE(f.C2[3]->isEnabled());
    f.C2_Click(1);
    EXPECT_TRUE(lines(*f.List2).isEmpty());
    EXPECT_TRUE(messages().isEmpty());
}

} // namespace
