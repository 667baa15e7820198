// Catalogue, table definitions, indexes and row values, checked against
// what the independent readers (mdb-export, mdb-reader) show for the same files.

#include "JetTestSupport.h"
#include "engine/base/AdoType.h"
#include "engine/base/Messages.h"
#include "engine/jet/JetInternal.h"

#include <algorithm>
#include <chrono>
#include <cstdio>

using engine::Value;
using engine::jet::JetFile;
using engine::jet::ObjectKind;
using engine::jet::TableDef;
using jettest::allRows;
using jettest::corpusFile;
using jettest::texts;
namespace adtype = engine::adtype;
namespace coltype = engine::jet::coltype;

namespace {

std::vector<std::string> namesOf(const JetFile& f, ObjectKind kind) {
    std::vector<std::string> out;
    for (const auto& e : f.catalog())
        if (e.kind == kind) out.push_back(e.name);
    std::sort(out.begin(), out.end());
    return out;
}

} // namespace

TEST(JetCatalog, ListsUserAndSystemTablesAndQueries) {
    JET_REQUIRE_CORPUS("queryTestV2000.mdb");
    for (const char* file : {"testV2000.mdb", "testV1997.mdb"}) {
        JetFile f = JetFile::open(corpusFile(file));
        EXPECT_EQ(namesOf(f, ObjectKind::Table),
                  (std::vector<std::string>{"Table1", "Table2", "Table3", "Table4"}))
            << file;
        auto sys = namesOf(f, ObjectKind::SystemTable);
        EXPECT_NE(std::find(sys.begin(), sys.end(), "MSysObjects"), sys.end()) << file;
        EXPECT_NE(std::find(sys.begin(), sys.end(), "MSysQueries"), sys.end()) << file;
    }
    JetFile q = JetFile::open(corpusFile("queryTestV2000.mdb"));
    EXPECT_EQ(namesOf(q, ObjectKind::Query).size(), 9u);
    EXPECT_EQ(namesOf(q, ObjectKind::Table),
              (std::vector<std::string>{"Table1", "Table2", "Table3"}));
}

TEST(JetCatalog, UnknownTableIsReportedByName) {
    JET_REQUIRE_CORPUS("testV2000.mdb");
    JetFile f = JetFile::open(corpusFile("testV2000.mdb"));
    try {
        f.table("NoSuchTable");
        FAIL();
    } catch (const engine::EngineError& e) {
        EXPECT_EQ(e.number(), engine::msg::UnknownTable.number);
        EXPECT_NE(std::string(e.what()).find("NoSuchTable"), std::string::npos);
    }
    // Names are matched without regard to case, as Jet does.
    EXPECT_EQ(f.table("table1").name, "Table1");
}

TEST(JetTableDef, ColumnsOfEveryPlainType) {
    JET_REQUIRE_CORPUS("testV2000.mdb");
    for (const char* file : {"testV2000.mdb", "testV1997.mdb"}) {
        TableDef t = JetFile::open(corpusFile(file)).table("Table1");
        ASSERT_EQ(t.columns.size(), 9u) << file;
        const int jet[] = {coltype::Text,     coltype::Text,     coltype::Byte,
                           coltype::Integer,  coltype::Long,     coltype::Double,
                           coltype::DateTime, coltype::Currency, coltype::Boolean};
        const int ado[] = {adtype::VarWChar, adtype::VarWChar, adtype::UnsignedTinyInt,
                           adtype::SmallInt, adtype::Integer,  adtype::Double,
                           adtype::Date,     adtype::Currency, adtype::Boolean};
        for (int i = 0; i < 9; ++i) {
            EXPECT_EQ(t.columns[i].name, std::string(1, static_cast<char>('A' + i))) << file;
            EXPECT_EQ(t.columns[i].jetType, jet[i]) << file << " column " << i;
            EXPECT_EQ(t.columns[i].adoType, ado[i]) << file << " column " << i;
            EXPECT_EQ(t.columns[i].ordinal, i);
        }
        EXPECT_EQ(t.columns[0].size, 50) << file; // characters, not bytes
        EXPECT_EQ(t.columns[1].size, 100) << file;
        EXPECT_FALSE(t.columns[0].fixedLength);
        EXPECT_TRUE(t.columns[4].fixedLength);
    }
}

