// Genuine Jet files opened through the engine's connection, as the program
// opens them: listed, queried, searched; only the rows of a Jet 4 file change.
#include "TestDb.h"
#include "support/JetJournal.h"
#include "support/SharedFiles.h"

#include "engine/Catalog.h"
#include "engine/JetEngine.h"

#include <fstream>

using namespace engine;

namespace {

class JetFileTest : public TempDbTest {
protected:
    void SetUp() override {
        TempDbTest::SetUp();
        corpus_ = TABELKO_CORPUS_DIR "/jet";
        REQUIRE_SHARED_FILE(corpus_);
    }
    // A private copy, so the samples are never at risk.
    std::string copy(const std::string& name) {
        std::filesystem::copy_file(corpus_ + "/" + name, path(name));
        return name;
    }
    std::string corpus_;
};

} // namespace

TEST_F(JetFileTest, TablesRowsAndTypesOfAJet4File) {
    auto c = open(copy("testV2000.mdb"));
    std::vector<std::string> tables;
    for (auto rs = c.OpenSchema(20); !rs.Eof(); rs.MoveNext())
        if (rs["TABLE_TYPE"].GetValue().text() == "TABLE")
            tables.push_back(rs["TABLE_NAME"].GetValue().text());
    EXPECT_EQ(tables, (std::vector<std::string>{"Table1", "Table2", "Table3", "Table4"}));

    auto rs = c.Execute("select * from Table1 order by A desc");
    ASSERT_EQ(rs.RecordCount(), 2);
    EXPECT_EQ(rs["A"].GetValue().text(), "abcdefg");
    EXPECT_EQ(rs["E"].GetValue().toInt(), 333333333);
    EXPECT_EQ(rs["G"].GetValue().toText(), "1974-09-21 00:00:00");
    EXPECT_EQ(rs["H"].GetValue().toText(), "3.5");
    EXPECT_EQ(rs["I"].GetValue().toText(), "True");
    EXPECT_EQ(c.Execute("select count(*) from Table1 where B like '%jkl%'").valueAt(0, 0).toInt(),
              1);

    Catalog cat;
    cat.SetActiveConnection(c);
    auto& cols = cat.Tables()["Table1"].Columns();
    EXPECT_EQ(cols["A"].Type(), adtype::VarWChar);
    EXPECT_EQ(cols["A"].DefinedSize(), 50);
    EXPECT_EQ(cols["C"].Type(), adtype::UnsignedTinyInt);
    EXPECT_EQ(cols["H"].Type(), adtype::Currency);
    EXPECT_EQ(cols["I"].Type(), adtype::Boolean);
}

