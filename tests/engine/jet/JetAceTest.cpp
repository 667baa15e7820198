// ACE (.accdb) files: format detection and the column kinds only they have.
// The samples in data/ were written by an independent Jet/ACE writer
// (tools/AceSamples.java); data/ace-samples.txt lists what it wrote.

#include "JetTestSupport.h"
#include "engine/Recordset.h"
#include "engine/base/Messages.h"
#include "engine/jet/JetInternal.h"

#include <fstream>
#include <iterator>
#include <random>

using engine::EngineError;
using engine::Value;
using engine::jet::ColumnDef;
using engine::jet::JetFile;

namespace {

std::string sample(const std::string& name) {
    return std::string(ACE_DATA_DIR) + "/" + name;
}

const ColumnDef& column(const engine::jet::TableDef& t, const std::string& name) {
    const int i = t.columnIndex(name);
    EXPECT_GE(i, 0) << name;
    return t.columns.at(static_cast<std::size_t>(i < 0 ? 0 : i));
}

Value at(const std::vector<Value>& row, const engine::jet::TableDef& t, const std::string& name) {
    return row.at(static_cast<std::size_t>(t.columnIndex(name)));
}

} // namespace

TEST(JetAce, FormatIsToldByTheHeaderNotTheName) {
    struct Case {
        const char* file;
        int version;
    } cases[] = {{"ace2007.accdb", 2}, {"ace2010.accdb", 3}, {"ace2019.accdb", 6}};
    for (const auto& c : cases) {
        JetFile f = JetFile::open(sample(c.file));
        EXPECT_TRUE(f.header().ace) << c.file;
        EXPECT_EQ(f.header().versionByte, c.version) << c.file;
        EXPECT_EQ(f.header().jetVersion, 4) << c.file;
        EXPECT_FALSE(f.header().hasPassword) << c.file;
        EXPECT_TRUE(f.header().encryption.empty()) << c.file;
    }

    // The same bytes under another name are the same database; a file named
    // .accdb that is not one is refused.
    const auto dir = std::filesystem::temp_directory_path();
    const auto renamed = dir / "tabelko-ace-renamed.dat";
    std::filesystem::copy_file(sample("ace2010.accdb"), renamed,
                               std::filesystem::copy_options::overwrite_existing);
    EXPECT_TRUE(engine::jet::looksLikeJetFile(renamed.string()));
    EXPECT_TRUE(JetFile::open(renamed.string()).header().ace);
    const auto fake = dir / "tabelko-ace-fake.accdb";
    std::ofstream(fake) << std::string(3 * 4096, 'x');
    EXPECT_FALSE(engine::jet::looksLikeJetFile(fake.string()));
    try {
        JetFile::open(fake.string());
        ADD_FAILURE() << "a text file opened";
    } catch (const EngineError& e) {
        EXPECT_EQ(e.number(), engine::msg::NotADatabase.number);
    }
    std::filesystem::remove(renamed);
    std::filesystem::remove(fake);

    // The Jet 4 samples are not taken for ACE.
    JET_REQUIRE_CORPUS("testV2000.mdb");
    EXPECT_FALSE(JetFile::open(jettest::corpusFile("testV2000.mdb")).header().ace);
}

TEST(JetAce, CompactionLogIsASystemTableReadableByName) {
    JetFile f = JetFile::open(sample("ace2007.accdb"));
    bool listed = false;
    for (const auto& e : f.catalog())
        if (e.name == "MSysCompactError") {
            listed = true;
            EXPECT_EQ(e.kind, engine::jet::ObjectKind::SystemTable);
        }
    EXPECT_TRUE(listed);
    const auto t = f.table("MSysCompactError");
    const auto rows = jettest::allRows(f, "MSysCompactError");
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(at(rows[0], t, "ErrorCode").toInt(), -1605);
    EXPECT_EQ(at(rows[0], t, "ErrorTable").text(), "联系人");
    EXPECT_EQ(at(rows[0], t, "ErrorRecid").kind(), Value::Kind::Bytes);
    EXPECT_TRUE(at(rows[0], t, "ErrorRecid").bytes().empty());
}

