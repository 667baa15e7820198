// Every sample Jet file read through the engine, compared with what the
// mdbtools readers make of the same file: table lists, column names and
// types, row counts and every value in its text form.
//
// mdb-export is run so that its text is exact: dates in our own form, binary
// values in full as hex (its default raw mode stops a long binary value at
// the first zero byte), nulls as an unquoted marker, text quoted. With that
// every value of every sample file agrees, so no difference is tolerated.
#include "Oracle.h"
#include "support/SharedFiles.h"

#include "engine/Catalog.h"
#include "engine/Connection.h"
#include "engine/ConnectionString.h"
#include "engine/Recordset.h"
#include "engine/base/EngineError.h"
#include "engine/jet/JetFile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <map>
#include <set>

using namespace engine;
namespace fs = std::filesystem;

namespace {

const std::string kCorpus = TABELKO_JET_CORPUS_DIR;
const std::string kDateFormat = "%Y-%m-%d %H:%M:%S";
const std::string kNull = "NULL"; // mdb-export's null marker (unquoted)

std::string passwordFor(const std::string& file) {
    return file == "V2000_with-password.mdb" ? "password" : "";
}

// A private copy of a sample file in a fresh folder, removed afterwards.
class CorpusCopy {
public:
    explicit CorpusCopy(const std::string& name) {
        dir_ = fs::temp_directory_path() /
               ("tabelko-jetdiff-" + std::to_string(::getpid()) + "-" + name);
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        fs::copy_file(fs::path(kCorpus) / name, dir_ / name);
        path_ = (dir_ / name).string();
    }
    ~CorpusCopy() {
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }
    const std::string& path() const { return path_; }

private:
    fs::path dir_;
    std::string path_;
};

Connection openEngine(const std::string& path, const std::string& password) {
    Connection c;
    c.CursorLocation = 3;
    c.Open("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + path +
           ";Jet OLEDB:Database Password=" + ConnectionString::quoteValue(password) + ";");
    return c;
}

std::vector<std::string> corpusFiles() {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(kCorpus, ec))
        if (e.is_regular_file() && e.path().extension() == ".mdb")
            names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    // One placeholder keeps the suite registered (and skipped) without samples.
    if (names.empty()) names.push_back("(no sample files)");
    return names;
}

bool haveOracle() {
    return !jetdiff::findOnPath("mdb-export").empty();
}

#define REQUIRE_ORACLE()                                                                           \
    do {                                                                                           \
        REQUIRE_SHARED_FILE(kCorpus);                                                              \
        ASSERT_TRUE(haveOracle()) << "mdb-export is not on PATH: install mdbtools "                \
                                     "(scripts/install-deps.sh) to run the comparison";            \
    } while (0)

// mdb-schema's type word for a column, as the engine describes the column.
std::string schemaWord(CatalogColumn& c) {
    switch (c.Type()) {
    case adtype::VarWChar:
    case adtype::WChar:
        return "Text (" + std::to_string(c.DefinedSize()) + ")";
    case adtype::LongVarWChar:
        return "Memo/Hyperlink (255)";
    case adtype::UnsignedTinyInt:
        return "Byte";
    case adtype::SmallInt:
        return "Integer";
    case adtype::Integer:
        return "Long Integer";
    case adtype::Single:
        return "Single";
    case adtype::Double:
        return "Double";
    case adtype::Currency:
        return "Currency";
    case adtype::Date:
        return "DateTime";
    case adtype::Boolean:
        return "Boolean";
    case adtype::VarBinary:
        return "Binary (" + std::to_string(c.DefinedSize()) + ")";
    case adtype::LongVarBinary:
        return "OLE (255)";
    case adtype::GUID:
        return "Replication ID";
    case adtype::Numeric:
        return "Numeric (" + std::to_string(c.Precision()) + ", " +
               std::to_string(c.NumericScale()) + ")";
    default:
        return "type " + std::to_string(c.Type());
    }
}

std::string hex(const std::vector<std::uint8_t>& bytes) {
    static const char* digits = "0123456789ABCDEF";
    std::string out;
    out.reserve(bytes.size() * 2);
    for (auto b : bytes) {
        out += digits[b >> 4];
        out += digits[b & 15];
    }
    return out;
}

bool parseNumber(const std::string& s, long double& out) {
    if (s.empty()) return false;
    char* end = nullptr;
    out = std::strtold(s.c_str(), &end);
    return end && *end == '\0';
}

