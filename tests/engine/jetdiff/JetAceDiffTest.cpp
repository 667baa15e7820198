// The .accdb samples through the whole engine, and compared with mdbtools
// where mdbtools reads them (it has no calculated, BigInt or extended date
// values, so those columns are checked against what the writer stored).

#include "Oracle.h"

#include "engine/Connection.h"
#include "engine/ConnectionString.h"
#include "engine/Recordset.h"
#include "engine/base/EngineError.h"
#include "engine/base/Messages.h"
#include "engine/jet/EncryptedSamples.h"
#include "engine/jet/JetFile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

using namespace engine;
namespace fs = std::filesystem;

namespace {

const std::string kSamples = TABELKO_ACE_SAMPLES_DIR;

// A private copy of a sample in a fresh folder, removed afterwards.
class SampleCopy {
public:
    explicit SampleCopy(const std::string& name) {
        dir_ = fs::temp_directory_path() /
               ("tabelko-acediff-" + std::to_string(::getpid()) + "-" + name);
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        path_ = (dir_ / name).string();
        fs::copy_file(fs::path(kSamples) / name, path_);
    }
    ~SampleCopy() {
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }
    const std::string& path() const { return path_; }

private:
    fs::path dir_;
    std::string path_;
};

Connection openEngine(const std::string& path, const std::string& password = {}) {
    Connection c;
    c.CursorLocation = 3;
    c.Open("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + path +
           ";Jet OLEDB:Database Password=" + ConnectionString::quoteValue(password) + ";");
    return c;
}

std::vector<std::vector<Value>> select(Connection& c, const std::string& sql) {
    std::vector<std::vector<Value>> rows;
    Recordset rs = c.Execute(sql);
    const int n = rs.GetFields().Count();
    for (; !rs.Eof(); rs.MoveNext()) {
        rows.emplace_back();
        for (int i = 0; i < n; ++i)
            rows.back().push_back(rs[i].GetValue());
    }
    return rows;
}

} // namespace

TEST(JetAceDiff, PlainColumnsAgreeWithMdbtools) {
    if (jetdiff::findOnPath("mdb-export").empty()) {
        if (std::getenv("CI")) FAIL() << "mdbtools is not installed";
        GTEST_SKIP() << "mdbtools is not installed";
    }
    for (const char* name : {"ace2007.accdb", "ace2010.accdb", "ace2019.accdb"}) {
        const SampleCopy copy(name);
        const auto file = jet::JetFile::open(copy.path());
        std::vector<std::string> mine;
        for (const auto& e : file.catalog())
            if (e.kind == jet::ObjectKind::Table) mine.push_back(e.name);
        const auto listed = jetdiff::run({"mdb-tables", "-1", copy.path()});
        ASSERT_EQ(listed.status, 0) << name;
        // mdbtools lists the compaction log MSysCompactError, which Access
        // writes without the system flag; it is a system table all the same.
        auto theirs = jetdiff::lines(listed.out);
        theirs.erase(std::remove(theirs.begin(), theirs.end(), "MSysCompactError"), theirs.end());
        EXPECT_EQ(mine, theirs) << name;

        for (const auto& table : mine) {
            const auto def = file.table(table);
            const auto exported = jetdiff::run({"mdb-export", "-0", "NULL", copy.path(), table});
            ASSERT_EQ(exported.status, 0) << name << " " << table;
            const auto rows = jetdiff::parseCsv(exported.out);
            ASSERT_FALSE(rows.empty());
            std::vector<std::vector<Value>> values;
            file.forEachRow(table, [&](const std::vector<Value>& r) {
                values.push_back(r);
                return true;
            });
            ASSERT_EQ(values.size() + 1, rows.size()) << name << " " << table;
            // Whole numbers and text: the kinds whose text both sides write alike.
            int compared = 0;
            for (const auto& c : def.columns) {
                if (c.calculated ||
                    (c.jetType != jet::coltype::Long && c.jetType != jet::coltype::Text &&
                     c.jetType != jet::coltype::Memo))
                    continue;
                for (std::size_t r = 0; r < values.size(); ++r) {
                    const Value& v = values[r][static_cast<std::size_t>(c.ordinal)];
                    const std::string fromMdbtools =
                        rows[r + 1].at(static_cast<std::size_t>(c.ordinal)).text;
                    // mdbtools reads an empty memo as null.
                    if (c.jetType == jet::coltype::Memo && v.kind() == Value::Kind::Text &&
                        v.text().empty() && fromMdbtools == "NULL")
                        continue;
                    EXPECT_EQ(v.isNull() ? "NULL" : v.toText(), fromMdbtools)
                        << name << " " << table << "." << c.name << " row " << r;
                    ++compared;
                }
            }
            EXPECT_GT(compared, 0) << name << " " << table;
        }
    }
}

TEST(JetAceDiff, EngineReadsAceColumns) {
    const SampleCopy people("ace2010.accdb");
    Connection c = openEngine(people.path());
    auto rows = select(c, "select AllNames, QtyTwice, Total, Bin, Summary from People order by ID");
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0][0].text(), "Ada Lovelace");
    EXPECT_EQ(rows[1][1].toInt(), 14);
    EXPECT_DOUBLE_EQ(rows[1][2].toDouble(), 15.75);
    // A zero-length binary value stays an empty value through the engine.
    EXPECT_EQ(rows[0][3].kind(), Value::Kind::Bytes);
    EXPECT_TRUE(rows[0][3].bytes().empty());
    EXPECT_TRUE(rows[2][3].isNull());
    EXPECT_EQ(rows[1][4].text(), "王：7");
    EXPECT_EQ(select(c, "select count(*) from People where Bin is null")[0][0].toInt(), 1);

    const SampleCopy big("ace2019.accdb");
    Connection d = openEngine(big.path());
    Recordset rs = d.Execute("select Huge, [When] from Big where ID = 1");
    ASSERT_FALSE(rs.Eof());
    EXPECT_EQ(rs[0].Type(), adtype::BigInt);
    EXPECT_EQ(rs[0].GetValue().toInt(), 9007199254740993LL);
    EXPECT_EQ(rs[1].Type(), adtype::Date);
    EXPECT_EQ(rs[1].GetValue().toText().substr(0, 10), "2024-02-29");
}

TEST(JetAceDiff, EncryptedAccdbOpensThroughTheEngine) {
    const SampleCopy plain("ace2010.accdb");
    const std::string path = plain.path() + ".enc.accdb";
    enctest::writeAgile(plain.path(), path, "口令123");
    Connection c = openEngine(path, "口令123");
    EXPECT_EQ(select(c, "select AllNames from People where ID = 2")[0][0].text(), "王 小明");
    c.Close();
    try {
        openEngine(path, "wrong");
        ADD_FAILURE() << "opened with a wrong password";
    } catch (const EngineError& e) {
        EXPECT_EQ(e.number(), msg::WrongPassword.number);
    }
}