std::string contentOf(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

TEST_F(JetFileTest, OnlyTheRowsOfAWritableJet4FileCanChange) {
    namespace fs = std::filesystem;
    // Jet 3: read only, saying which files can be changed.
    const std::string old = copy("testV1997.mdb");
    fs::permissions(path(old), fs::perms::owner_read | fs::perms::owner_write);
    {
        auto c = open(old);
        EXPECT_TRUE(c.ReadOnly());
        EXPECT_NE(c.ReadOnlyReason().find("Access 2000–2003（Jet 4）"), std::string::npos)
            << c.ReadOnlyReason();
        const std::string text = failure([&] { c.Execute("delete from Table1"); });
        EXPECT_NE(text.find("只能读取"), std::string::npos) << text;
        Recordset rs;
        rs.Open("select * from Table1", c, 1, 3, -1);
        EXPECT_FALSE(rs.Updatable());
        EXPECT_NE(rs.ReadOnlyReason().find("Jet 3"), std::string::npos) << rs.ReadOnlyReason();
        EXPECT_FALSE(fs::exists(path("testV1997.ldb")));
    }

    // Jet 4: rows can change, the structure cannot; the saved-query table
    // of the catalogue loader is refused, as the loader expects.
    const std::string name = copy("testV2000.mdb");
    fs::permissions(path(name), fs::perms::owner_read | fs::perms::owner_write);
    const std::string original = contentOf(path(name));
    {
        auto c = open(name);
        EXPECT_FALSE(c.ReadOnly());
        EXPECT_TRUE(c.SchemaReadOnly());
        EXPECT_EQ(c.ReadOnlyReason(), "");
        EXPECT_EQ(c.OpenNotice(), "");
        EXPECT_TRUE(fs::exists(path("testV2000.ldb")));
        for (const std::string sql :
             {"Create TABLE USys_SVZ(SYS_SVZ_ID counter,name "
              "text(100),SqlStr Memo NULL)",
              "drop table Table1", "alter table Table1 add column z long",
              "create procedure q as select * from Table1", "select * into t2 from Table1"}) {
            const std::string text = failure([&] { c.Execute(sql); });
            EXPECT_NE(text.find("只能修改数据"), std::string::npos) << sql << ": " << text;
        }

        // A second connection to the same file reads it and says who writes.
        auto other = open(name);
        EXPECT_TRUE(other.ReadOnly());
        EXPECT_NE(other.ReadOnlyReason().find("在使用中"), std::string::npos)
            << other.ReadOnlyReason();
        EXPECT_EQ(other.Execute("select count(*) from Table1").valueAt(0, 0).toInt(), 2);
        // Compaction writes a native copy to a new path; the Jet file stays.
        JetEngine je;
        je.CompactDatabase(connectionString(path(name)), connectionString(path("out.mdb"), "新"));
        auto copied = open("out.mdb", "新");
        EXPECT_EQ(copied.Execute("select count(*) from Table1").valueAt(0, 0).toInt(), 2);
    }
    EXPECT_FALSE(fs::exists(path("testV2000.ldb")));
    EXPECT_EQ(contentOf(path(name)), original);

    // A read-only Jet 4 file says so.
    fs::permissions(path(name), fs::perms::owner_read);
    auto ro = open(name);
    EXPECT_TRUE(ro.ReadOnly());
    EXPECT_NE(failure([&] { ro.Execute("delete from Table1"); }).find("只读"), std::string::npos);
}

TEST_F(JetFileTest, AnUnfinishedChangeIsUndoneOnOpening) {
    namespace fs = std::filesystem;
    const std::string name = copy("testV2000.mdb");
    fs::permissions(path(name), fs::perms::owner_read | fs::perms::owner_write);
    const std::string original = contentOf(path(name));
    // On a file that cannot be written, a private copy is undone and read.
    jetjournal::halfWritten(path(name), original);
    fs::permissions(path(name), fs::perms::owner_read);
    {
        auto c = open(name);
        EXPECT_TRUE(c.ReadOnly());
        EXPECT_EQ(c.Execute("select count(*) from Table1").valueAt(0, 0).toInt(), 2);
        EXPECT_NE(c.ReadOnlyReason().find("没有完成"), std::string::npos) << c.ReadOnlyReason();
        EXPECT_TRUE(fs::exists(path(name) + "-tbj"));
    }
    EXPECT_NE(contentOf(path(name)), original);

    // Writable: undone in place, and the user is told once.
    fs::permissions(path(name), fs::perms::owner_read | fs::perms::owner_write);
    {
        auto c = open(name);
        EXPECT_NE(c.OpenNotice().find("已自动撤销"), std::string::npos) << c.OpenNotice();
        EXPECT_FALSE(c.ReadOnly());
        EXPECT_EQ(c.Execute("select count(*) from Table1").valueAt(0, 0).toInt(), 2);
    }
    EXPECT_FALSE(fs::exists(path(name) + "-tbj"));
    EXPECT_EQ(contentOf(path(name)), original);
    EXPECT_EQ(open(name).OpenNotice(), "");
}

TEST_F(JetFileTest, PasswordsSavedQueriesAndUnicode) {
    const std::string locked = copy("V2000_with-password.mdb");
    EXPECT_NE(failure([&] { open(locked, "wrong"); }).find("密码"), std::string::npos);
    EXPECT_NE(failure([&] { open(locked, ""); }).find("密码"), std::string::npos);
    EXPECT_EQ(open(locked, "password")
                  .Execute("select Data from Table1 where ID = 2")
                  .valueAt(0, 0)
                  .text(),
              "Two");

    auto q = open(copy("queryTestV2000.mdb"));
    std::vector<std::string> views;
    for (auto rs = q.OpenSchema(20); !rs.Eof(); rs.MoveNext())
        if (rs["TABLE_TYPE"].GetValue().text() == "VIEW")
            views.push_back(rs["TABLE_NAME"].GetValue().text());
    EXPECT_NE(std::find(views.begin(), views.end(), "SelectQuery"), views.end());
    EXPECT_EQ(std::find(views.begin(), views.end(), "DeleteQuery"), views.end());
    EXPECT_EQ(q.Execute("select * from SelectQuery").State(), 1);

    auto u = open(copy("testUnicodeCompV2003.mdb"));
    EXPECT_EQ(u.Execute("select Unicode from [Table] where ID = 3").valueAt(0, 0).text(), "Мир");
    EXPECT_EQ(u.Execute("[Table]").RecordCount(), 8);
}
