// The page store writing genuine Jet 4 files: commits read back by a fresh
// reader, rollbacks and savepoints, the global usage map, the file lock and
// the .ldb file, refusals, the rollback journal after a crash (a child
// process killed at random points) and a full disk.

#include "engine/jet/JetPageStore.h"
#include "CrashHarness.h"
#include "JetTestSupport.h"
#include "engine/base/Messages.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <random>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

using engine::EngineError;
using engine::jet::JetFile;
using engine::jet::PageStore;
namespace fs = std::filesystem;
namespace msg = engine::msg;

constexpr std::uint32_t kPage = 4096;

class PageStoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("tabelko-pagestore-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override {
        std::error_code ec;
        fs::permissions(dir_, fs::perms::owner_all, ec);
        fs::remove_all(dir_, ec);
    }
    // A writable copy of a sample file.
    std::string copy(const std::string& sample, const std::string& as = {}) {
        const fs::path to = dir_ / (as.empty() ? sample : as);
        fs::copy_file(jettest::corpusFile(sample), to, fs::copy_options::overwrite_existing);
        fs::permissions(to, fs::perms::owner_read | fs::perms::owner_write);
        return to.string();
    }
    fs::path dir_;
};

std::vector<std::uint8_t> bytesOf(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

int numberOf(const std::function<void()>& f, std::string* text = nullptr) {
    try {
        f();
    } catch (const EngineError& e) {
        if (text) *text = e.what();
        return e.number();
    }
    return 0;
}

// The checker of an independent Jet implementation; exit status 0 = valid.
int jettoolCheck(const std::string& path) {
    const std::string tool = std::string(JET_CORPUS_DIR) + "/../../tools/jettool/jettool";
    if (!fs::exists(tool)) return -1;
    return WEXITSTATUS(
        std::system(("'" + tool + "' check '" + path + "' >/dev/null 2>&1").c_str()));
}

#define EXPECT_JETTOOL_ACCEPTS(path)                                                               \
    do {                                                                                           \
        REQUIRE_SHARED_FILE(std::string(JET_CORPUS_DIR) + "/../../tools/jettool/jettool");         \
        EXPECT_EQ(jettoolCheck(path), 0) << "jettool check " << (path);                            \
    } while (0)

std::vector<std::uint8_t> filled(std::uint32_t value) {
    std::vector<std::uint8_t> p(kPage, 0);
    for (std::size_t at = 4; at + 4 <= p.size(); at += 4)
        std::memcpy(p.data() + at, &value, 4);
    return p;
}

// A journal that would undo something when the file is opened next.
bool liveJournal(const std::string& path) {
    const std::vector<std::uint8_t> j = bytesOf(PageStore::journalPath(path));
    return !j.empty() && j[0] == 'T';
}

std::uint32_t valueOf(const std::vector<std::uint8_t>& p) {
    std::uint32_t v = 0;
    std::memcpy(&v, p.data() + 4, 4);
    for (std::size_t at = 4; at + 4 <= p.size(); at += 4)
        if (std::memcmp(p.data() + at, &v, 4) != 0) return 0xFFFFFFFFu; // torn page
    return v;
}

// The global usage map's bit of `page` (true = free), from the inline map
// in row 0 of page 1; nullopt when the map does not cover it.
std::optional<bool> globalMapBit(const PageStore& store, std::uint32_t page) {
    const std::vector<std::uint8_t> p = *store.read(1);
    const std::uint16_t start = static_cast<std::uint16_t>(p[14] | (p[15] << 8)) & 0x1FFF;
    const std::uint16_t end = kPage; // row 0 ends at the end of the page
    if (p[start] != 0) return std::nullopt;
    std::uint32_t first;
    std::memcpy(&first, p.data() + start + 1, 4);
    if (page < first || page >= first + (end - start - 5u) * 8u) return std::nullopt;
    const std::uint32_t o = page - first;
    return ((p[start + 5 + o / 8] >> (o % 8)) & 1) != 0;
}

TEST_F(PageStoreTest, CommittedPagesAreReadBackAndEncodedAsTheFileIs) {
    for (const char* sample : {"testV2000.mdb", "db-enc.mdb", "V2000_with-password.mdb"}) {
        JET_REQUIRE_CORPUS(sample);
        SCOPED_TRACE(sample);
        const std::string path = copy(sample);
        const std::vector<std::uint8_t> before = bytesOf(path);
        std::uint32_t fresh = 0;
        {
            JetFile f = JetFile::open(path, "password");
            auto store = PageStore::open(f);
            // Every page written back as read: the file must not change by a
            // byte (page 0's mask, the RC4 pages).
            store->begin();
            for (std::uint32_t n = 0; n < before.size() / kPage; ++n)
                store->write(n, *store->read(n));
            store->commit();
            EXPECT_EQ(bytesOf(path), before);

            store->begin();
            fresh = store->allocate();
            EXPECT_EQ(fresh, before.size() / kPage);
            store->write(fresh, filled(0xC0FFEE));
            // Readers of the same file see the transaction's page at once.
            EXPECT_EQ(valueOf(*store->read(fresh)), 0xC0FFEEu);
            store->commit();
            EXPECT_FALSE(liveJournal(path));
            EXPECT_EQ(fs::file_size(path), before.size() + kPage);
        }
        EXPECT_FALSE(fs::exists(PageStore::journalPath(path)));
        JetFile again = JetFile::open(path, "password");
        auto store = PageStore::open(again);
        EXPECT_FALSE(store->recovered());
        EXPECT_EQ(valueOf(*store->read(fresh)), 0xC0FFEEu);
        EXPECT_EQ(globalMapBit(*store, fresh), std::optional<bool>(false));
        // The tables read as before.
        EXPECT_FALSE(again.catalog().empty());
        store.reset();
        if (std::string(sample) != "V2000_with-password.mdb") EXPECT_JETTOOL_ACCEPTS(path);
    }
}

TEST_F(PageStoreTest, RollbackAndSavepointsRestoreWhatWasThere) {
    JET_REQUIRE_CORPUS("testV2000.mdb");
    const std::string path = copy("testV2000.mdb");
    const std::vector<std::uint8_t> before = bytesOf(path);
    JetFile f = JetFile::open(path);
    const auto rowsBefore = jettest::allRows(f, "Table1");
    auto store = PageStore::open(f);
    const std::uint32_t pages = static_cast<std::uint32_t>(before.size() / kPage);
    const std::vector<std::uint8_t> original = *store->read(pages - 1);

    EXPECT_NE(numberOf([&] { store->write(pages - 1, filled(1)); }), 0); // outside a transaction
    store->begin();
    store->write(pages - 1, filled(1));
    const int outer = store->savepoint();
    store->write(pages - 1, filled(2));
    const std::uint32_t a = store->allocate();
    store->write(a, filled(2));
    const int inner = store->savepoint();
    store->write(pages - 1, filled(3));
    const std::uint32_t b = store->allocate();
    EXPECT_EQ(b, a + 1);

    store->rollbackTo(inner);
    EXPECT_EQ(valueOf(*store->read(pages - 1)), 2u);
    EXPECT_EQ(valueOf(*store->read(a)), 2u);
    EXPECT_EQ(store->allocate(), b); // the page count went back too
    store->rollbackTo(outer);
    EXPECT_EQ(valueOf(*store->read(pages - 1)), 1u);
    EXPECT_NE(numberOf([&] { store->read(a); }), 0); // beyond the end again
    // Savepoints released into the one below are undone with it, also for
    // pages first written after them.
    const std::vector<std::uint8_t> other = *store->read(pages - 2);
    const int middle = store->savepoint();
    store->write(pages - 1, filled(4));
    const int top = store->savepoint();
    store->write(pages - 1, filled(5));
    store->write(pages - 2, filled(5));
    store->releaseSavepoint(top);
    store->releaseSavepoint(middle);
    EXPECT_EQ(valueOf(*store->read(pages - 2)), 5u);
    store->rollbackTo(outer);
    EXPECT_EQ(valueOf(*store->read(pages - 1)), 1u);
    EXPECT_EQ(*store->read(pages - 2), other);
    store->releaseSavepoint(outer);
    store->rollback();
    EXPECT_EQ(*store->read(pages - 1), original);
    EXPECT_FALSE(store->inTransaction());
    store->commit(); // nothing open: nothing happens
    EXPECT_EQ(bytesOf(path), before);
    EXPECT_EQ(jettest::allRows(f, "Table1").size(), rowsBefore.size());

    // An open transaction is rolled back when the store goes.
    store->begin();
    store->write(pages - 1, filled(9));
    store.reset();
    EXPECT_EQ(bytesOf(path), before);
}

TEST_F(PageStoreTest, AllocationKeepsTheGlobalUsageMapRight) {
    JET_REQUIRE_CORPUS("testV2000.mdb");
    const std::string path = copy("testV2000.mdb");
    const std::uint32_t pages = static_cast<std::uint32_t>(fs::file_size(path) / kPage);
    std::vector<std::uint32_t> got;
    {
        JetFile f = JetFile::open(path);
        auto store = PageStore::open(f);
        store->begin();
        // Enough pages to move the inline map's window more than once.
        for (int i = 0; i < 1200; ++i)
            got.push_back(store->allocate());
        store->commit();
        for (std::size_t i = 0; i < got.size(); ++i)
            ASSERT_EQ(got[i], pages + i);
        EXPECT_EQ(globalMapBit(*store, got.back()), std::optional<bool>(false));

        // A page released is free in the map and handed out again.
        store->begin();
        store->release(got.back() - 3);
        EXPECT_EQ(globalMapBit(*store, got.back() - 3), std::optional<bool>(true));
        store->commit();
        store->begin();
        EXPECT_EQ(store->allocate(), got.back() - 3);
        EXPECT_EQ(store->allocate(), got.back() + 1);
        store->commit();
        EXPECT_EQ(globalMapBit(*store, got.back() + 1), std::optional<bool>(false));
        EXPECT_EQ(globalMapBit(*store, got.back() + 2), std::optional<bool>(true));
        EXPECT_NE(numberOf([&] {
                      store->begin();
                      store->release(1); // the map's own page
                  }),
                  0);
        store->rollback();
    }
    EXPECT_EQ(fs::file_size(path), (pages + got.size() + 1) * std::uint64_t{kPage});
    EXPECT_JETTOOL_ACCEPTS(path);

    // A global map kept by reference (bitmap pages).
    JET_REQUIRE_CORPUS("testRefGlobalV2000.mdb");
    const std::string ref = copy("testRefGlobalV2000.mdb");
    {
        JetFile f = JetFile::open(ref);
        auto store = PageStore::open(f);
        store->begin();
        const std::uint32_t n = store->allocate();
        store->write(n, filled(7));
        store->commit();
    }
    EXPECT_JETTOOL_ACCEPTS(ref);
}

TEST_F(PageStoreTest, OneWriterAtATimeAndTheLockFileComesAndGoes) {
    JET_REQUIRE_CORPUS("emptyV2000.mdb");
    const std::string path = copy("emptyV2000.mdb", "共享.mdb");
    const std::string ldb = (dir_ / "共享.ldb").string();
    EXPECT_EQ(PageStore::lockFilePath(path), ldb);
    {
        JetFile f = JetFile::open(path);
        auto store = PageStore::open(f);
        ASSERT_TRUE(fs::exists(ldb));
        const std::vector<std::uint8_t> record = bytesOf(ldb);
        ASSERT_EQ(record.size(), 64u);
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(record.data()) + 32, 5), "Admin");

        // A second writer in this process, and one in another process.
        std::string text;
        JetFile other = JetFile::open(path);
        EXPECT_EQ(numberOf([&] { PageStore::open(other); }, &text), msg::JetFileInUse.number);
        EXPECT_NE(text.find("在使用中"), std::string::npos) << text;
        EXPECT_NE(text.find(path), std::string::npos) << text;
        const pid_t child = ::fork();
        if (child == 0) {
            int code = 0;
            try {
                PageStore::open(JetFile::open(path));
            } catch (const EngineError& e) {
                code = e.number() == msg::JetFileInUse.number ? 7 : 1;
            }
            ::_exit(code);
        }
        int status = 0;
        ::waitpid(child, &status, 0);
        EXPECT_EQ(WEXITSTATUS(status), 7);
        // Readers are not kept out.
        EXPECT_FALSE(other.catalog().empty());
    }
    EXPECT_FALSE(fs::exists(ldb));

    // One left by a killed writer of this machine is taken over and removed;
    // one naming another machine stays.
    {
        std::ofstream(ldb, std::ios::binary) << std::string(64, ' ');
        auto store = PageStore::open(JetFile::open(path));
    }
    EXPECT_FALSE(fs::exists(ldb));
    {
        std::string foreign(64, ' ');
        foreign.replace(0, 9, "WINXP-PC\0", 9);
        std::ofstream(ldb, std::ios::binary) << foreign;
        auto store = PageStore::open(JetFile::open(path));
        EXPECT_EQ(fs::file_size(ldb), 128u);
    }
    EXPECT_TRUE(fs::exists(ldb));
}

