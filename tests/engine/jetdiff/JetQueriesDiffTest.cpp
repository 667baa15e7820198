// The saved queries of the query sample files: listed with the kind the
// catalogue records for them (read back through mdb-export), offered as
// views when they select, and opened to the same rows as the same query
// written by hand over the tables.
#include "Oracle.h"
#include "support/SharedFiles.h"

#include "engine/Connection.h"
#include "engine/Recordset.h"
#include "engine/jet/JetFile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>

using namespace engine;
using engine::jet::QueryKind;
namespace fs = std::filesystem;

namespace {

const std::string kCorpus = TABELKO_JET_CORPUS_DIR;

// MSysObjects.Flags of a saved query (Type 5) says what kind of query it is.
QueryKind kindFromFlags(int flags) {
    switch (flags) {
    case 0:
        return QueryKind::Select;
    case 16:
        return QueryKind::Crosstab;
    case 32:
        return QueryKind::Delete;
    case 48:
        return QueryKind::Update;
    case 64:
        return QueryKind::Append;
    case 80:
        return QueryKind::MakeTable;
    case 96:
        return QueryKind::DataDefinition;
    case 112:
        return QueryKind::PassThrough;
    case 128:
        return QueryKind::Union;
    default:
        return QueryKind::Unknown;
    }
}

class SavedQueries : public ::testing::TestWithParam<std::string> {
protected:
    void SetUp() override {
        REQUIRE_SHARED_FILE(kCorpus);
        ASSERT_FALSE(jetdiff::findOnPath("mdb-export").empty())
            << "mdb-export is not on PATH: install mdbtools (scripts/install-deps.sh) to run "
               "the comparison";
        dir_ = fs::temp_directory_path() /
               ("tabelko-jetdiff-q-" + std::to_string(::getpid()) + "-" + GetParam());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        path_ = (dir_ / GetParam()).string();
        fs::copy_file(fs::path(kCorpus) / GetParam(), path_);
    }
    void TearDown() override {
        std::error_code ec;
        if (!dir_.empty()) fs::remove_all(dir_, ec);
    }

    Connection open() const {
        Connection c;
        c.CursorLocation = 3;
        c.Open("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + path_ +
               ";Jet OLEDB:Database Password=;");
        return c;
    }

    // Field names and every row as text, in a stable order.
    static std::pair<std::vector<std::string>, std::vector<std::vector<std::string>>>
    contents(Recordset rs) {
        std::vector<std::string> names;
        for (int i = 0; i < rs.GetFields().Count(); ++i)
            names.push_back(rs[i].Name());
        std::vector<std::vector<std::string>> rows;
        for (; !rs.Eof(); rs.MoveNext()) {
            rows.emplace_back();
            for (int i = 0; i < rs.GetFields().Count(); ++i)
                rows.back().push_back(rs[i].GetValue().toText());
        }
        std::sort(rows.begin(), rows.end());
        return {names, rows};
    }

    fs::path dir_;
    std::string path_;
};

TEST_P(SavedQueries, ListedWithTheKindsTheCatalogueRecords) {
    // mdbtools: the names (mdb-queries) and MSysObjects' Type 5 rows with their Flags.
    const auto listed = jetdiff::run({"mdb-queries", "-1", path_});
    ASSERT_EQ(listed.status, 0);
    std::vector<std::string> theirNames = jetdiff::lines(listed.out);

    const auto exported = jetdiff::run({"mdb-export", "-0", "NULL", path_, "MSysObjects"});
    ASSERT_EQ(exported.status, 0);
    const auto rows = jetdiff::parseCsv(exported.out);
    ASSERT_FALSE(rows.empty());
    int nameCol = -1, typeCol = -1, flagsCol = -1;
    for (int i = 0; i < static_cast<int>(rows[0].size()); ++i) {
        if (rows[0][i].text == "Name") nameCol = i;
        if (rows[0][i].text == "Type") typeCol = i;
        if (rows[0][i].text == "Flags") flagsCol = i;
    }
    ASSERT_TRUE(nameCol >= 0 && typeCol >= 0 && flagsCol >= 0);
    std::map<std::string, QueryKind> theirs;
    for (std::size_t r = 1; r < rows.size(); ++r)
        if (rows[r][typeCol].text == "5")
            theirs[rows[r][nameCol].text] = kindFromFlags(std::stoi(rows[r][flagsCol].text));
    ASSERT_EQ(theirs.size(), 9u) << "every kind of query is in the sample";

    const auto file = jet::JetFile::open(path_);
    std::map<std::string, QueryKind> mine;
    std::vector<std::string> myNames;
    for (const auto& q : file.queries()) {
        mine[q.name] = q.kind;
        myNames.push_back(q.name);
    }
    EXPECT_EQ(mine, theirs);
    std::sort(myNames.begin(), myNames.end());
    std::sort(theirNames.begin(), theirNames.end());
    EXPECT_EQ(myNames, theirNames);

    // The schema rowset offers the select queries as views, and no action,
    // crosstab or pass-through query. The sample union query's stored text
    // names columns of tables it does not list, so it cannot run and is not
    // offered.
    std::vector<std::string> views, expected;
    for (auto rs = open().OpenSchema(20); !rs.Eof(); rs.MoveNext())
        if (rs["TABLE_TYPE"].GetValue().text() == "VIEW")
            views.push_back(rs["TABLE_NAME"].GetValue().text());
    for (const auto& [name, kind] : theirs)
        if (kind == QueryKind::Select) expected.push_back(name);
    std::sort(views.begin(), views.end());
    EXPECT_EQ(views, expected);
}

TEST_P(SavedQueries, SelectQueryReturnsTheRowsOfTheSameSqlByHand) {
    Connection c = open();
    // The saved SelectQuery, as the designer built it over the three tables.
    const auto saved = contents(c.Execute("select * from SelectQuery"));
    const auto byHand = contents(
        c.Execute("SELECT DISTINCT Table1.*, Table2.col1, Table2.col2, Table3.col3 "
                  "FROM (Table1 LEFT JOIN Table3 ON Table1.col1 = Table3.col1) "
                  "INNER JOIN Table2 ON Table3.col1 = Table2.col1 AND Table3.col1 = Table2.col2 "
                  "WHERE Table2.col2 = 'foo' OR Table2.col2 IN ('buzz', 'bazz') "
                  "ORDER BY Table2.col1"));
    // Field names may differ where two tables share a column name (the view
    // numbers the second one); the columns and rows must be the same.
    EXPECT_EQ(saved.first.size(), 6u);
    EXPECT_EQ(saved.first.size(), byHand.first.size());
    EXPECT_EQ(saved.second, byHand.second);
    // The same through a recordset opened on the query's name, as a data window does.
    Recordset rs;
    rs.Open("SelectQuery", c, 1, 1, -1);
    const auto opened = contents(rs);
    EXPECT_EQ(opened.first, saved.first);
    EXPECT_EQ(opened.second, byHand.second);
}

INSTANTIATE_TEST_SUITE_P(Files, SavedQueries,
                         ::testing::Values("queryTestV1997.mdb", "queryTestV2000.mdb",
                                           "queryTestV2003.mdb"),
                         [](const auto& file) {
                             std::string s;
                             for (char ch : file.param)
                                 if (std::isalnum(static_cast<unsigned char>(ch))) s += ch;
                             return s;
                         });

} // namespace
