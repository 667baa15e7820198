// The index writer against real files: the keys it computes for every row
// of the sample files must equal, byte for byte, the entries their writers
// put into the index pages; entries removed and added back through it must
// leave trees that an independent reader validates entry by entry.

#include "engine/jet/JetIndexWriter.h"
#include "JetTestSupport.h"
#include "engine/base/Messages.h"
#include "engine/jet/JetIndexKeys.h"
#include "engine/jet/JetInternal.h"
#include "engine/jet/JetPageStore.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <random>
#include <set>

using namespace engine;
using namespace engine::jet;
namespace fs = std::filesystem;

namespace {

std::string hex(const std::vector<std::uint8_t>& b) {
    std::string s;
    char buf[4];
    for (auto x : b) {
        std::snprintf(buf, sizeof buf, "%02X ", x);
        s += buf;
    }
    return s;
}

// A private copy of a file under a fresh temporary directory.
struct TempCopy {
    fs::path dir;
    std::string path;
    explicit TempCopy(const std::string& from) {
        dir = fs::temp_directory_path() /
              ("tabelko-ixw-" + std::to_string(::getpid()) + "-" + std::to_string(counter()++));
        fs::create_directories(dir);
        path = (dir / fs::path(from).filename()).string();
        fs::copy_file(from, path);
        fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write);
    }
    ~TempCopy() {
        std::error_code ec;
        fs::remove_all(dir, ec);
    }
    static int& counter() {
        static int n = 0;
        return n;
    }
};

struct KeyTally {
    long matched = 0, mismatched = 0, tables = 0, indexes = 0;
    std::set<std::string> unsupported;
    std::map<std::string, int> sortOrders; // of the files' headers
    std::vector<std::string> problems;
};

std::string jettoolPath() {
    return std::string(JET_CORPUS_DIR) + "/../../tools/jettool/jettool";
}

// A file of `rows` rows made by the independent writer (tables T and 客户,
// with a primary key and a text index each), kept under /tmp between runs
// as the benchmark keeps its files. Empty when it cannot be made.
std::string bigFile(long rows) {
    const fs::path dir = fs::temp_directory_path() / "tabelko-jetbench";
    const std::string mdb = (dir / ("big-" + std::to_string(rows) + ".mdb")).string();
    if (fs::exists(mdb)) return mdb;
    fs::create_directories(dir);
    const std::string part = mdb + ".part." + std::to_string(::getpid());
    const std::string cmd = "'" + jettoolPath() + "' create-big '" + part + "' " +
                            std::to_string(rows) + " > /dev/null 2>&1";
    if (std::system(cmd.c_str()) != 0 || !fs::exists(part)) return {};
    fs::rename(part, mdb);
    return mdb;
}

// Runs the independent checker; its report when it finds problems.
bool jettoolCheck(const std::string& path, std::string& report) {
    const std::string cmd = "'" + jettoolPath() + "' check '" + path + "' 2>&1";
    std::FILE* p = ::popen(cmd.c_str(), "r");
    if (!p) return false;
    char buf[512];
    report.clear();
    while (std::fgets(buf, sizeof buf, p))
        report += buf;
    return ::pclose(p) == 0;
}