TEST(JetRows, ValuesOfEveryPlainType) {
    JET_REQUIRE_CORPUS("testV2000.mdb");
    for (const char* file : {"testV2000.mdb", "testV1997.mdb", "testRefGlobalV2000.mdb"}) {
        auto rows = allRows(JetFile::open(corpusFile(file)), "Table1");
        ASSERT_EQ(rows.size(), 2u) << file;
        auto& r = rows[0][0].text() == "abcdefg" ? rows[0] : rows[1];
        EXPECT_EQ(texts(r),
                  (std::vector<std::string>{"abcdefg", "hijklmnop", "2", "222", "333333333",
                                            "444.555", "1974-09-21 00:00:00", "3.5", "True"}))
            << file;
        EXPECT_EQ(r[2].kind(), Value::Kind::Integer);
        EXPECT_EQ(r[5].kind(), Value::Kind::Double);
        EXPECT_EQ(r[6].kind(), Value::Kind::Date);
        EXPECT_EQ(r[7].kind(), Value::Kind::Currency);
        EXPECT_EQ(r[7].currencyScaled(), 35000);
        EXPECT_EQ(r[8].kind(), Value::Kind::Boolean);
    }
}

TEST(JetRows, CompressedUnicodeIncludingCjk) {
    JET_REQUIRE_CORPUS("testUnicodeCompV2003.mdb");
    auto rows = allRows(JetFile::open(corpusFile("testUnicodeCompV2003.mdb")), "Table");
    ASSERT_EQ(rows.size(), 8u);
    std::vector<std::string> got;
    for (auto& r : rows)
        got.push_back(r[1].text());
    EXPECT_EQ(got[0], "only ascii chars");
    EXPECT_EQ(got[1], "ääkkösiä");
    EXPECT_EQ(got[2], "Мир");
    EXPECT_EQ(got[3], "\xCF\xB0\xCE\xB1\xE1\xBD\xB6 \xCF\x84\xE1\xBD\xB9\xCF\x84' "
                      "\xE1\xBC\x90\xCE\xB3\xE1\xBD\xBC \xCE\x9A\xE1\xBD\xBB\xCF\xB0\xCE\xBB"
                      "\xCF\x89\xCF\x80\xCE\xB1");
    EXPECT_EQ(got[4], "漢字仮名交じり文");
    EXPECT_EQ(got[6], "ümlaut");
    EXPECT_EQ(got[7].substr(0, 3), "\x01\x02\x03");
    EXPECT_NE(got[7].find("0123456789:;<=>?@ABC"), std::string::npos);
}

TEST(JetRows, OverflowRowsAreFollowed) {
    JET_REQUIRE_CORPUS("overflowTestV2000.mdb");
    for (const char* file : {"overflowTestV2000.mdb", "overflowTestV1997.mdb"}) {
        auto rows = allRows(JetFile::open(corpusFile(file)), "Table1");
        ASSERT_EQ(rows.size(), 7u) << file;
        std::vector<std::string> seen;
        for (auto& r : rows)
            for (auto& v : r)
                if (!v.isNull()) seen.push_back(v.text());
        std::sort(seen.begin(), seen.end());
        // The rows moved to other pages carry these values.
        EXPECT_TRUE(std::binary_search(seen.begin(), seen.end(), "row3col3")) << file;
        EXPECT_TRUE(std::binary_search(seen.begin(), seen.end(), "row3col9")) << file;
        EXPECT_TRUE(std::binary_search(seen.begin(), seen.end(), "row5col2")) << file;
        EXPECT_EQ(seen.size(), 12u) << file;
    }
}

