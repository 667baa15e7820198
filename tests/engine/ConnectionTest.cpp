#include "TestDb.h"

#include "engine/ConnectionString.h"
#include "engine/base/Messages.h"

#include <fstream>

using namespace engine;

TEST(ConnectionStringTest, ReadsPairsTheWayOleDbDoes) {
    auto cs = ConnectionString::parse(
        " provider = Microsoft.Jet.OLEDB.4.0 ;DATA SOURCE=/tmp/a b.mdb;Unknown=1;;"
        "Jet OLEDB:Database Password=  secret  ;");
    EXPECT_EQ(cs.provider(), "Microsoft.Jet.OLEDB.4.0");
    EXPECT_EQ(cs.dataSource(), "/tmp/a b.mdb");
    EXPECT_EQ(cs.password(), "secret");
    EXPECT_EQ(cs.get("unknown"), "1");
    EXPECT_EQ(cs.get("missing"), "");
}

TEST(ConnectionStringTest, CompactStringsWithBlanksAfterTheEqualsSign) {
    auto src = ConnectionString::parse("Provider=Microsoft.Jet.OLEDB.4.0;Data "
                                       "Source=/d/shop.mdb;Jet OLEDB:Database Password= old");
    auto dst = ConnectionString::parse("Provider=Microsoft.Jet.OLEDB.4.0;Data Source= "
                                       "/d/shop.mdb.mdb;Jet OLEDB:Database Password= ");
    EXPECT_EQ(src.password(), "old");
    EXPECT_EQ(dst.dataSource(), "/d/shop.mdb.mdb");
    EXPECT_EQ(dst.password(), "");
}

TEST(ConnectionStringTest, QuotedValuesKeepSemicolonsAndQuotes) {
    for (std::string pw : {"a;b", "it's", "say \"hi\"", " lead", "plain", "", "x;'\";y"}) {
        auto cs = ConnectionString::parse("Data Source=f.mdb;Jet OLEDB:Database Password=" +
                                          ConnectionString::quoteValue(pw) + ";");
        EXPECT_EQ(cs.password(), pw) << pw;
    }
    EXPECT_EQ(ConnectionString::quoteValue("plain"), "plain");
    EXPECT_THROW(ConnectionString::parse("Data Source=\"unterminated"), EngineError);
}

TEST_F(TempDbTest, PasswordsProtectTheFile) {
    create("p.mdb", "秘密;1");
    EXPECT_NO_THROW(open("p.mdb", "秘密;1").Close());
    engine::Connection quoted;
    EXPECT_NO_THROW(
        quoted.Open("Data Source=" + path("p.mdb") + ";Jet OLEDB:Database Password=\"秘密;1\""));
    const std::string wrong = failure([&] { open("p.mdb", "wrong"); });
    const std::string none = failure([&] { open("p.mdb", ""); });
    EXPECT_NE(wrong.find("密码"), std::string::npos) << wrong;
    EXPECT_NE(none.find("密码"), std::string::npos) << none;

    // The file really is encrypted: no plain SQLite header, no readable text.
    std::ifstream in(path("p.mdb"), std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), {});
    EXPECT_EQ(bytes.find("SQLite format 3"), std::string::npos);
    EXPECT_EQ(bytes.find("MSysColumns"), std::string::npos);
}

TEST_F(TempDbTest, FileWithoutPasswordOpensWithAnyStoredPassword) {
    create("plain.mdb");
    EXPECT_NO_THROW(open("plain.mdb", "").Close());
    // The program tries the last database's password first.
    EXPECT_NO_THROW(open("plain.mdb", "left over").Close());
}

TEST_F(TempDbTest, OtherOpenFailuresSayWhyWithoutMentioningPasswords) {
    {
        std::ofstream(path("text.mdb")) << "this is not a database at all";
        std::ofstream(path("empty.mdb"));
        std::ofstream big(path("junk.mdb"), std::ios::binary);
        big << std::string(4096, '\x5a');
    }
    std::filesystem::create_directory(path("folder.mdb"));
    for (const std::string& conn :
         {connectionString(path("missing.mdb")), connectionString(path("text.mdb")),
          connectionString(path("empty.mdb")), connectionString(""),
          connectionString(path("folder.mdb"))}) {
        engine::Connection c;
        const std::string text = failure([&] { c.Open(conn); });
        EXPECT_FALSE(text.empty()) << conn;
        EXPECT_EQ(text.find("密码"), std::string::npos) << text;
        EXPECT_EQ(c.State(), 0);
    }
    EXPECT_NE(failure([&] { open("missing.mdb"); }).find("找不到文件"), std::string::npos);
    // A file of whole pages could be an encrypted database: ask for the password.
    EXPECT_NE(failure([&] { open("junk.mdb"); }).find("密码"), std::string::npos);
}

TEST_F(TempDbTest, ConnectionStateAndSharedLifetime) {
    auto c = create("s.mdb");
    EXPECT_EQ(c.State(), 1);
    c.Execute("create table T (a long)");
    c.Execute("insert into T values (1)");
    Recordset rs;
    rs.Open("select * from T", c, 1, 3, -1);
    c.Close();
    EXPECT_EQ(c.State(), 0);
    // The recordset keeps its database until it is closed.
    EXPECT_EQ(rs.RecordCount(), 1);
    EXPECT_EQ(rs["a"].GetValue().toInt(), 1);
    EXPECT_THROW(c.Execute("select * from T"), EngineError);
    EXPECT_THROW(Connection::CreateDatabase(path("s.mdb")), EngineError);
}

TEST(MessagesTest, TextsCarryTheSubstringsWindowsLookFor) {
    auto has = [](const msg::Message& m, const char* part) {
        return std::string(m.text).find(part) != std::string::npos;
    };
    EXPECT_TRUE(has(msg::WrongPassword, "密码"));
    for (const auto* m : {&msg::EmptyPath, &msg::FileNotFound, &msg::NotADatabase, &msg::CannotOpen,
                          &msg::Corrupt, &msg::DatabaseBusy})
        EXPECT_FALSE(has(*m, "密码")) << m->text;
    EXPECT_TRUE(has(msg::TableExists, "已存在"));
    EXPECT_TRUE(has(msg::FieldExists, "已存在"));
    EXPECT_TRUE(has(msg::SecondAutoNumber, "自动编号"));
    EXPECT_FALSE(has(msg::SecondAutoNumber, "主键"));
    EXPECT_TRUE(has(msg::SecondPrimaryKey, "主控键"));
    EXPECT_FALSE(has(msg::SecondPrimaryKey, "主键"));
    EXPECT_FALSE(has(msg::ColumnInIndex, "主键"));
    EXPECT_EQ(msg::format(msg::TooLong, {"名称", "20"}),
              "字段“名称”太小，不能接受所要添加的数据量（最多 20 个字符）。");
}