// Currency in units of 1/10000, from text such as "-12.3400"; exact.
bool parseScaled(const std::string& s, long long& out) {
    std::size_t i = 0;
    const bool neg = !s.empty() && s[0] == '-';
    if (neg) ++i;
    long long whole = 0, frac = 0;
    int fracDigits = 0;
    bool digits = false;
    for (; i < s.size() && std::isdigit(static_cast<unsigned char>(s[i])); ++i, digits = true)
        whole = whole * 10 + (s[i] - '0');
    if (i < s.size() && s[i] == '.')
        for (++i; i < s.size() && std::isdigit(static_cast<unsigned char>(s[i])); ++i)
            if (fracDigits < 4) frac = frac * 10 + (s[i] - '0'), ++fracDigits;
    if (i != s.size() || !digits) return false;
    while (fracDigits++ < 4)
        frac *= 10;
    out = (neg ? -1 : 1) * (whole * 10000 + frac);
    return true;
}

bool closeEnough(long double a, long double b, long double relative) {
    if (a == b) return true;
    return std::fabs(a - b) <= relative * std::max(std::fabs(a), std::fabs(b));
}

// Compares one value. Returns "" when equal, else a description of the
// difference.
std::string compareValue(int type, const Value& mine, const jetdiff::CsvField& theirs) {
    const bool theirNull = !theirs.quoted && theirs.text == kNull;
    if (mine.isNull() || theirNull) {
        if (mine.isNull() && theirNull) return {};
        return "null on one side only";
    }
    const std::string text = mine.toText();
    switch (type) {
    case adtype::Boolean:
        if ((text == "True" && theirs.text == "1") || (text == "False" && theirs.text == "0"))
            return {};
        break;
    case adtype::UnsignedTinyInt:
    case adtype::SmallInt:
    case adtype::Integer:
    case adtype::BigInt:
        if (text == theirs.text) return {};
        break;
    case adtype::Currency: {
        long long a = 0, b = 0;
        if (parseScaled(text, a) && parseScaled(theirs.text, b) && a == b) return {};
        break;
    }
    case adtype::Single:
    case adtype::Double:
    case adtype::Numeric: {
        long double a = 0, b = 0;
        // mdb-export prints singles with about 7 significant digits.
        const long double tolerance = type == adtype::Single ? 1e-6L : 1e-12L;
        if (parseNumber(text, a) && parseNumber(theirs.text, b) && closeEnough(a, b, tolerance))
            return {};
        break;
    }
    case adtype::VarBinary:
    case adtype::LongVarBinary: {
        const std::string mineHex = hex(mine.bytes());
        if (mineHex == theirs.text) return {};
        return "bytes " + mineHex.substr(0, 80) + " vs " + theirs.text.substr(0, 80);
    }
    default: // text, memo, dates, GUIDs
        if (text == theirs.text) return {};
        break;
    }
    return "'" + text.substr(0, 80) + "' vs '" + theirs.text.substr(0, 80) + "'";
}

// Whether a column takes part in pairing rows: only those whose text both
// sides print identically.
bool exactColumn(int type) {
    switch (type) {
    case adtype::Single:
    case adtype::Double:
    case adtype::Numeric:
    case adtype::Currency:
    case adtype::VarBinary:
    case adtype::LongVarBinary:
        return false;
    default:
        return true;
    }
}

std::vector<std::string> sortKey(const std::vector<int>& types, const std::vector<Value>& row) {
    std::vector<std::string> key;
    for (std::size_t i = 0; i < types.size(); ++i) {
        if (!exactColumn(types[i])) continue;
        const Value& v = row[i];
        if (v.isNull())
            key.push_back("\x01");
        else if (types[i] == adtype::Boolean)
            key.push_back(v.toBool() ? "1" : "0");
        else
            key.push_back(v.toText());
    }
    return key;
}

std::vector<std::string> sortKey(const std::vector<int>& types, const jetdiff::CsvRow& row) {
    std::vector<std::string> key;
    for (std::size_t i = 0; i < types.size(); ++i) {
        if (!exactColumn(types[i])) continue;
        const auto& f = row[i];
        key.push_back(!f.quoted && f.text == kNull ? "\x01" : f.text);
    }
    return key;
}

class EveryFile : public ::testing::TestWithParam<std::string> {};