TEST(JetRows, DeletedRowsAndColumnsAreLeftOut) {
    JET_REQUIRE_CORPUS("delTestV2000.mdb");
    auto del = allRows(JetFile::open(corpusFile("delTestV2000.mdb")), "Table");
    ASSERT_EQ(del.size(), 2u);
    EXPECT_EQ(texts(del[0]), (std::vector<std::string>{"z", "y"}));
    EXPECT_EQ(texts(del[1]), (std::vector<std::string>{"v", "u"}));

    for (const char* file : {"delColTestV2000.mdb", "delColTestV1997.mdb"}) {
        JetFile f = JetFile::open(corpusFile(file));
        TableDef t = f.table("Table1");
        std::vector<std::string> names;
        for (auto& c : t.columns)
            names.push_back(c.name);
        EXPECT_EQ(names, (std::vector<std::string>{"id", "id2", "data", "data2"})) << file;
        auto rows = allRows(f, "Table1");
        ASSERT_EQ(rows.size(), 2u) << file;
        EXPECT_EQ(texts(rows[0]), (std::vector<std::string>{"0", "2", "foo", "foo2"})) << file;
        EXPECT_EQ(texts(rows[1]), (std::vector<std::string>{"3", "5", "bar", "bar2"})) << file;
    }
    // In the Jet 4 file the deleted columns leave gaps in the numbering.
    TableDef t = JetFile::open(corpusFile("delColTestV2000.mdb")).table("Table1");
    EXPECT_EQ(t.columns[1].columnNumber, 2);
    EXPECT_EQ(t.columns[3].columnNumber, 5);
}

TEST(JetRows, NumericAndFixedText) {
    JET_REQUIRE_CORPUS("fixedNumericTestV2000.mdb");
    JetFile n = JetFile::open(corpusFile("fixedNumericTestV2000.mdb"));
    TableDef t = n.table("test");
    EXPECT_EQ(t.columns[1].adoType, adtype::Numeric);
    EXPECT_EQ(t.columns[1].precision, 18);
    EXPECT_EQ(t.columns[1].scale, 0);
    auto rows = allRows(n, "test");
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(texts(rows[0]),
              (std::vector<std::string>{"some data", "1", "0", "0", "4", "-1", "1"}));

    JetFile ft = JetFile::open(corpusFile("fixedTextTestV2000.mdb"));
    TableDef u = ft.table("users");
    const auto& flag = u.columns[static_cast<std::size_t>(u.columnIndex("c_flag_"))];
    EXPECT_TRUE(flag.fixedLength);
    EXPECT_EQ(flag.adoType, adtype::WChar);
    EXPECT_EQ(flag.size, 1);
    // Required comes from the designer's properties kept with the table.
    for (const auto& c : u.columns)
        EXPECT_TRUE(c.required) << c.name;
    for (const auto& c : JetFile::open(corpusFile("testV2000.mdb")).table("Table1").columns)
        EXPECT_FALSE(c.required) << c.name;
    auto users = allRows(ft, "users");
    ASSERT_EQ(users.size(), 2u);
    EXPECT_EQ(texts(users[1]), (std::vector<std::string>{
                                   "2", "admin", "X03MO1qnZdYdgyfeuILPmQ==", "-1", "Admin User",
                                   "1", "81928", "120", "N", "2009-10-22 03:57:13"}));
}

TEST(JetRows, MemoAndOleValuesOutsideTheRow) {
    JET_REQUIRE_CORPUS("test2V2000.mdb");
    JetFile f = JetFile::open(corpusFile("test2V2000.mdb"));
    TableDef t = f.table("MSP_PROJECTS");
    auto rows = allRows(f, "MSP_PROJECTS");
    ASSERT_EQ(rows.size(), 1u);
    const std::string author =
        rows[0][static_cast<std::size_t>(t.columnIndex("PROJ_PROP_AUTHOR"))].text();
    EXPECT_EQ(author.size(), 348u);
    EXPECT_EQ(author.substr(0, 32), "Jon Iles this is a a vawesrasoih");
    EXPECT_EQ(author.substr(318), "fj lkasj dlkfslkd jflksjadf as");

    // Long binary values, compared by length and a running hash with mdb-reader.
    JetFile u = JetFile::open(corpusFile("testUnicodeCompV2003.mdb"));
    TableDef s = u.table("MSysAccessStorage");
    const auto id = static_cast<std::size_t>(s.columnIndex("ID"));
    const auto lv = static_cast<std::size_t>(s.columnIndex("Lv"));
    int checked = 0;
    u.forEachRow("MSysAccessStorage", [&](const std::vector<Value>& r) {
        if (r[id].toInt() != 116 && r[id].toInt() != 119) return true;
        std::uint32_t h = 0;
        for (auto b : r[lv].bytes())
            h = h * 31 + b;
        if (r[id].toInt() == 116) {
            EXPECT_EQ(r[lv].bytes().size(), 2389u);
            EXPECT_EQ(h, 3865463224u);
        } else {
            EXPECT_EQ(r[lv].bytes().size(), 305u);
            EXPECT_EQ(h, 4142714693u);
        }
        ++checked;
        return true;
    });
    EXPECT_EQ(checked, 2);
}