// Compares every index of every table of `file` with the keys computed from
// the rows.
void compareKeys(const std::string& path, const std::string& password, KeyTally& tally) {
    TempCopy copy(path);
    JetFile f = JetFile::open(copy.path, password);
    if (f.header().jetVersion != 4 || f.header().ace) return;
    {
        // The header's sort order, in its masked region.
        std::vector<std::uint8_t> h(0x18 + 128);
        std::FILE* in = std::fopen(copy.path.c_str(), "rb");
        ASSERT_TRUE(in);
        ASSERT_EQ(std::fread(h.data(), 1, h.size(), in), h.size());
        std::fclose(in);
        const std::uint8_t mask[4] = {0xC7, 0xDA, 0x39, 0x6B};
        rc4(mask, 4, h.data() + 0x18, 128);
        ++tally.sortOrders[sortOrderName({h[0x6E] | (h[0x6F] << 8), h[0x71]})];
    }
    auto store = PageStore::open(f);
    for (const auto& entry : f.catalog()) {
        if (entry.kind != ObjectKind::Table && entry.kind != ObjectKind::SystemTable) continue;
        TableDef def = f.table(entry.name);
        if (def.indexes.empty()) continue;
        IndexMaintainer m(store, def);
        if (!m.unsupportedReason().empty()) {
            tally.unsupported.insert(m.unsupportedReason());
            continue;
        }
        ++tally.tables;
        std::vector<std::pair<RowId, std::vector<Value>>> rows;
        RowCursor c = f.cursor(entry.name);
        std::vector<Value> row;
        while (c.next(row))
            rows.emplace_back(c.position(), row);
        for (std::size_t i = 0; i < m.indexCount(); ++i) {
            ++tally.indexes;
            std::map<std::pair<std::uint32_t, int>, std::vector<std::uint8_t>> stored;
            for (const auto& e : m.entries(i))
                stored[{e.row.page, e.row.slot}] = e.key;
            for (const auto& [id, values] : rows) {
                auto key = m.key(i, values);
                auto it = stored.find({id.page, id.slot});
                if (!key) {
                    if (it != stored.end()) {
                        ++tally.mismatched;
                        tally.problems.push_back(fs::path(path).filename().string() + " " +
                                                 entry.name + "." + m.indexName(i) +
                                                 ": entry for a row that should have none");
                    }
                    continue;
                }
                if (it != stored.end() && it->second == *key) {
                    ++tally.matched;
                    continue;
                }
                ++tally.mismatched;
                if (tally.problems.size() < 20)
                    tally.problems.push_back(
                        fs::path(path).filename().string() + " " + entry.name + "." +
                        m.indexName(i) + " row " + std::to_string(id.page) + ":" +
                        std::to_string(id.slot) + "\n  computed " + hex(*key) + "\n  stored   " +
                        (it == stored.end() ? std::string("(none)") : hex(it->second)));
            }
        }
    }
}

} // namespace