TEST(JetAce, CalculatedColumnsReadTheirStoredResults) {
    JetFile f = JetFile::open(sample("ace2010.accdb"));
    const auto t = f.table("People");
    for (const char* name : {"AllNames", "QtyTwice", "Total", "Summary", "IsBig"})
        EXPECT_TRUE(column(t, name).calculated) << name;
    EXPECT_FALSE(column(t, "FirstName").calculated);
    // The declared size is the result's, without the stored wrapper.
    EXPECT_EQ(column(t, "AllNames").size, 50);
    EXPECT_EQ(column(t, "AllNames").adoType, engine::adtype::VarWChar);
    EXPECT_EQ(column(t, "QtyTwice").adoType, engine::adtype::Integer);

    const auto rows = jettest::allRows(f, "People");
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(at(rows[0], t, "AllNames").text(), "Ada Lovelace");
    EXPECT_EQ(at(rows[1], t, "AllNames").text(), "王 小明");
    EXPECT_EQ(at(rows[2], t, "AllNames").text(), "Solo ");
    EXPECT_EQ(at(rows[0], t, "QtyTwice").toInt(), 6);
    EXPECT_EQ(at(rows[1], t, "QtyTwice").toInt(), 14);
    EXPECT_TRUE(at(rows[2], t, "QtyTwice").isNull());
    EXPECT_DOUBLE_EQ(at(rows[1], t, "Total").toDouble(), 15.75);
    EXPECT_TRUE(at(rows[2], t, "Total").isNull());
    EXPECT_EQ(at(rows[0], t, "Summary").text(), "Ada：3");
    EXPECT_EQ(at(rows[2], t, "Summary").text(), "Solo：");
    EXPECT_EQ(at(rows[0], t, "IsBig").kind(), Value::Kind::Boolean);
    EXPECT_FALSE(at(rows[0], t, "IsBig").toBool());
    EXPECT_TRUE(at(rows[1], t, "IsBig").toBool());
    EXPECT_TRUE(at(rows[2], t, "IsBig").isNull());
}

TEST(JetAce, BigIntExtendedDatesAndEmptyBinary) {
    JetFile f = JetFile::open(sample("ace2019.accdb"));
    const auto t = f.table("Big");
    EXPECT_EQ(column(t, "Huge").jetType, engine::jet::coltype::BigInt);
    EXPECT_EQ(column(t, "Huge").adoType, engine::adtype::BigInt);
    EXPECT_EQ(column(t, "When").adoType, engine::adtype::Date);
    EXPECT_EQ(column(t, "When").size, 8); // as a date, whatever its stored form
    EXPECT_TRUE(column(t, "HugePlusOne").calculated);
    const auto rows = jettest::allRows(f, "Big");
    ASSERT_EQ(rows.size(), 3u);
    // Beyond a double's 53 bits: the exact integer.
    EXPECT_EQ(at(rows[0], t, "Huge").toInt(), 9007199254740993LL);
    EXPECT_EQ(at(rows[1], t, "Huge").toInt(), -5);
    EXPECT_EQ(at(rows[1], t, "HugePlusOne").toInt(), -4);
    EXPECT_EQ(at(rows[0], t, "When").kind(), Value::Kind::Date);
    EXPECT_EQ(at(rows[0], t, "When").text(), "2024-02-29 13:45:07");
    // Before Jet's calendar (year 100): the day number, as for an old date.
    EXPECT_EQ(at(rows[1], t, "When").kind(), Value::Kind::Double);
    EXPECT_DOUBLE_EQ(at(rows[1], t, "When").toDouble(), -693593.0);
    EXPECT_TRUE(at(rows[2], t, "When").isNull());
    EXPECT_TRUE(at(rows[2], t, "Huge").isNull());
    EXPECT_EQ(at(rows[0], t, "Label").text(), "闰日");

    // A zero-length binary value is an empty value, not a missing one.
    JetFile g = JetFile::open(sample("ace2010.accdb"));
    const auto p = g.table("People");
    const auto people = jettest::allRows(g, "People");
    EXPECT_EQ(at(people[0], p, "Bin").kind(), Value::Kind::Bytes);
    EXPECT_TRUE(at(people[0], p, "Bin").bytes().empty());
    EXPECT_EQ(at(people[1], p, "Bin").bytes(), std::vector<std::uint8_t>{0xAB});
    EXPECT_TRUE(at(people[2], p, "Bin").isNull());
}