TEST(JetIndexes, PrimaryUniqueAndForeignKeys) {
    JET_REQUIRE_CORPUS("indexTestV2000.mdb");
    for (const char* file : {"indexTestV2000.mdb", "indexTestV1997.mdb"}) {
        TableDef t = JetFile::open(corpusFile(file)).table("Table1");
        auto pk =
            std::find_if(t.indexes.begin(), t.indexes.end(), [](auto& i) { return i.primary; });
        ASSERT_NE(pk, t.indexes.end()) << file;
        EXPECT_EQ(pk->name, "PrimaryKey");
        EXPECT_EQ(pk->columns, std::vector<std::string>{"id"});
        EXPECT_TRUE(pk->unique);
        int foreign = 0;
        for (auto& i : t.indexes)
            foreign += i.foreign;
        EXPECT_GE(foreign, 2) << file;
    }
    JET_REQUIRE_CORPUS("compIndexTestV2000.mdb");
    JetFile comp = JetFile::open(corpusFile("compIndexTestV2000.mdb"));
    TableDef c = comp.table("Table1");
    auto agent = std::find_if(c.indexes.begin(), c.indexes.end(),
                              [](auto& i) { return i.name == "CD_AGENTE"; });
    ASSERT_NE(agent, c.indexes.end());
    EXPECT_EQ(agent->descending, std::vector<bool>{true});
    EXPECT_FALSE(agent->unique);
    TableDef objects = comp.table("MSysObjects");
    auto pn = std::find_if(objects.indexes.begin(), objects.indexes.end(),
                           [](auto& i) { return i.name == "ParentIdName"; });
    ASSERT_NE(pn, objects.indexes.end());
    EXPECT_EQ(pn->columns, (std::vector<std::string>{"ParentId", "Name"}));
}

TEST(JetRows, CursorPositionsReadTheSameRowAgain) {
    JET_REQUIRE_CORPUS("testUnicodeCompV2003.mdb");
    JetFile f = JetFile::open(corpusFile("testUnicodeCompV2003.mdb"));
    auto cur = f.cursor("Table");
    std::vector<Value> row;
    std::vector<std::pair<engine::jet::RowId, std::vector<Value>>> seen;
    while (cur.next(row))
        seen.emplace_back(cur.position(), row);
    ASSERT_EQ(seen.size(), 8u);
    for (auto it = seen.rbegin(); it != seen.rend(); ++it)
        EXPECT_EQ(f.readRow(cur.table(), it->first), it->second);
    // A position of another table's page is refused, not misread.
    TableDef other = f.table("MSysObjects");
    EXPECT_THROW(f.readRow(other, seen[0].first), engine::EngineError);
}

