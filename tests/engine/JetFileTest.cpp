// Genuine Jet files opened through the engine's connection, as the program
// opens them: listed, queried, searched, and never written.
#include "TestDb.h"
#include "support/SharedFiles.h"

#include "engine/Catalog.h"

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

TEST_F(JetFileTest, NothingIsWrittenToAGenuineFile) {
    const std::string name = copy("testV2000.mdb");
    std::ifstream before(path(name), std::ios::binary);
    const std::string original((std::istreambuf_iterator<char>(before)), {});
    auto c = open(name);
    for (const std::string sql : {"delete from Table1",
                                  "Create TABLE USys_SVZ(SYS_SVZ_ID counter,name "
                                  "text(100),SqlStr Memo NULL)",
                                  "update Table1 set A = 'x'"}) {
        const std::string text = failure([&] { c.Execute(sql); });
        EXPECT_NE(text.find("只能读取"), std::string::npos) << sql << ": " << text;
    }
    Recordset rs;
    rs.Open("select * from Table1", c, 1, 3, -1);
    EXPECT_FALSE(rs.Updatable());
    EXPECT_NE(rs.ReadOnlyReason().find("只能读取"), std::string::npos);
    EXPECT_NE(failure([&] { rs.deleteRow(0); }).find("只能读取"), std::string::npos);
    // Compaction writes a native copy to a new path; the Jet file stays.
    JetEngine je;
    je.CompactDatabase(connectionString(path(name)), connectionString(path("out.mdb"), "新"));
    auto copy = open("out.mdb", "新");
    EXPECT_EQ(copy.Execute("select count(*) from Table1").valueAt(0, 0).toInt(), 2);
    copy.Execute("update Table1 set A = 'x' where A = 'a'");
    std::ifstream after(path(name), std::ios::binary);
    EXPECT_EQ(std::string((std::istreambuf_iterator<char>(after)), {}), original);
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