TEST(JetAce, ExtendedDateTextsOutsideTheFormAreKept) {
    // A value that is not a date in the extended form is shown as stored,
    // never read past its end.
    std::string t;
    const std::string good = "0000000000000738944:0000000495071234567:7";
    EXPECT_TRUE(engine::jet::extDateText(reinterpret_cast<const std::uint8_t*>(good.data()),
                                         good.size() + 1, t));
    EXPECT_EQ(t, "2024-02-29 13:45:07");
    for (std::string bad : {std::string("0000000000000738944:00000004950712345"),
                            std::string("000000000000073894x:0000000495071234567:7"),
                            std::string("9999999999999999999:0000000000000000000:7"),
                            std::string("0000000000000000000:9999999999999999999:7")})
        EXPECT_FALSE(engine::jet::extDateText(reinterpret_cast<const std::uint8_t*>(bad.data()),
                                              bad.size(), t))
            << bad;
}

TEST(JetAce, ComplexColumnsJoinTheirValuesAndReachAttachments) {
    JetFile f = JetFile::open(sample("acecomplex.accdb"));
    // The flat tables that hold the values are the engine's, not the user's.
    std::vector<std::string> tables;
    for (const auto& e : f.catalog())
        if (e.kind == engine::jet::ObjectKind::Table) tables.push_back(e.name);
    EXPECT_EQ(tables, std::vector<std::string>{"Items"});

    const auto t = f.table("Items");
    EXPECT_EQ(column(t, "Tags").jetType, engine::jet::coltype::Complex);
    EXPECT_EQ(column(t, "Tags").adoType, engine::adtype::LongVarWChar);
    std::vector<std::vector<Value>> rows;
    std::vector<engine::jet::RowId> ids;
    auto cursor = f.cursor("Items");
    std::vector<Value> row;
    while (cursor.next(row)) {
        rows.push_back(row);
        ids.push_back(cursor.position());
    }
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(at(rows[0], t, "Tags").text(), "");
    EXPECT_EQ(at(rows[1], t, "Tags").text(), "红色; blue");
    EXPECT_EQ(at(rows[1], t, "Files").text(), "说明.txt; pic.png");
    EXPECT_TRUE(at(rows[2], t, "Tags").isNull());

    // The attachments' contents: a deflated text file and a stored image.
    const auto files = f.complexItems(t, "Files", ids[1]);
    ASSERT_EQ(files.size(), 2u);
    EXPECT_EQ(files[0].text, "说明.txt");
    EXPECT_EQ(files[0].fileType, "txt");
    EXPECT_EQ(std::string(files[0].data.begin(), files[0].data.end()), "第一行\nsecond line");
    EXPECT_EQ(files[1].data, (std::vector<std::uint8_t>{0x89, 'P', 'N', 'G', 0, 1, 2}));
    EXPECT_EQ(f.complexItems(t, "Tags", ids[1]).size(), 2u);
    EXPECT_TRUE(f.complexItems(t, "Files", ids[2]).empty());
    EXPECT_TRUE(f.complexItems(t, "Name", ids[1]).empty());
}

TEST(JetAce, DamagedAceTablesFailCleanly) {
    // The samples' own tables were written last, at the end of each file:
    // damage there reaches calculated, extended date and complex values.
    std::mt19937 rng(20261208);
    const auto dir = std::filesystem::temp_directory_path();
    const std::string path = (dir / "tabelko-ace-damaged.accdb").string();
    for (const char* file : {"ace2010.accdb", "ace2019.accdb", "acecomplex.accdb"}) {
        std::ifstream in(sample(file), std::ios::binary);
        const std::vector<char> bytes{std::istreambuf_iterator<char>(in),
                                      std::istreambuf_iterator<char>()};
        const std::size_t tail = 24 * 4096;
        for (int round = 0; round < 40; ++round) {
            std::vector<char> m = bytes;
            const int hits = 1 + static_cast<int>(rng() % 32);
            for (int i = 0; i < hits; ++i)
                m[m.size() - tail + rng() % tail] = static_cast<char>(rng());
            std::ofstream(path, std::ios::binary)
                .write(m.data(), static_cast<std::streamsize>(m.size()));
            try {
                JetFile f = JetFile::open(path);
                for (const auto& e : f.catalog()) {
                    if (e.kind != engine::jet::ObjectKind::Table &&
                        e.kind != engine::jet::ObjectKind::SystemTable)
                        continue;
                    const auto t = f.table(e.name);
                    auto cursor = f.cursor(e.name);
                    std::vector<Value> row;
                    while (cursor.next(row))
                        for (const auto& c : t.columns)
                            f.complexItems(t, c.name, cursor.position());
                }
            } catch (const EngineError& e) {
                EXPECT_FALSE(std::string(e.what()).empty());
            }
        }
    }
    std::filesystem::remove(path);
}