TEST(JetIndexKeys, KnownKeys) {
    auto text = [](const char16_t* s, bool desc, TextOrder o = TextOrder::GeneralLegacy) {
        std::vector<std::uint8_t> out;
        appendTextKey(out, s, desc, o);
        return hex(out);
    };
    // Case, accents, spaces, punctuation, kana, surrogates, Chinese.
    EXPECT_EQ(text(u"Ab c", false), "4A 4C 07 4D 01 00 ");
    EXPECT_EQ(text(u"abc  ", false), "4A 4C 4D 01 00 ");
    EXPECT_EQ(text(u"abc", true), "B5 B3 B2 FE FF 00 ");
    EXPECT_EQ(text(u"café", false), "4D 4A 53 51 01 02 02 02 0E 00 ");
    EXPECT_EQ(text(u"a\u0301", false), "4A 01 0E 00 ");
    EXPECT_EQ(text(u"\u0301a", false), "4A 01 0C 00 ");
    EXPECT_EQ(text(u"a-é", false), "4A 51 01 02 0E 01 01 01 80 0B 06 82 00 ");
    EXPECT_EQ(text(u"é-a", false), "51 4A 01 0E 01 01 01 80 0B 06 82 00 ");
    EXPECT_EQ(text(u"a'b-c", false), "4A 4C 4D 01 01 01 01 80 0B 06 80 80 0F 06 82 00 ");
    EXPECT_EQ(text(u"ぁあ", false), "7F 02 7F 02 01 01 01 A0 FF 02 80 FF 80 00 ");
    EXPECT_EQ(text(u"\U0001D11E", false), "B0 36 B6 1A 01 3F 3F 00 ");
    EXPECT_EQ(text(u"客户", false), "AC FA B3 A0 01 00 ");
    EXPECT_EQ(text(u"e-mail", true), "AE 9F B5 A6 A1 FE FE FE FE 7F F4 F9 7D FF 00 ");
    EXPECT_EQ(text(u"", false), "01 00 ");
    EXPECT_EQ(text(u"客户", false, TextOrder::General), "FD FF 4A 28 FD FF 50 C9 01 00 ");
    EXPECT_EQ(text(u"e-mail", false, TextOrder::General),
              "0E 21 0E 51 0E 02 0E 32 0E 48 01 01 01 01 80 0B 06 82 00 ");

    auto col = [](int type, const Value& v, bool desc, int scale = 0) {
        ColumnDef c;
        c.jetType = type;
        c.scale = scale;
        std::vector<std::uint8_t> out;
        EXPECT_TRUE(appendColumnKey(out, c, v, desc, TextOrder::GeneralLegacy));
        return hex(out);
    };
    EXPECT_EQ(col(coltype::Long, Value(-1), false), "7F 7F FF FF FF ");
    EXPECT_EQ(col(coltype::Long, Value(1), true), "80 7F FF FF FE ");
    EXPECT_EQ(col(coltype::Currency, Value::currency(15000), true), "80 7F FF FF FF FF FF C5 67 ");
    EXPECT_EQ(col(coltype::Single, Value(-1.5), true), "80 BF C0 00 00 ");
    EXPECT_EQ(col(coltype::DateTime, Value::date("1899-12-29 06:00:00"), false),
              "7F 40 0B FF FF FF FF FF FF ");
    EXPECT_EQ(col(coltype::DateTime, Value::date("2000-01-01 12:00:00"), true),
              "80 3F 1E 2A 2F FF FF FF FF ");
    EXPECT_EQ(col(coltype::Boolean, Value::null(), true), "80 00 ");
    EXPECT_EQ(col(coltype::Numeric, Value(-1.5), false, 4),
              "7F 00 FF FF FF FF FF FF FF FF FF FF FF FF FF FF C5 67 ");
    EXPECT_EQ(col(coltype::Numeric, Value(1.5), true, 4),
              "80 FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF C5 67 ");
    EXPECT_EQ(col(coltype::Numeric, Value(-1.5), true, 4),
              "80 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 3A 98 ");
    EXPECT_EQ(col(coltype::Guid, Value("{00112233-4455-6677-8899-AABBCCDDEEFF}"), false),
              "7F 00 11 22 33 44 55 66 77 09 88 99 AA BB CC DD EE FF 08 ");
    EXPECT_EQ(
        col(coltype::Binary, Value(std::vector<std::uint8_t>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}), true),
        "80 FE FD FC FB FA F9 F8 F7 09 F6 F5 FF FF FF FF FF FF FD ");
    EXPECT_EQ(col(coltype::Text, Value::null(), true), "FF ");
}

// The strongest check of the key rules: every entry of every index of the
// sample files and of files made by an independent writer.
TEST(JetIndexKeys, EqualStoredEntriesOfSampleFiles) {
    REQUIRE_SHARED_FILE(std::string(JET_CORPUS_DIR));
    KeyTally tally;
    int files = 0;
    for (const auto& e : fs::directory_iterator(JET_CORPUS_DIR)) {
        if (e.path().extension() != ".mdb") continue;
        const std::string name = e.path().filename().string();
        try {
            compareKeys(e.path().string(), name == "V2000_with-password.mdb" ? "password" : "",
                        tally);
            ++files;
        } catch (const EngineError& err) {
            ADD_FAILURE() << name << ": " << err.what();
        }
    }
    REQUIRE_SHARED_FILE(jettoolPath());
    const std::string big = bigFile(3000);
    ASSERT_FALSE(big.empty()) << "jettool create-big failed";
    compareKeys(big, "", tally);
    for (const auto& p : tally.problems)
        ADD_FAILURE() << p;
    std::printf("%d files, %ld tables, %ld indexes: %ld entries matched, %ld differ\n", files,
                tally.tables, tally.indexes, tally.matched, tally.mismatched);
    for (const auto& [name, count] : tally.sortOrders)
        std::printf("sort order %s: %d files\n", name.c_str(), count);
    for (const auto& u : tally.unsupported)
        std::printf("read-only: %s\n", u.c_str());
    EXPECT_EQ(tally.mismatched, 0);
    EXPECT_GT(tally.matched, 1000);
}