TEST_P(EveryFile, SameTablesColumnsAndValuesAsMdbtools) {
    REQUIRE_ORACLE();
    const std::string name = GetParam();
    const CorpusCopy copy(name);
    Connection c = openEngine(copy.path(), passwordFor(name));

    // Tables.
    std::vector<std::string> mine;
    for (auto rs = c.OpenSchema(20); !rs.Eof(); rs.MoveNext())
        if (rs["TABLE_TYPE"].GetValue().text() == "TABLE")
            mine.push_back(rs["TABLE_NAME"].GetValue().text());
    const auto listed = jetdiff::run({"mdb-tables", "-1", copy.path()});
    ASSERT_EQ(listed.status, 0) << "mdb-tables failed on " << name;
    std::vector<std::string> theirs = jetdiff::lines(listed.out);
    std::sort(mine.begin(), mine.end());
    std::sort(theirs.begin(), theirs.end());
    EXPECT_EQ(mine, theirs) << name;

    // Columns and types.
    const auto schemaOut = jetdiff::run({"mdb-schema", copy.path()});
    ASSERT_EQ(schemaOut.status, 0) << "mdb-schema failed on " << name;
    const auto schema = jetdiff::parseSchema(schemaOut.out);
    Catalog cat;
    cat.SetActiveConnection(c);
    for (const auto& [table, columns] : schema) {
        if (std::find(mine.begin(), mine.end(), table) == mine.end()) continue;
        auto& cols = cat.Tables()[table].Columns();
        std::vector<std::string> a, b;
        for (auto& col : cols)
            a.push_back(col.Name() + " " + schemaWord(col));
        for (const auto& col : columns)
            b.push_back(col.name + " " + col.type);
        EXPECT_EQ(a, b) << name << " " << table;
    }

    // Rows and values, in the order both read them (page order).
    long values = 0;
    for (const auto& table : mine) {
        const auto exported = jetdiff::run(
            {"mdb-export", "-T", kDateFormat, "-b", "hex", "-0", kNull, copy.path(), table});
        ASSERT_EQ(exported.status, 0) << "mdb-export failed on " << name << " " << table;
        const auto rows = jetdiff::parseCsv(exported.out);
        ASSERT_FALSE(rows.empty()) << name << " " << table << ": no header from mdb-export";

        Recordset rs = c.Execute("select * from [" + table + "]");
        const int n = rs.GetFields().Count();
        std::vector<std::string> header, theirHeader;
        for (int i = 0; i < n; ++i)
            header.push_back(rs[i].Name());
        for (const auto& f : rows[0])
            theirHeader.push_back(f.text);
        ASSERT_EQ(header, theirHeader) << name << " " << table;
        ASSERT_EQ(rs.RecordCount(), static_cast<long>(rows.size() - 1)) << name << " " << table;

        // SQLite may hand the rows back in key order rather than page order:
        // pair the rows up by the columns that compare exactly.
        std::vector<int> types;
        for (int i = 0; i < n; ++i)
            types.push_back(rs[i].Type());
        std::vector<std::vector<Value>> myRows;
        for (; !rs.Eof(); rs.MoveNext()) {
            myRows.emplace_back();
            for (int i = 0; i < n; ++i)
                myRows.back().push_back(rs[i].GetValue());
        }
        std::vector<jetdiff::CsvRow> theirRows(rows.begin() + 1, rows.end());
        for (std::size_t r = 0; r < theirRows.size(); ++r)
            ASSERT_EQ(theirRows[r].size(), static_cast<std::size_t>(n))
                << name << " " << table << " row " << r + 1;
        std::sort(myRows.begin(), myRows.end(), [&](const auto& x, const auto& y) {
            return sortKey(types, x) < sortKey(types, y);
        });
        std::sort(theirRows.begin(), theirRows.end(), [&](const auto& x, const auto& y) {
            return sortKey(types, x) < sortKey(types, y);
        });

        int failures = 0;
        for (std::size_t r = 0; r < myRows.size() && failures < 10; ++r) {
            for (int i = 0; i < n; ++i) {
                ++values;
                const std::string diff = compareValue(types[i], myRows[r][i], theirRows[r][i]);
                if (diff.empty()) continue;
                ADD_FAILURE() << name << " " << table << " column " << header[i] << ": " << diff;
                if (++failures == 10) break;
            }
        }
    }
    std::cout << "[ compared ] " << name << ": " << mine.size() << " tables, " << values
              << " values\n";
}

INSTANTIATE_TEST_SUITE_P(Corpus, EveryFile, ::testing::ValuesIn(corpusFiles()),
                         [](const auto& file) {
                             std::string s;
                             for (char ch : file.param)
                                 s += std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
                             return s;
                         });

} // namespace