TEST_F(PageStoreTest, FilesThatCannotBeWrittenSayWhy) {
    JET_REQUIRE_CORPUS("testV1997.mdb");
    JET_REQUIRE_CORPUS("testV2000.mdb");
    std::string text;
    EXPECT_EQ(numberOf([&] { PageStore::open(JetFile::open(copy("testV1997.mdb"))); }, &text),
              msg::JetFormatReadOnly.number);
    EXPECT_NE(text.find("Jet 3"), std::string::npos) << text;
    EXPECT_NE(text.find("Access 2000–2003（Jet 4）"), std::string::npos) << text;

    const fs::path ace = fs::path(ACE_DATA_DIR) / "ace2010.accdb";
    fs::copy_file(ace, dir_ / "a.accdb");
    fs::permissions(dir_ / "a.accdb", fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(numberOf([&] { PageStore::open(JetFile::open((dir_ / "a.accdb").string())); }, &text),
              msg::JetFormatReadOnly.number);
    EXPECT_NE(text.find(".accdb"), std::string::npos) << text;
    EXPECT_FALSE(fs::exists(dir_ / "a.ldb"));

    // A read-only file stays readable and untouched.
    const std::string path = copy("testV2000.mdb");
    fs::permissions(path, fs::perms::owner_read);
    JetFile f = JetFile::open(path);
    EXPECT_EQ(numberOf([&] { PageStore::open(f); }), msg::ReadOnlyFile.number);
    EXPECT_FALSE(jettest::allRows(f, "Table1").empty());
    EXPECT_FALSE(fs::exists(PageStore::lockFilePath(path)));
}

TEST_F(PageStoreTest, FullDiskLeavesTheFileAsItWas) {
    JET_REQUIRE_CORPUS("emptyV2000.mdb");
    const std::string mountPoint = (dir_ / "small").string();
    fs::create_directories(mountPoint);
    const std::string mount = "mount -t tmpfs -o size=1m tmpfs '" + mountPoint + "' 2>/dev/null";
    if (::geteuid() != 0 || std::system(mount.c_str()) != 0) {
        // CI runs as root: there the full disk must be tried, not skipped.
        if (std::getenv("CI")) FAIL() << "could not mount a small file system (CI runs as root)";
        GTEST_SKIP() << "a small file system can only be mounted as root";
    }
    struct Unmount {
        std::string at;
        ~Unmount() { (void)std::system(("umount '" + at + "'").c_str()); }
    } unmount{mountPoint};

    const std::string path = mountPoint + "/f.mdb";
    fs::copy_file(jettest::corpusFile("emptyV2000.mdb"), path);
    fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write);
    const std::vector<std::uint8_t> before = bytesOf(path);
    JetFile f = JetFile::open(path);
    auto store = PageStore::open(f);
    // Leave room for the journal of two pages, not for the file to grow.
    const std::string filler = mountPoint + "/filler";
    {
        std::ofstream out(filler, std::ios::binary);
        const std::string block(4096, 'f');
        while (out.write(block.data(), static_cast<std::streamsize>(block.size())))
            ;
    }
    fs::resize_file(filler, fs::file_size(filler) - 8 * kPage);

    auto change = [&] {
        store->begin();
        store->write(3, *store->read(3));
        store->write(4, *store->read(4));
        for (int i = 0; i < 40; ++i)
            store->write(store->allocate(), filled(static_cast<std::uint32_t>(i)));
        store->commit();
    };
    std::string text;
    EXPECT_EQ(numberOf(change, &text), msg::DiskFull.number);
    EXPECT_EQ(bytesOf(path), before);
    EXPECT_FALSE(liveJournal(path));
    EXPECT_FALSE(store->inTransaction());

    // No room even for the journal.
    {
        std::ofstream more(mountPoint + "/more", std::ios::binary);
        const std::string block(4096, 'm');
        while (more.write(block.data(), static_cast<std::streamsize>(block.size())))
            ;
    }
    EXPECT_EQ(numberOf(change), msg::DiskFull.number);
    EXPECT_EQ(bytesOf(path), before);

    // With room again the same change goes through.
    fs::remove(filler);
    fs::remove(mountPoint + "/more");
    EXPECT_EQ(numberOf(change), 0);
    EXPECT_EQ(fs::file_size(path), before.size() + 40 * kPage);
}