namespace {

using Rows = std::vector<std::pair<RowId, std::vector<Value>>>;

Rows rowsOf(const JetFile& f, const std::string& table) {
    Rows rows;
    RowCursor c = f.cursor(table);
    std::vector<Value> row;
    while (c.next(row))
        rows.emplace_back(c.position(), row);
    return rows;
}

// The entries the index should hold for `rows`, in index order.
std::vector<std::pair<std::vector<std::uint8_t>, std::pair<std::uint32_t, int>>>
expectedEntries(IndexMaintainer& m, std::size_t index, const Rows& rows) {
    std::vector<std::pair<std::vector<std::uint8_t>, std::pair<std::uint32_t, int>>> out;
    for (const auto& [id, values] : rows)
        if (auto k = m.key(index, values)) out.push_back({*k, {id.page, id.slot}});
    std::sort(out.begin(), out.end());
    return out;
}

void expectHolds(IndexMaintainer& m, const Rows& rows, const std::string& what) {
    for (std::size_t i = 0; i < m.indexCount(); ++i) {
        auto want = expectedEntries(m, i, rows);
        std::vector<std::pair<std::vector<std::uint8_t>, std::pair<std::uint32_t, int>>> got;
        for (const auto& e : m.entries(i))
            got.push_back({e.key, {e.row.page, e.row.slot}});
        EXPECT_EQ(got.size(), want.size()) << what << " index " << m.indexName(i);
        EXPECT_TRUE(got == want) << what << " index " << m.indexName(i) << ": entries differ";
    }
}

} // namespace

// Every row's entries removed and added back in random order: trees shrink
// to an empty root and grow again through leaf and node splits and new
// roots. The independent checker then validates every page and entry.
TEST(JetIndexMaintainer, EntriesRemovedAndAddedBackPassTheChecker) {
    REQUIRE_SHARED_FILE(jettoolPath());
    const std::string big = bigFile(3000);
    ASSERT_FALSE(big.empty());
    std::mt19937 rng(20261208);
    for (const std::string& source : {jettest::corpusFile("testIndexPropertiesV2000.mdb"),
                                      jettest::corpusFile("testUnicodeCompV2003.mdb"),
                                      jettest::corpusFile("compIndexTestV2000.mdb"), big}) {
        REQUIRE_SHARED_FILE(source);
        TempCopy copy(source);
        {
            JetFile f = JetFile::open(copy.path);
            auto store = PageStore::open(f);
            for (const auto& entry : f.catalog()) {
                if (entry.kind != ObjectKind::Table) continue;
                TableDef def = f.table(entry.name);
                if (def.indexes.empty()) continue;
                IndexMaintainer m(store, def);
                ASSERT_EQ(m.unsupportedReason(), "");
                Rows rows = rowsOf(f, entry.name);
                const std::string what = source + " " + entry.name;
                store->begin();
                // Most rows out in one random order, the rest in another
                // transaction, then all back.
                std::shuffle(rows.begin(), rows.end(), rng);
                const std::size_t firstPart = rows.size() * 2 / 3;
                for (std::size_t r = 0; r < firstPart; ++r)
                    m.remove(rows[r].second, rows[r].first);
                store->commit();
                store->begin();
                for (std::size_t r = firstPart; r < rows.size(); ++r)
                    m.remove(rows[r].second, rows[r].first);
                expectHolds(m, {}, what + " (emptied)");
                std::shuffle(rows.begin(), rows.end(), rng);
                for (const auto& [id, values] : rows) {
                    m.checkUnique(values, std::nullopt);
                    m.add(values, id);
                }
                store->commit();
                expectHolds(m, rows, what);
            }
        }
        std::string report;
        EXPECT_TRUE(jettoolCheck(copy.path, report)) << source << ":\n" << report;
    }
}

