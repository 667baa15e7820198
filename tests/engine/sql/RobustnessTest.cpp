// Any input, however malformed, gives an EngineError or a translation;
// never a crash, a hang or another kind of exception.

#include "TestDb.h"

#include "engine/EngineError.h"

#include <random>

namespace {

template <typename F> void onlyEngineErrors(const std::string& input, F&& f) {
    try {
        f(input);
    } catch (const engine::EngineError&) {
    } catch (const std::exception& e) {
        ADD_FAILURE() << "unexpected " << e.what() << " for: " << input;
    }
}

} // namespace

TEST(Robustness, RandomTokenSoup) {
    const char* pieces[] = {
        "SELECT",  "FROM",       "WHERE",  "(",      ")",        ",",          "[a]",     "'x'",
        "\"y\"",   "#1/1/2024#", "1",      "2.5",    "&",        "+",          "-",       "*",
        "/",       "\\",         "^",      "=",      "<>",       "LIKE",       "IN",      "NOT",
        "AND",     "OR",         "IS",     "NULL",   "BETWEEN",  "INNER",      "LEFT",    "RIGHT",
        "JOIN",    "ON",         "UNION",  "ALL",    "TOP",      "PERCENT",    "INTO",    "SET",
        "UPDATE",  "DELETE",     "INSERT", "VALUES", "GROUP",    "BY",         "ORDER",   "HAVING",
        "客户",    "T",          ".",      "!",      "Count",    "Left",       "IIf",     "CREATE",
        "TABLE",   "ALTER",      "DROP",   "COLUMN", "Text",     "CONSTRAINT", "PRIMARY", "KEY",
        "DEFAULT", ";",          "EXISTS", "AS",     "DISTINCT", "?",          "Mod",     "True",
        "[",       "'",          "#"};
    std::mt19937 rng(12345);
    std::uniform_int_distribution<std::size_t> pick(0, std::size(pieces) - 1);
    std::uniform_int_distribution<int> len(1, 14);
    TestDb db;
    db.exec("CREATE TABLE 客户 (a, b)");
    db.exec("CREATE TABLE T (a, b)");
    for (int n = 0; n < 4000; ++n) {
        std::string s;
        const int k = len(rng);
        for (int i = 0; i < k; ++i)
            s += std::string(pieces[pick(rng)]) + " ";
        onlyEngineErrors(s, [&](const std::string& in) {
            engine::sql::classify(in);
            engine::sql::renameIdentifier(in, "a", "b");
        });
        onlyEngineErrors(s, [](const std::string& in) { engine::sql::parseDdl(in); });
        onlyEngineErrors(s, [](const std::string& in) { engine::sql::translateExpression(in); });
        try {
            const auto t = engine::sql::translate(s);
            // What translates must at least be SQL that SQLite can read.
            sqlite3_stmt* st = nullptr;
            if (!t.sqlite.empty() &&
                sqlite3_prepare_v2(db.handle(), t.sqlite.c_str(), -1, &st, nullptr) != SQLITE_OK) {
                const std::string err = sqlite3_errmsg(db.handle());
                EXPECT_EQ(err.find("syntax error"), std::string::npos) << s << "\n -> " << t.sqlite;
            }
            sqlite3_finalize(st);
        } catch (const engine::EngineError&) {
        } catch (const std::exception& e) {
            ADD_FAILURE() << "unexpected " << e.what() << " for: " << s;
        }
    }
}

TEST(Robustness, DeepNestingIsRefusedNotOverflowed) {
    const std::string deep = "SELECT " + std::string(100000, '(') + "1" + std::string(100000, ')');
    EXPECT_THROW(engine::sql::translate(deep), engine::EngineError);
    std::string nots = "SELECT 1 WHERE ";
    for (int i = 0; i < 50000; ++i)
        nots += "NOT ";
    EXPECT_THROW(engine::sql::translate(nots + "1"), engine::EngineError);
    std::string subs = "SELECT * FROM T WHERE a IN ";
    for (int i = 0; i < 5000; ++i)
        subs += "(SELECT a FROM T WHERE a IN ";
    EXPECT_THROW(engine::sql::translate(subs), engine::EngineError);
    // Ordinary nesting still works.
    TestDb db;
    EXPECT_EQ(db.eval(std::string(50, '(') + "1 + 1" + std::string(50, ')')), "2");
}
