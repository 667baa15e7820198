// What the build puts beside the program: the blank database, the ten
// templates, the SQL reference (every example runs against 示范.mdb), the
// icon and the help page.

#include "HomeTestSupport.h"

#include "engine/Catalog.h"

#include <QFileInfo>
#include <QImage>

#include <map>

using namespace hometest;

namespace {

const char* const templateNames[] = {"产品订单", "库存控制", "门店销售", "图书管理", "物品管理",
                                     "音乐收藏", "帐单管理", "照片管理", "通讯录",   "示范"};

engine::Connection open(const QString& path) {
    engine::Connection c;
    c.Open(testdb::connectionString(path, QString()));
    return c;
}

// The examples of the reference text: lines indented by four spaces or
// more, a statement ending at its ';'.
QStringList referenceExamples(const QString& path) {
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << path.toStdString();
    QStringList statements;
    QString current;
    for (const QString& line : QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'))) {
        if (line.startsWith(QLatin1String("    ")) && !line.trimmed().isEmpty()) {
            current += (current.isEmpty() ? QString() : QStringLiteral(" ")) + line.trimmed();
            if (current.endsWith(QLatin1Char(';'))) {
                statements << current.chopped(1);
                current.clear();
            }
        } else if (!current.isEmpty()) {
            statements << current;
            current.clear();
        }
    }
    return statements;
}

using ShippedFiles = Home;

TEST_F(ShippedFiles, BlankDatabaseHasNoTables) {
    const QString copy = file(QStringLiteral("db1.mdb"));
    ASSERT_TRUE(QFile::copy(stageDir() + QStringLiteral("/xno.dxl"), copy));
    engine::Connection c = open(copy);
    for (auto rs = c.OpenSchema(20); !rs.Eof(); rs.MoveNext())
        EXPECT_NE(rs["TABLE_TYPE"].GetValue().toText(), "TABLE")
            << rs["TABLE_NAME"].GetValue().toText();
    EXPECT_TRUE(QFileInfo(stageDir() + QStringLiteral("/我的MDB")).isDir());
}

TEST_F(ShippedFiles, EveryTemplateIsARealDatabaseWithRelatedTablesAndSavedQueries) {
    for (const char* name : templateNames) {
        SCOPED_TRACE(name);
        const QString path = stageDir() + QStringLiteral("/MDB模板/") + QString::fromUtf8(name) +
                             QStringLiteral(".mdb");
        ASSERT_TRUE(QFileInfo::exists(path));
        engine::Connection c = open(path);
        QStringList tables, views;
        for (auto rs = c.OpenSchema(20); !rs.Eof(); rs.MoveNext()) {
            const QString n = QString::fromStdString(rs["TABLE_NAME"].GetValue().toText());
            const std::string type = rs["TABLE_TYPE"].GetValue().toText();
            if (type == "TABLE" && n != QStringLiteral("USys_SVZ")) tables << n;
            if (type == "VIEW") views << n;
        }
        EXPECT_GE(tables.size(), 3);
        EXPECT_GE(views.size(), 1);

        engine::Catalog cat;
        cat.SetActiveConnection(c);
        for (const QString& t : tables) {
            SCOPED_TRACE(t.toStdString());
            auto rs = c.Execute("select count(*) from [" + t.toStdString() + "]");
            EXPECT_GE(std::stoi(rs[0].GetValue().toText()), 20);
            bool primary = false;
            auto& keys = cat.Tables()[t.toStdString()].Keys();
            for (int k = 0; k < keys.Count(); ++k)
                primary |= keys[k].Type() == 1;
            EXPECT_TRUE(primary);
        }
        // Every saved query runs and has its text in the saved-query table.
        for (const QString& v : views) {
            SCOPED_TRACE(v.toStdString());
            EXPECT_NO_THROW(c.Execute("select * from [" + v.toStdString() + "]"));
            auto rs =
                c.Execute("select SqlStr from USys_SVZ where name = '" + v.toStdString() + "'");
            EXPECT_FALSE(rs.Eof());
        }
    }
}

TEST_F(ShippedFiles, DemoTemplateShowsEveryTypeWordOfTheDesigner) {
    engine::Connection c = open(stageDir() + QStringLiteral("/MDB模板/示范.mdb"));
    engine::Catalog cat;
    cat.SetActiveConnection(c);
    QStringList words;
    for (int t = 0; t < cat.Tables().Count(); ++t) {
        auto& columns = cat.Tables()[t].Columns();
        for (int i = 0; i < columns.Count(); ++i)
            words << QString::fromStdString(columns[i].TypeWord()).toLower();
    }
    for (const char* word :
         {"Text(20)", "Text(50)", "Memo", "Long", "Single", "Double", "Time", "Money", "Counter",
          "Binary", "Byte", "Bit", "NUMERIC(6,2)", "NUMERIC(6,6)", "Hyperlink"})
        EXPECT_TRUE(words.contains(QString::fromLatin1(word).toLower())) << word;
}

TEST_F(ShippedFiles, EveryReferenceExampleRunsAgainstTheDemoTemplate) {
    const QStringList examples =
        referenceExamples(stageDir() + QStringLiteral("/注册/经典SQL语句大全.txt"));
    ASSERT_GE(examples.size(), 40);
    const QString copy = file(QStringLiteral("示范.mdb"));
    ASSERT_TRUE(QFile::copy(stageDir() + QStringLiteral("/MDB模板/示范.mdb"), copy));
    engine::Connection c = open(copy);
    for (const QString& sql : examples) {
        SCOPED_TRACE(sql.toStdString());
        try {
            long affected = -1;
            engine::Recordset rs = c.Execute(sql.toStdString(), &affected);
            // A query in the reference shows something on the demo data.
            if (sql.startsWith(QLatin1String("select"), Qt::CaseInsensitive) &&
                !sql.contains(QLatin1String(" into "), Qt::CaseInsensitive)) {
                EXPECT_FALSE(rs.Eof());
            }
        } catch (const std::exception& e) {
            ADD_FAILURE() << e.what();
        }
    }
}

TEST_F(ShippedFiles, IconHoldsEverySizeAndTheHelpPageIsChinese) {
    QFile ico(stageDir() + QStringLiteral("/mdb.ico"));
    ASSERT_TRUE(ico.open(QIODevice::ReadOnly));
    const QByteArray data = ico.readAll();
    ASSERT_GE(data.size(), 6);
    auto u16 = [&](int at) { return int(uchar(data[at])) | (int(uchar(data[at + 1])) << 8); };
    EXPECT_EQ(u16(0), 0);
    EXPECT_EQ(u16(2), 1);
    const int count = u16(4);
    std::map<int, bool> sizes;
    for (int i = 0; i < count; ++i) {
        const int at = 6 + 16 * i;
        const int width = uchar(data[at]) == 0 ? 256 : uchar(data[at]);
        const quint32 length = quint32(u16(at + 8)) | (quint32(u16(at + 10)) << 16);
        const quint32 offset = quint32(u16(at + 12)) | (quint32(u16(at + 14)) << 16);
        EXPECT_LE(offset + length, quint32(data.size()));
        sizes[width] = true;
    }
    for (int size : {16, 32, 48, 256}) {
        EXPECT_TRUE(sizes[size]) << size;
        QImage png(stageDir() + QStringLiteral("/图标/mdb-%1.png").arg(size));
        EXPECT_EQ(png.width(), size);
        // Drawn, not blank: the centre is opaque.
        EXPECT_EQ(qAlpha(png.pixel(size / 2, size / 2)), 255);
    }

    QFile help(stageDir() + QStringLiteral("/帮助/index.html"));
    ASSERT_TRUE(help.open(QIODevice::ReadOnly));
    const QString page = QString::fromUtf8(help.readAll());
    EXPECT_TRUE(page.contains(QStringLiteral("charset=\"utf-8\""), Qt::CaseInsensitive));
    for (const char* word : {"数据库向导", "新建表", "SQL查询", "压缩与修复数据库"})
        EXPECT_TRUE(page.contains(QString::fromUtf8(word))) << word;
}

} // namespace