TEST(JetIndexMaintainer, DuplicatesAndMissingKeysAreRefusedBeforeAnythingChanges) {
    REQUIRE_SHARED_FILE(jettoolPath());
    const std::string big = bigFile(3000);
    ASSERT_FALSE(big.empty());
    TempCopy copy(big);
    const auto before = fs::file_size(copy.path);
    std::vector<char> bytes(before);
    std::FILE* in = std::fopen(copy.path.c_str(), "rb");
    ASSERT_EQ(std::fread(bytes.data(), 1, bytes.size(), in), bytes.size());
    std::fclose(in);
    {
        JetFile f = JetFile::open(copy.path);
        auto store = PageStore::open(f);
        TableDef def = f.table("T");
        IndexMaintainer m(store, def);
        Rows rows = rowsOf(f, "T");
        ASSERT_GT(rows.size(), 10u);
        store->begin();
        // The same key as another row: refused, naming the primary key.
        std::vector<Value> copyOfRow = rows[5].second;
        try {
            m.checkUnique(copyOfRow, rows[6].first);
            ADD_FAILURE() << "duplicate key accepted";
        } catch (const EngineError& e) {
            EXPECT_EQ(e.number(), msg::Duplicate.number);
            const std::string text = e.what();
            EXPECT_NE(text.find("重复"), std::string::npos) << text;
            EXPECT_NE(text.find("PrimaryKey"), std::string::npos) << text;
        }
        // The row itself (an update that keeps its key) is no duplicate.
        EXPECT_NO_THROW(m.checkUnique(copyOfRow, rows[5].first));
        // A primary key may not be null.
        const int idColumn = def.columnIndex("ID");
        ASSERT_GE(idColumn, 0);
        copyOfRow[static_cast<std::size_t>(idColumn)] = Value::null();
        try {
            m.checkUnique(copyOfRow, std::nullopt);
            ADD_FAILURE() << "null primary key accepted";
        } catch (const EngineError& e) {
            EXPECT_EQ(e.number(), msg::Required.number);
        }
        store->commit();
    }
    std::vector<char> after(fs::file_size(copy.path));
    in = std::fopen(copy.path.c_str(), "rb");
    ASSERT_EQ(std::fread(after.data(), 1, after.size(), in), after.size());
    std::fclose(in);
    EXPECT_TRUE(after == bytes) << "the file changed";
}

// A text column in a sort order whose keys cannot be built (as a Chinese
// desktop engine records pinyin order) keeps its table read-only and says
// which order; a table without text indexes stays writable.
TEST(JetIndexMaintainer, UnsupportedSortOrderIsNamed) {
    REQUIRE_SHARED_FILE(jettoolPath());
    const std::string big = bigFile(3000);
    ASSERT_FALSE(big.empty());
    TempCopy copy(big);
    // Text columns of T in pinyin order (2052), those of 客户 in stroke
    // order (2052 with sort variant 2).
    auto patch = [&](const std::string& table, std::uint8_t variant) {
        std::uint32_t tdef = 0;
        {
            JetFile f = JetFile::open(copy.path);
            tdef = f.table(table).tdefPage;
        }
        std::FILE* io = std::fopen(copy.path.c_str(), "r+b");
        ASSERT_TRUE(io);
        std::vector<std::uint8_t> page(4096);
        std::fseek(io, static_cast<long>(tdef) * 4096, SEEK_SET);
        ASSERT_EQ(std::fread(page.data(), 1, page.size(), io), page.size());
        const std::size_t numCols = page[45] | (page[46] << 8);
        const std::size_t numReal = page[51] | (page[52] << 8);
        int patched = 0;
        for (std::size_t c = 0; c < numCols; ++c) {
            std::uint8_t* block = page.data() + 63 + 12 * numReal + 25 * c;
            if (block[0] != coltype::Text) continue;
            block[11] = 0x04;
            block[12] = 0x08;
            block[13] = variant;
            ++patched;
        }
        ASSERT_GT(patched, 0);
        std::fseek(io, static_cast<long>(tdef) * 4096, SEEK_SET);
        ASSERT_EQ(std::fwrite(page.data(), 1, page.size(), io), page.size());
        std::fclose(io);
    };
    patch("T", 0);
    patch("客户", 2);
    JetFile f = JetFile::open(copy.path);
    auto store = PageStore::open(f);
    IndexMaintainer t(store, f.table("T"));
    const std::string reason = t.unsupportedReason();
    EXPECT_NE(reason.find("中文（拼音）"), std::string::npos) << reason;
    EXPECT_NE(reason.find("idx_name"), std::string::npos) << reason;
    const std::string stroke = IndexMaintainer(store, f.table("客户")).unsupportedReason();
    EXPECT_NE(stroke.find("中文（笔画）"), std::string::npos) << stroke;
    IndexMaintainer other(store, f.table("MSysAccessObjects"));
    EXPECT_EQ(other.unsupportedReason(), "");
}

