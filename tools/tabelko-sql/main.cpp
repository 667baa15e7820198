// tabelko-sql: runs Jet SQL against a database file from a shell or a
// script, through the same engine and connection string as the program.
#include "Output.h"
#include "Script.h"

#include "engine/Catalog.h"
#include "engine/Connection.h"
#include "engine/ConnectionString.h"
#include "engine/base/EngineError.h"
#include "engine/base/Messages.h"
#include "engine/core/Database.h"
#include "engine/schema/TableMeta.h"
#include "engine/sql/JetSql.h"

#include <termios.h>
#include <unistd.h>

#include <cstring>
#include <iostream>
#include <iterator>
#include <optional>
#include <sstream>

namespace {

const char* const Usage =
    "用法：tabelko-sql [-p 密码 | -P] [--new] [--format tsv|table|json] [--continue] 文件 "
    "[SQL ...]\n"
    "      tabelko-sql [-p 密码 | -P] 文件 --tables\n"
    "      tabelko-sql [-p 密码 | -P] 文件 --describe 表名\n"
    "      tabelko-sql [-p 密码 | -P] 文件 --queries\n"
    "\n"
    "  -p 密码            数据库密码\n"
    "  -P                 在终端上输入密码（不回显）\n"
    "  --format 格式      "
    "查询结果的格式：tsv（默认，制表符分隔，带标题行）、table（对齐的列）、json\n"
    "  --continue         脚本中的语句失败后继续执行后面的语句\n"
    "  --new              新建数据库文件（文件不能已存在；给出密码时加密）\n"
    "  --tables           列出表和查询（名称与类型）\n"
    "  --describe 表名    列出表的字段：名称、类型、类型代码、大小、必填、自动编号，以及主键\n"
    "  --queries          列出保存的查询：名称、类型、能否作为视图打开，以及 Jet SQL 文本\n"
    "  --param 名称=值    参数查询的参数值（可重复）\n"
    "  --version          显示版本号\n"
    "\n"
    "没有给出 SQL 时，从标准输入读取语句：以分号分隔（引号、方括号内的分号除外），\n"
    "或者每行一条。\n"
    "退出状态：0 成功；1 语句失败；2 用法错误。\n";

struct Options {
    std::string file;
    std::optional<std::string> password;
    bool askPassword = false;
    tools::Format format = tools::Format::Tsv;
    bool keepGoing = false;
    bool create = false;
    bool tables = false;
    bool queries = false;
    std::vector<std::pair<std::string, std::string>> params;
    std::optional<std::string> describe;
    std::vector<std::string> statements;
};

[[noreturn]] void usageError(const std::string& why) {
    std::cerr << "tabelko-sql：" << why << "\n\n" << Usage;
    std::exit(2);
}

Options parse(int argc, char** argv) {
    Options o;
    bool filePending = true;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto value = [&](const char* what) -> std::string {
            if (i + 1 >= argc) usageError(std::string("选项 ") + a + " 需要" + what);
            return argv[++i];
        };
        if (a == "-h" || a == "--help") {
            std::cout << Usage;
            std::exit(0);
        } else if (a == "--version") {
            std::cout << "tabelko-sql " TABELKO_VERSION "\n";
            std::exit(0);
        } else if (a == "-p") {
            o.password = value("密码");
        } else if (a == "-P") {
            o.askPassword = true;
        } else if (a == "--format") {
            const std::string f = value("格式");
            if (f == "tsv")
                o.format = tools::Format::Tsv;
            else if (f == "table")
                o.format = tools::Format::Table;
            else if (f == "json")
                o.format = tools::Format::Json;
            else
                usageError("未知的格式“" + f + "”");
        } else if (a == "--continue") {
            o.keepGoing = true;
        } else if (a == "--new") {
            o.create = true;
        } else if (a == "--tables") {
            o.tables = true;
        } else if (a == "--queries") {
            o.queries = true;
        } else if (a == "--param") {
            const std::string p = value("“名称=值”");
            const auto eq = p.find('=');
            if (eq == std::string::npos || eq == 0) usageError("--param 的格式是“名称=值”：" + p);
            o.params.emplace_back(p.substr(0, eq), p.substr(eq + 1));
        } else if (a == "--describe") {
            o.describe = value("表名");
        } else if (a.size() > 1 && a[0] == '-' && a != "-") {
            usageError("未知的选项“" + a + "”");
        } else if (filePending) {
            o.file = a;
            filePending = false;
        } else {
            o.statements.push_back(a);
        }
    }
    if (filePending) usageError("缺少数据库文件");
    if (o.password && o.askPassword) usageError("-p 和 -P 不能同时使用");
    if ((o.tables || o.describe || o.queries) && !o.statements.empty())
        usageError("--tables、--queries 和 --describe 不能与 SQL 语句一起使用");
    return o;
}