TEST(JetCodec, OleDatesToCanonicalText) {
    std::string t;
    ASSERT_TRUE(engine::jet::oleDateText(0.0, t));
    EXPECT_EQ(t, "1899-12-30 00:00:00");
    ASSERT_TRUE(engine::jet::oleDateText(-1.25, t)); // negative days keep a positive time
    EXPECT_EQ(t, "1899-12-29 06:00:00");
    ASSERT_TRUE(engine::jet::oleDateText(2.9999999999, t)); // rounds into the next day
    EXPECT_EQ(t, "1900-01-02 00:00:00");
    ASSERT_TRUE(engine::jet::oleDateText(36526.5, t));
    EXPECT_EQ(t, "2000-01-01 12:00:00");
    ASSERT_TRUE(engine::jet::oleDateText(-657434.0, t));
    EXPECT_EQ(t, "0100-01-01 00:00:00");
    EXPECT_FALSE(engine::jet::oleDateText(1e300, t));
    // The last instant of the range rounds into a five-digit year.
    ASSERT_TRUE(engine::jet::oleDateText(2958465.9999999, t));
    EXPECT_EQ(t, "10000-01-01 00:00:00");

    // Whole days across the calendar Jet accepts, against the standard
    // library's calendar.
    using namespace std::chrono;
    constexpr sys_days epoch = year{1899} / December / 30;
    for (long day = -657434; day <= 2958465; day += 997) {
        const year_month_day ymd{epoch + days{day}};
        char want[32];
        std::snprintf(want, sizeof want, "%04d-%02u-%02u 13:46:40", static_cast<int>(ymd.year()),
                      static_cast<unsigned>(ymd.month()), static_cast<unsigned>(ymd.day()));
        // 13:46:40 after midnight, counted forwards also before day 0.
        const double frac = (13 * 3600 + 46 * 60 + 40) / 86400.0;
        ASSERT_TRUE(engine::jet::oleDateText(day < 0 ? day - frac : day + frac, t)) << day;
        EXPECT_EQ(t, want) << day;
    }
}

TEST(JetCodec, TextAndNumbers) {
    // Compressed: bytes stand for U+0000..U+00FF until a zero switches to two-byte units.
    const std::uint8_t comp[] = {0xFF, 0xFE, 'a', 0xE4, 0x00, 0x22, 0x6F, 0x00, 'z'};
    EXPECT_EQ(engine::jet::jet4Text(comp, sizeof comp), "aä漢z");
    // Single bytes throughout, high ones included; a text of the marker alone.
    const std::uint8_t latin[] = {0xFF, 0xFE, 'N', 0xE9, 0xFF, ' ', 0x80};
    EXPECT_EQ(engine::jet::jet4Text(latin, sizeof latin), "Né\u00FF \u0080");
    EXPECT_EQ(engine::jet::jet4Text(latin, 2), "");
    // A surrogate pair split by two switches still joins; a lone one is U+FFFD.
    const std::uint8_t split[] = {0xFF, 0xFE, 0x00, 0x3D, 0xD8, 0x00, 0x00, 0x01, 0xDE};
    EXPECT_EQ(engine::jet::jet4Text(split, sizeof split), "\xF0\x9F\x98\x81");
    const std::uint8_t lone[] = {'a', 0, 0x3D, 0xD8, 'b', 0};
    EXPECT_EQ(engine::jet::utf16ToUtf8(lone, sizeof lone), "a\uFFFDb");
    const std::uint8_t pair[] = {0x3D, 0xD8, 0x00, 0xDE};
    EXPECT_EQ(engine::jet::utf16ToUtf8(pair, 4), "\xF0\x9F\x98\x80");
    const std::uint8_t cp[] = {'a', 0x80, 0xE9};
    EXPECT_EQ(engine::jet::codePageText(cp, 3, 1252), "a€é");

    std::uint8_t dec[17] = {0x80};
    dec[13] = 0x39; // -12345 at scale 2, in the least significant word
    dec[14] = 0x30;
    EXPECT_EQ(engine::jet::numericValue(dec, 2).toDouble(), -123.45);
    std::uint8_t wide[17] = {0};
    wide[1] = 0x01; // 2^96
    EXPECT_EQ(engine::jet::numericValue(wide, 0).text(), "79228162514264337593543950336");
    EXPECT_EQ(engine::jet::numericValue(wide, 30).text(), "0.079228162514264337593543950336");

    const std::uint8_t g[16] = {0xD4, 0x78, 0x81, 0xBF, 0x98, 0xEB, 0xA3, 0x47,
                                0x9E, 0xDA, 0x6D, 0x21, 0xC3, 0x26, 0xC5, 0xC8};
    EXPECT_EQ(engine::jet::guidText(g), "{BF8178D4-EB98-47A3-9EDA-6D21C326C5C8}");
}