// Long text keys make few entries fit a page: thousands of them grow a
// tree of three levels (node pages split, and the root twice), and removing
// them again empties and frees pages at every level. What stays must still
// pass the checker. Pages are written once per statement here.
TEST(JetIndexMaintainer, DeepTreesGrowAndShrink) {
    REQUIRE_SHARED_FILE(jettoolPath());
    const std::string big = bigFile(3000);
    ASSERT_FALSE(big.empty());
    TempCopy copy(big);
    std::mt19937 rng(7);
    {
        JetFile f = JetFile::open(copy.path);
        auto store = PageStore::open(f);
        TableDef def = f.table("T");
        IndexMaintainer m(store, def);
        Rows rows = rowsOf(f, "T");
        const auto name = static_cast<std::size_t>(def.columnIndex("name"));
        const auto id = static_cast<std::size_t>(def.columnIndex("ID"));
        Rows extra, shorts;
        for (int k = 0; k < 3000; ++k) {
            std::vector<Value> v = rows[static_cast<std::size_t>(k) % rows.size()].second;
            // Half of them share a long beginning: pages of those are
            // written with the shared part left out of all but one entry.
            std::string head = v[name].toText();
            if (k % 2 == 0) {
                head.clear();
                for (int r = 0; r < 20; ++r)
                    head += "共同的开头";
            }
            const char letter = static_cast<char>('a' + k % 25);
            // Right after each long key, a short one: while it is a page's
            // last entry, the entry standing for that page above is short.
            std::vector<Value> shortOne = v;
            shortOne[name] = Value(head + std::string(1, static_cast<char>(letter + 1)));
            shortOne[id] = Value(2000000 + k);
            shorts.emplace_back(RowId{0xE00000u + static_cast<std::uint32_t>(k / 200),
                                      static_cast<std::uint16_t>(k % 200)},
                                std::move(shortOne));
            v[name] = Value(head + std::string(k % 2 ? 230 : 150, letter) + std::to_string(k));
            v[id] = Value(1000000 + k);
            extra.emplace_back(RowId{0xF00000u + static_cast<std::uint32_t>(k / 200),
                                     static_cast<std::uint16_t>(k % 200)},
                               std::move(v));
        }
        extra.insert(extra.end(), shorts.begin(), shorts.end());
        // Writes deferred to the end of each statement, as a statement
        // changing many rows does.
        m.deferWrites(true);
        store->begin();
        for (const auto& [rid, values] : extra)
            m.add(values, rid);
        m.flushPages();
        Rows all = rows;
        all.insert(all.end(), extra.begin(), extra.end());
        expectHolds(m, all, "with long keys");
        store->commit();
        // The short keys go first: pages' last entries become long ones, and
        // the pages above that stand for them grow until they split.
        store->begin();
        std::shuffle(shorts.begin(), shorts.end(), rng);
        for (const auto& [rid, values] : shorts)
            m.remove(values, rid);
        m.flushPages();
        store->commit();
        all.resize(all.size() - shorts.size());
        expectHolds(m, all, "short keys removed");
        store->begin();
        extra.resize(extra.size() - shorts.size());
        std::shuffle(extra.begin(), extra.end(), rng);
        for (const auto& [rid, values] : extra)
            m.remove(values, rid);
        m.flushPages();
        store->commit();
        expectHolds(m, rows, "long keys removed");
    }
    std::string report;
    EXPECT_TRUE(jettoolCheck(copy.path, report)) << report;
}