std::string readPasswordFromTerminal() {
    std::cerr << "请输入数据库密码：" << std::flush;
    termios old{};
    const bool tty = tcgetattr(STDIN_FILENO, &old) == 0;
    if (tty) {
        termios quiet = old;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        tcsetattr(STDIN_FILENO, TCSANOW, &quiet);
    }
    std::string pw;
    std::getline(std::cin, pw);
    if (tty) tcsetattr(STDIN_FILENO, TCSANOW, &old);
    std::cerr << '\n';
    return pw;
}

void reportError(const engine::EngineError& e) {
    std::cerr << "错误 " << e.number() << ": " << e.what() << '\n';
    if (e.number() == engine::msg::ParameterMissing.number &&
        std::string(e.what()).find("参数") != std::string::npos)
        std::cerr << "（用 --param 名称=值 给出参数的值）\n";
}

void listTables(engine::Connection& c) {
    auto rs = c.OpenSchema(20);
    for (; !rs.Eof(); rs.MoveNext())
        std::cout << rs["TABLE_NAME"].GetValue().text() << '\t'
                  << rs["TABLE_TYPE"].GetValue().text() << '\n';
}

// Every saved query with its kind: "VIEW" when it opens as a view, else
// how it runs (read in place with parameters or as a crosstab, or an
// action query), then its text on one line.
void listQueries(engine::Connection& c) {
    auto db = c.database();
    std::cout << "名称\t类型\t视图\tJet SQL\n";
    for (const auto& q : engine::metadata::queries(db->handle())) {
        bool view = false;
        {
            auto schema = c.OpenSchema(20);
            for (; !schema.Eof(); schema.MoveNext())
                if (schema["TABLE_NAME"].GetValue().text() == q.name &&
                    schema["TABLE_TYPE"].GetValue().text() == "VIEW")
                    view = true;
        }
        std::string text = q.jet;
        for (char& ch : text)
            if (ch == '\n' || ch == '\r' || ch == '\t') ch = ' ';
        std::cout << q.name << '\t' << db->savedQueryKind(q) << '\t' << (view ? "VIEW" : "-")
                  << '\t' << text << '\n';
    }
}

void describe(engine::Connection& c, const std::string& table) {
    engine::Catalog cat;
    cat.SetActiveConnection(c);
    const auto* found = cat.Tables().find(table);
    if (!found) engine::msg::raise(engine::msg::UnknownTable, {table});
    auto& t = cat.Tables()[table];
    std::cout << "字段\t类型\t类型代码\t大小\t必填\t自动编号\n";
    for (auto& col : t.Columns()) {
        const bool autoNumber = col.PropertyValue("Autoincrement").toBool();
        const bool required = !col.PropertyValue("Nullable").toBool();
        std::cout << col.Name() << '\t' << col.TypeWord() << '\t' << col.Type() << '\t'
                  << col.DefinedSize() << '\t' << (required ? "是" : "否") << '\t'
                  << (autoNumber ? "是" : "否") << '\n';
    }
    for (auto& k : t.Keys()) {
        if (k.Type() != 1) continue;
        std::cout << "主键\t" << k.Name() << '\t';
        for (std::size_t i = 0; i < k.Columns().size(); ++i)
            std::cout << (i ? "," : "") << k.Columns()[i];
        std::cout << '\n';
    }
}

bool run(engine::Connection& c, const std::string& sql, tools::Format format) {
    try {
        long affected = 0;
        auto rs = c.Execute(sql, &affected);
        if (rs.State() == 1)
            tools::writeRows(std::cout, rs, format);
        else
            std::cout << "已影响 " << affected << " 行\n";
        return true;
    } catch (const engine::EngineError& e) {
        std::cout.flush();
        reportError(e);
        return false;
    }
}

} // namespace

int main(int argc, char** argv) {
    std::ios::sync_with_stdio(false);
    Options o = parse(argc, argv);
    std::string password = o.password.value_or("");
    if (o.askPassword) password = readPasswordFromTerminal();

    engine::Connection c;
    c.CursorLocation = 3;
    try {
        if (o.create) engine::Connection::CreateDatabase(o.file, password);
        // The path is quoted: any file name opens exactly that file.
        c.Open("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" +
               engine::ConnectionString::quoteValue(o.file) +
               ";Persist Security Info=True;Jet OLEDB:Database Password=" +
               engine::ConnectionString::quoteValue(password) + ";");
        if (o.tables) {
            listTables(c);
            return 0;
        }
        if (o.queries) {
            listQueries(c);
            return 0;
        }
        for (const auto& [name, value] : o.params)
            c.SetParameter(name, value);
        if (o.describe) {
            describe(c, *o.describe);
            return 0;
        }
    } catch (const engine::EngineError& e) {
        reportError(e);
        return 1;
    }

    std::vector<std::string> statements = o.statements;
    if (statements.empty()) {
        const std::string script((std::istreambuf_iterator<char>(std::cin)), {});
        statements = tools::splitStatements(script);
    }
    int status = 0;
    for (const auto& sql : statements) {
        if (!run(c, sql, o.format)) {
            status = 1;
            if (!o.keepGoing) break;
        }
    }
    std::cout.flush();
    return status;
}