// --- crashes ---------------------------------------------------------------

using jettest::runUntilKilled;

TEST_F(PageStoreTest, KilledWritersLeaveExactlyTheCommittedTransactions) {
    JET_REQUIRE_CORPUS("emptyV2000.mdb");
    const std::string path = copy("emptyV2000.mdb");
    const char* env = std::getenv("TABELKO_CRASH_KILLS");
    const int kills = env ? std::max(1, std::atoi(env)) : 200;

    // Eight pages that every transaction rewrites with its number k; every
    // fourth transaction also grows the file by a page holding k.
    std::vector<std::uint32_t> pages;
    std::uint32_t base = 0;
    {
        auto store = PageStore::open(JetFile::open(path));
        store->begin();
        for (int i = 0; i < 8; ++i) {
            pages.push_back(store->allocate());
            store->write(pages.back(), filled(0));
        }
        store->commit();
        base = static_cast<std::uint32_t>(fs::file_size(path) / kPage);
    }
    auto transaction = [&](PageStore& store, int k) {
        // Pages in a different order each time, so a kill tears different ones.
        for (std::size_t i = 0; i < pages.size(); ++i)
            store.write(pages[(i + static_cast<std::size_t>(k)) % pages.size()],
                        filled(static_cast<std::uint32_t>(k)));
        if (k % 4 == 0) store.write(store.allocate(), filled(static_cast<std::uint32_t>(k)));
    };

    std::mt19937 random(2112);
    std::uniform_int_distribution<int> delayUs(0, 30000);
    int committed = 0, rolledBack = 0, progressed = 0;
    bool keptJournal = false;
    for (int kill = 0; kill < kills; ++kill) {
        const int reported = runUntilKilled(path, transaction, committed + 1,
                                            std::chrono::microseconds(delayUs(random)));
        if (reported > committed) ++progressed;
        // Keep one whole journal to try the read-only and damaged cases on.
        if (!keptJournal && liveJournal(path)) {
            fs::copy_file(path, dir_ / "kept.mdb");
            fs::copy_file(PageStore::journalPath(path), dir_ / "kept.mdb-tbj");
            keptJournal = true;
        }
        const PageStore::Leftover left = PageStore::rollBackLeftover(path);
        if (left == PageStore::Leftover::RolledBack) ++rolledBack;
        ASSERT_NE(left, PageStore::Leftover::CannotWrite);
        ASSERT_FALSE(fs::exists(PageStore::journalPath(path)));

        auto store = PageStore::open(JetFile::open(path));
        const std::uint32_t k = valueOf(*store->read(pages[0]));
        for (std::uint32_t p : pages)
            ASSERT_EQ(valueOf(*store->read(p)), k) << "page " << p << " after kill " << kill;
        // The transaction under way when the child died either committed
        // whole or not at all.
        ASSERT_TRUE(k == static_cast<std::uint32_t>(reported) ||
                    k == static_cast<std::uint32_t>(reported) + 1)
            << "k " << k << ", reported " << reported;
        committed = static_cast<int>(k);
        ASSERT_EQ(fs::file_size(path), (base + static_cast<std::uint64_t>(committed / 4)) * kPage);
        for (int g = 4; g <= committed; g += 4)
            ASSERT_EQ(valueOf(*store->read(base + static_cast<std::uint32_t>(g / 4) - 1)),
                      static_cast<std::uint32_t>(g));
    }
    std::cout << "[          ] " << kills << " kills, " << committed << " transactions committed, "
              << rolledBack << " unfinished ones rolled back\n";
    EXPECT_GT(progressed, kills / 10);
    EXPECT_GT(rolledBack, 0);
    EXPECT_JETTOOL_ACCEPTS(path);

    if (!keptJournal) return;
    // A whole journal on a file that cannot be written is left alone.
    const std::string kept = (dir_ / "kept.mdb").string();
    fs::permissions(kept, fs::perms::owner_read);
    EXPECT_EQ(PageStore::rollBackLeftover(kept), PageStore::Leftover::CannotWrite);
    EXPECT_TRUE(fs::exists(kept + "-tbj"));
    fs::permissions(kept, fs::perms::owner_read | fs::perms::owner_write);
    // A journal whose pages do not check was being written when the writer
    // died, before the file was touched: it is dropped, not applied.
    {
        std::fstream j(kept + "-tbj", std::ios::in | std::ios::out | std::ios::binary);
        j.seekp(512 + 8 + 100);
        j.put('\x5A');
    }
    const std::vector<std::uint8_t> before = bytesOf(kept);
    EXPECT_EQ(PageStore::rollBackLeftover(kept), PageStore::Leftover::None);
    EXPECT_EQ(bytesOf(kept), before);
    EXPECT_FALSE(fs::exists(kept + "-tbj"));
}

TEST_F(PageStoreTest, ATornJournalIsDroppedAndTheFileKept) {
    JET_REQUIRE_CORPUS("emptyV2000.mdb");
    const std::string path = copy("emptyV2000.mdb");
    const std::vector<std::uint8_t> before = bytesOf(path);
    // Pages written, header never: the file was not touched.
    {
        std::ofstream j(PageStore::journalPath(path), std::ios::binary);
        j << std::string(512, '\0') << std::string(kPage + 8, 'x');
    }
    auto store = PageStore::open(JetFile::open(path));
    EXPECT_FALSE(store->recovered());
    EXPECT_FALSE(fs::exists(PageStore::journalPath(path)));
    EXPECT_EQ(bytesOf(path), before);
}

} // namespace
