// Runs the built tabelko-sql as a process on real temporary databases.
#include "Output.h"
#include "Script.h"

#include "engine/Connection.h"
#include "engine/sqlite/Sqlite3.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <thread>

namespace {

struct Result {
    int status = -1;
    std::string out, err;
};

std::string slurp(int fd) {
    std::string s;
    char buf[4096];
    ssize_t n;
    while ((n = ::read(fd, buf, sizeof buf)) > 0)
        s.append(buf, static_cast<std::size_t>(n));
    return s;
}

Result runTool(const std::vector<std::string>& args, const std::string& input = {}) {
    int in[2], out[2], err[2];
    EXPECT_EQ(::pipe(in), 0);
    EXPECT_EQ(::pipe(out), 0);
    EXPECT_EQ(::pipe(err), 0);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(in[0], 0);
        ::dup2(out[1], 1);
        ::dup2(err[1], 2);
        for (int fd : {in[0], in[1], out[0], out[1], err[0], err[1]})
            ::close(fd);
        std::vector<char*> argv{const_cast<char*>(TABELKO_SQL_BINARY)};
        for (const auto& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        ::execv(TABELKO_SQL_BINARY, argv.data());
        ::_exit(127);
    }
    ::close(in[0]);
    ::close(out[1]);
    ::close(err[1]);
    std::thread writer([&] {
        if (!input.empty()) (void)!::write(in[1], input.data(), input.size());
        ::close(in[1]);
    });
    Result r;
    std::thread errReader([&] { r.err = slurp(err[0]); });
    r.out = slurp(out[0]);
    writer.join();
    errReader.join();
    ::close(out[0]);
    ::close(err[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

// Writes what the engine never stores itself: a blob and text that is not
// UTF-8, through SQLite directly.
void rawBlobAndBadText(const std::string& file) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(file.c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db,
                           "UPDATE b SET bin = x'00ff10' WHERE id = 1;"
                           "UPDATE b SET t = CAST(x'61fe62' AS TEXT) WHERE id = 2;",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(db);
}

class TabelkoSqlTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() /
               ("tabelko-sql-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir_);
        file_ = (dir_ / "店.mdb").string();
        engine::Connection::CreateDatabase(file_, "");
        engine::Connection c;
        c.Open("Data Source=" + file_);
        c.Execute(
            "CREATE TABLE 客户 (编号 COUNTER PRIMARY KEY, 名称 TEXT(20) NOT NULL, 生日 DATETIME, "
            "会员 BIT, 备注 MEMO)");
        c.Execute("INSERT INTO 客户 (名称, 生日, 会员, 备注) VALUES ('张三', #1990-05-01#, True, "
                  "'a\tb')");
        c.Execute("INSERT INTO 客户 (名称, 会员) VALUES ('李四', False)");
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }
    std::filesystem::path dir_;
    std::string file_;
};

} // namespace

TEST_F(TabelkoSqlTest, SelectsInEachFormat) {
    auto tsv = runTool({file_, "select 编号, 名称, 生日, 会员, 备注 from 客户 order by 编号"});
    EXPECT_EQ(tsv.status, 0) << tsv.err;
    EXPECT_EQ(tsv.out, "编号\t名称\t生日\t会员\t备注\n1\t张三\t1990-05-01 00:00:00\tTrue\ta\\tb\n"
                       "2\t李四\t\tFalse\t\n");

    auto table = runTool({"--format", "table", file_, "select 名称, 会员 from 客户 order by 编号"});
    EXPECT_EQ(table.status, 0) << table.err;
    EXPECT_EQ(table.out, "名称 | 会员 \n-----+------\n张三 | True \n李四 | False\n(2 行)\n");

    auto json = runTool(
        {file_, "--format", "json", "select 编号, 名称, 生日, 会员 from 客户 order by 编号"});
    EXPECT_EQ(json.status, 0) << json.err;
    EXPECT_EQ(json.out, "[\n {\"编号\": 1, \"名称\": \"张三\", \"生日\": \"1990-05-01 00:00:00\", "
                        "\"会员\": true},\n"
                        " {\"编号\": 2, \"名称\": \"李四\", \"生日\": null, \"会员\": false}\n]\n");
}

TEST_F(TabelkoSqlTest, ActionStatementsAndScripts) {
    auto ins = runTool(
        {file_, "insert into 客户 (名称) values ('王五')", "select count(*) as n from 客户"});
    EXPECT_EQ(ins.status, 0) << ins.err;
    EXPECT_EQ(ins.out, "已影响 1 行\nn\n3\n");

    const std::string script = "update 客户 set 会员 = True where 名称 = '李四;x';\n"
                               "select nosuch from 客户;\n"
                               "delete from 客户 where 名称 = '王五';\n";
    auto stop = runTool({file_}, script);
    EXPECT_EQ(stop.status, 1);
    EXPECT_EQ(stop.out, "已影响 0 行\n");
    EXPECT_EQ(stop.err.rfind("错误 ", 0), 0u) << stop.err;
    auto keepGoing = runTool({"--continue", file_}, script);
    EXPECT_EQ(keepGoing.status, 1);
    EXPECT_EQ(keepGoing.out, "已影响 0 行\n已影响 1 行\n");

    // One statement per line when the script has no semicolons.
    auto lines =
        runTool({file_}, "select count(*) as n from 客户\nselect max(编号) as m from 客户\n");
    EXPECT_EQ(lines.out, "n\n2\nm\n2\n");
}

TEST_F(TabelkoSqlTest, PasswordsTablesAndDescribe) {
    const std::string locked = (dir_ / "锁.mdb").string();
    engine::Connection::CreateDatabase(locked, "p;w");
    auto wrong = runTool({"-p", "nope", locked, "select 1"});
    EXPECT_EQ(wrong.status, 1);
    EXPECT_NE(wrong.err.find("密码"), std::string::npos) << wrong.err;
    auto right = runTool({"-p", "p;w", locked, "--tables"});
    EXPECT_EQ(right.status, 0) << right.err;

    auto tables = runTool({file_, "--tables"});
    EXPECT_EQ(tables.status, 0);
    EXPECT_NE(tables.out.find("客户\tTABLE\n"), std::string::npos) << tables.out;
    EXPECT_NE(tables.out.find("MSysColumns\tSYSTEM TABLE\n"), std::string::npos);

    const auto before = std::filesystem::last_write_time(file_);
    auto desc = runTool({file_, "--describe", "客户"});
    EXPECT_EQ(desc.status, 0) << desc.err;
    EXPECT_NE(desc.out.find("编号\tCOUNTER\t3\t4\t是\t是\n"), std::string::npos) << desc.out;
    EXPECT_NE(desc.out.find("名称\tTEXT(20)\t202\t20\t是\t否\n"), std::string::npos) << desc.out;
    EXPECT_NE(desc.out.find("主键\t"), std::string::npos);
    EXPECT_EQ(std::filesystem::last_write_time(file_), before);
    EXPECT_EQ(runTool({file_, "--describe", "没有"}).status, 1);
}

TEST_F(TabelkoSqlTest, UsageErrors) {
    for (const auto& args :
         std::vector<std::vector<std::string>>{{},
                                               {"--bogus", file_},
                                               {"--format", "xml", file_},
                                               {"-p"},
                                               {file_, "--tables", "select 1"}}) {
        auto r = runTool(args);
        EXPECT_EQ(r.status, 2);
        EXPECT_NE(r.err.find("用法"), std::string::npos) << r.err;
    }
    EXPECT_EQ(runTool({(dir_ / "missing.mdb").string(), "select 1"}).status, 1);
}

TEST(TabelkoSqlParts, SplittingAndWidths) {
    EXPECT_EQ(tools::splitStatements("select ';' from [a;b]; select #1/2/2020#;;\n"),
              (std::vector<std::string>{"select ';' from [a;b]", "select #1/2/2020#"}));
    EXPECT_EQ(tools::splitStatements("select 'it''s; ok'"),
              (std::vector<std::string>{"select 'it''s; ok'"}));
    // Backquoted names, and a date the engine will refuse, hold their ';'.
    EXPECT_EQ(tools::splitStatements("select `a;b` from t; select #x;y# ;select 3"),
              (std::vector<std::string>{"select `a;b` from t", "select #x;y#", "select 3"}));
    EXPECT_EQ(tools::displayWidth("ab张三"), 6u);
    // A broken byte is one cell and does not swallow the characters after it.
    EXPECT_EQ(tools::displayWidth(std::string{'\xE5', 'A', 'B'}), 3u);
}

// Any file name opens exactly that file: the path is quoted in the
// connection string.
TEST_F(TabelkoSqlTest, FileNamesAreTakenLiterally) {
    for (const std::string name : {"p.mdb;Data Source=other.mdb", "semi;colon.mdb",
                                   "\"quoted\".mdb", " lead.mdb", "it's.mdb"}) {
        const std::string f = (dir_ / name).string();
        auto made = runTool({"--new", f, "create table t (a long)", "insert into t values (7)"});
        EXPECT_EQ(made.status, 0) << name << ": " << made.err;
        EXPECT_TRUE(std::filesystem::exists(f)) << name;
        auto read = runTool({f, "select a from t"});
        EXPECT_EQ(read.out, "a\n7\n") << name << ": " << read.err;
    }
    EXPECT_FALSE(std::filesystem::exists(dir_ / "other.mdb"));
}

TEST_F(TabelkoSqlTest, NewCreatesAndRefusesAnExistingFile) {
    const std::string f = (dir_ / "新.mdb").string();
    EXPECT_EQ(runTool({"--new", "-p", "k;1", f}).status, 0);
    EXPECT_EQ(runTool({f, "select 1"}).status, 1); // encrypted: needs the password
    EXPECT_EQ(runTool({"-p", "k;1", f, "--tables"}).status, 0);
    const auto before = std::filesystem::file_size(f);
    auto again = runTool({"--new", f});
    EXPECT_EQ(again.status, 1);
    EXPECT_NE(again.err.find("已存在"), std::string::npos) << again.err;
    EXPECT_EQ(std::filesystem::file_size(f), before);
}

// JSON stays valid UTF-8 JSON: bad bytes replaced, binary as hex, and a
// statement failing midway prints its failure, not half a document.
TEST_F(TabelkoSqlTest, JsonIsAlwaysWholeAndValid) {
    engine::Connection c;
    c.Open("Data Source=" + file_);
    c.Execute("CREATE TABLE b (id LONG, t MEMO, bin LONGBINARY)");
    c.Execute("INSERT INTO b (id, t) VALUES (1, 'ok')");
    c.Execute("INSERT INTO b (id, t) VALUES (2, 'ok')");
    c.Execute("INSERT INTO b (id, t) VALUES (3, 'ok')");
    c.Close();
    rawBlobAndBadText(file_);

    auto json = runTool({"--format", "json", file_, "select id, t, bin from b order by id"});
    EXPECT_EQ(json.status, 0) << json.err;
    EXPECT_NE(json.out.find("\"0x00ff10\""), std::string::npos) << json.out;
    EXPECT_NE(json.out.find("a\\ufffdb"), std::string::npos) << json.out;
    EXPECT_EQ(json.out.find('\xFE'), std::string::npos);

    auto failing = runTool({"--format", "json", file_, "select 6 / (id - 3) as x from b"});
    EXPECT_EQ(failing.status, 1);
    EXPECT_EQ(failing.out, "");
    EXPECT_NE(failing.err.find("除数为零"), std::string::npos) << failing.err;
}
