// Writing the pages of a genuine Jet 4 .mdb file in transactions that survive
// a crash.
//
// A transaction keeps its changed pages decoded in JetState::pending, where
// every reader of the file finds them first. Commit:
//   1. the changed pages' bytes as they are on disk (and the file's length)
//      go to the rollback journal "name.mdb-tbj", each with a checksum that
//      also covers a number drawn for this commit, behind a header with its
//      own checksum; the journal is synced;
//   2. the new pages are written (encoded as the file's pages are), synced;
//   3. the journal's header is wiped: the transaction is done.
// The file is written only once the journal is on disk, so a journal whose
// header or pages do not check (a torn one: killed while it was written)
// belongs to a commit that never touched the file, and is dropped. Opening a
// file whose journal is whole writes its pages back and cuts the file to its
// old length: the file holds exactly what it held before the unfinished
// transaction.
//
// The journal file stays while the store is open (one folder sync when it is
// made, none per commit) and is removed when the store closes.

#include "engine/jet/JetPageStore.h"
#include "engine/base/Messages.h"
#include "engine/jet/JetInternal.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <random>
#include <set>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <zlib.h>

namespace engine::jet {

namespace fs = std::filesystem;

namespace {

// Page 0's header region is masked with RC4 under this fixed key.
constexpr std::uint8_t kHeaderKey[4] = {0xC7, 0xDA, 0x39, 0x6B};
constexpr std::size_t kHeaderRegion = 0x18;

// Journal: a header block (magic, version, page size, page count, the
// commit's number, the file's old length, checksum), then one record per
// page (page number, checksum, the page's bytes as they were on disk).
constexpr char kJournalMagic[8] = {'T', 'b', 'k', 'J', 'r', 'n', 'l', '1'};
constexpr std::uint32_t kJournalVersion = 1;
constexpr std::size_t kHeadChecked = 40; // bytes covered by the header's checksum
constexpr std::size_t kJournalHeaderSize = 512;
constexpr std::size_t kRecordHeadSize = 8;

// Jet 4 files end at 2 GiB.
constexpr std::uint64_t kMaxFileSize = 2ull << 30;

// The global usage map: row 0 of page 1; a set bit means a free page.
constexpr std::uint32_t kMapPage = 1;

constexpr std::size_t kLdbRecord = 64;
constexpr std::size_t kLdbName = 32;

void putU32(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}
void putU64(std::uint8_t* p, std::uint64_t v) {
    for (int i = 0; i < 8; ++i)
        p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}
std::uint32_t getU32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
std::uint64_t getU64(const std::uint8_t* p) {
    return static_cast<std::uint64_t>(getU32(p)) |
           (static_cast<std::uint64_t>(getU32(p + 4)) << 32);
}

std::uint32_t checksum(std::uint64_t salt, std::uint32_t pageNumber, const std::uint8_t* data,
                       std::size_t size) {
    std::uint8_t n[12];
    putU64(n, salt);
    putU32(n + 8, pageNumber);
    uLong c = crc32(0L, n, sizeof n);
    c = crc32(c, data, static_cast<uInt>(size));
    return static_cast<std::uint32_t>(c);
}

// A file descriptor closed when it goes out of scope.
class Fd {
public:
    Fd() = default;
    explicit Fd(int fd) : fd_(fd) {}
    Fd(Fd&& o) noexcept : fd_(std::exchange(o.fd_, -1)) {}
    Fd& operator=(Fd&& o) noexcept {
        if (this != &o) {
            reset();
            fd_ = std::exchange(o.fd_, -1);
        }
        return *this;
    }
    ~Fd() { reset(); }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }
    void reset() {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }

private:
    int fd_ = -1;
};

// 0 on success, else errno.
int writeAll(int fd, const std::uint8_t* data, std::size_t size, std::uint64_t offset) {
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::pwrite(fd, data + done, size - done, static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return errno;
        if (n == 0) return EIO;
        done += static_cast<std::size_t>(n);
    }
    return 0;
}

// 0 on success, else errno (EIO for a short read).
int readAll(int fd, std::uint8_t* data, std::size_t size, std::uint64_t offset) {
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::pread(fd, data + done, size - done, static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return errno;
        if (n == 0) return EIO;
        done += static_cast<std::size_t>(n);
    }
    return 0;
}

int syncFile(int fd) {
    while (::fdatasync(fd) != 0) {
        if (errno != EINTR) return errno;
    }
    return 0;
}

// Makes the creation or removal of a file in `path`'s folder durable.
int syncFolderOf(const std::string& path) {
    fs::path folder = fs::path(path).parent_path();
    if (folder.empty()) folder = ".";
    Fd dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!dir) return errno;
    if (::fsync(dir.get()) != 0 && errno != EINVAL) return errno;
    return 0;
}

bool diskFull(int err) {
    return err == ENOSPC || err == EDQUOT || err == EFBIG;
}

[[noreturn]] void raiseWriteFailure(int err, const std::string& path) {
    if (diskFull(err)) msg::raiseWithDetail(msg::DiskFull, {}, path + ": " + std::strerror(err));
    msg::raiseWithDetail(msg::IoError, {}, path + ": " + std::strerror(err));
}

bool permissionDenied(int err) {
    return err == EACCES || err == EPERM || err == EROFS;
}

// A journal read from disk. `whole` is false for a torn journal (or one
// whose header was wiped after its commit): the file was not touched by it.
struct Journal {
    bool whole = false;
    std::uint32_t pageSize = 0;
    std::uint64_t salt = 0;
    std::uint64_t originalSize = 0;
    std::vector<std::pair<std::uint32_t, std::vector<std::uint8_t>>> pages;
};

// Reads and checks the journal. Throws msg::JetJournalDamaged for a header
// that checks but describes a journal this program does not write.
Journal readJournal(const std::string& dbPath, const std::string& journalPath) {
    Journal j;
    Fd fd(::open(journalPath.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd) return j;
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) return j;
    const std::uint64_t size = static_cast<std::uint64_t>(st.st_size);
    if (size < kJournalHeaderSize) return j;
    std::uint8_t head[kHeadChecked + 4] = {};
    if (readAll(fd.get(), head, sizeof head, 0) != 0) return j;
    if (std::memcmp(head, kJournalMagic, 8) != 0) return j;
    if (getU32(head + kHeadChecked) != checksum(0, 0, head, kHeadChecked)) return j;
    if (getU32(head + 8) != kJournalVersion ||
        (getU32(head + 12) != 2048 && getU32(head + 12) != 4096))
        msg::raise(msg::JetJournalDamaged, {dbPath, journalPath});
    j.pageSize = getU32(head + 12);
    const std::uint32_t count = getU32(head + 16);
    j.salt = getU64(head + 24);
    j.originalSize = getU64(head + 32);
    const std::uint64_t recordSize = kRecordHeadSize + j.pageSize;
    if (kJournalHeaderSize + count * recordSize > size) return j;
    std::vector<std::uint8_t> record(recordSize);
    for (std::uint32_t i = 0; i < count; ++i) {
        if (readAll(fd.get(), record.data(), record.size(), kJournalHeaderSize + i * recordSize) !=
            0)
            return Journal{};
        const std::uint32_t number = getU32(record.data());
        if (getU32(record.data() + 4) !=
            checksum(j.salt, number, record.data() + kRecordHeadSize, j.pageSize))
            return Journal{};
        j.pages.emplace_back(
            number, std::vector<std::uint8_t>(record.begin() + kRecordHeadSize, record.end()));
    }
    j.whole = true;
    return j;
}

// Removes a leftover journal; where the folder does not allow that, empties
// it, which makes it a torn journal that is never applied again.
int discardJournal(const std::string& journalPath) {
    if (::unlink(journalPath.c_str()) == 0 || errno == ENOENT) return syncFolderOf(journalPath);
    const int err = errno;
    Fd fd(::open(journalPath.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC));
    if (!fd) return err;
    return syncFile(fd.get());
}

// Writes the journal's pages back into the open file and restores its
// length, synced. Returns 0 or errno.
int restoreFrom(int fd, const Journal& j) {
    for (const auto& [number, bytes] : j.pages)
        if (int err = writeAll(fd, bytes.data(), bytes.size(),
                               static_cast<std::uint64_t>(number) * j.pageSize))
            return err;
    if (::ftruncate(fd, static_cast<off_t>(j.originalSize)) != 0) return errno;
    return syncFile(fd);
}

std::string machineName() {
    char host[256] = {};
    if (::gethostname(host, sizeof host - 1) != 0 || host[0] == 0) return "localhost";
    return host;
}

// One user's record of the lock file: the machine's name and the user's
// name, each in 32 bytes padded with spaces.
std::vector<std::uint8_t> ldbRecord(const std::string& machine) {
    std::vector<std::uint8_t> r(kLdbRecord, ' ');
    std::memcpy(r.data(), machine.data(), std::min(machine.size(), kLdbName - 1));
    r[std::min(machine.size(), kLdbName - 1)] = 0;
    static const char user[] = "Admin";
    std::memcpy(r.data() + kLdbName, user, sizeof user); // with its terminating zero
    return r;
}

std::string ldbMachine(const std::uint8_t* record) {
    std::size_t n = 0;
    while (n < kLdbName && record[n] != 0)
        ++n;
    std::string s(reinterpret_cast<const char*>(record), n);
    while (!s.empty() && s.back() == ' ')
        s.pop_back();
    return s;
}

} // namespace

struct PageStore::Impl {
    JetFile file;
    std::shared_ptr<JetState> state;
    Fd fd; // read and write, holding the exclusive lock
    std::string path, journal, ldb;
    bool ldbOurs = false;
    bool recovered = false;
    // The journal, kept open between commits; its header is wiped after
    // each one.
    Fd journalFd;
    std::uint64_t salt = 0;
    // A failed commit could not be undone in place: the journal holds what
    // undoes it (at the next opening) and must not be overwritten.
    bool broken = false;

    // Pages this store released and that can be handed out again (pages
    // freed by other writers may still be listed in an index's own map,
    // so only ours are reused).
    std::set<std::uint32_t> freed;

    // The open transaction.
    bool inTransaction = false;
    std::uint32_t basePageCount = 0;
    std::set<std::uint32_t> txFreed;
    // A savepoint keeps what it needs to undo, not a copy of every changed
    // page: the pages first changed after it was taken (and before the next
    // one was), each with what `pending` held for it then (null: nothing).
    struct Snapshot {
        std::unordered_map<std::uint32_t, Page> before;
        std::uint32_t pageCount = 0;
        std::set<std::uint32_t> freed;
    };
    std::vector<Snapshot> savepoints;
    // A change failed halfway after pages of earlier changes had been kept
    // back (deferred index pages) and were lost with it: the transaction
    // cannot be committed, only rolled back (to any of its savepoints, all
    // of which were taken before those pages were kept).
    std::string incomplete;

    explicit Impl(const JetFile& f) : file(f) {}

    std::uint32_t pageSize() const { return state->layout.pageSize; }

    void requireUsable() const {
        if (broken) msg::raiseWithDetail(msg::IoError, {}, path + ": 上一次修改没有撤销完成");
    }

    void requireTransaction() const {
        if (!inTransaction)
            msg::raise(msg::BadArgument, {"页面只能在事务中修改（没有打开的写事务）"});
    }

    std::vector<std::uint8_t> encoded(std::uint32_t number, const std::vector<std::uint8_t>& page) {
        std::vector<std::uint8_t> out = page;
        if (number == 0) {
            rc4(kHeaderKey, 4, out.data() + kHeaderRegion, state->layout.jet4 ? 128 : 126);
        } else if (state->dbKey != 0) {
            const std::uint32_t k = state->dbKey ^ number;
            const std::uint8_t key[4] = {
                static_cast<std::uint8_t>(k), static_cast<std::uint8_t>(k >> 8),
                static_cast<std::uint8_t>(k >> 16), static_cast<std::uint8_t>(k >> 24)};
            rc4(key, 4, out.data(), out.size());
        }
        return out;
    }

    void put(std::uint32_t number, std::vector<std::uint8_t> bytes) {
        Page page = std::make_shared<const std::vector<std::uint8_t>>(std::move(bytes));
        if (!savepoints.empty()) {
            const auto was = state->pending.find(number);
            savepoints.back().before.emplace(number,
                                             was == state->pending.end() ? Page{} : was->second);
        }
        state->pending[number] = std::move(page);
        ++state->changes;
    }

    void endTransaction() {
        incomplete.clear();
        state->pending.clear();
        ++state->changes;
        savepoints.clear();
        txFreed.clear();
        inTransaction = false;
    }

    void rollback() {
        if (!inTransaction) return;
        state->dropDeferred();
        state->header.pageCount = basePageCount;
        endTransaction();
    }

    // --- the global usage map -------------------------------------------

    // Where the map row lies on page 1.
    struct MapRow {
        std::vector<std::uint8_t> page; // page 1 as this transaction sees it
        std::size_t start = 0, end = 0;
        std::uint8_t kind() const { return page[start]; }
    };

    [[noreturn]] void mapUnsupported(const std::string& why) const {
        msg::raise(msg::JetPageMapUnsupported, {path, why});
    }

    MapRow mapRow() {
        MapRow m;
        Page p = state->page(kMapPage);
        m.page = *p;
        ByteView v = state->view(p);
        bool deleted = false, overflow = false;
        if (v.u8(0) != 0x01 || !state->rowBounds(v, 0, m.start, m.end, deleted, overflow) ||
            overflow || m.end <= m.start)
            mapUnsupported("第 1 页没有页面分配表");
        if (m.kind() == 0x00) {
            if (m.end - m.start < 6) mapUnsupported("分配表太短");
        } else if (m.kind() != 0x01) {
            mapUnsupported("未知的类型 " + std::to_string(m.kind()));
        }
        return m;
    }

    // Sets page `number`'s bit (true = free) where the map tracks it.
    // Pages past an inline map's range move its window forward, as Jet's
    // other writers do; pages the map does not track (before the window,
    // or in a run without a bitmap page) stay untracked. Returns whether
    // the map tracks the page.
    bool setMapBit(std::uint32_t number, bool free) {
        MapRow m = mapRow();
        std::uint8_t* row = m.page.data() + m.start;
        const std::size_t rowLen = m.end - m.start;
        if (m.kind() == 0x00) {
            std::uint32_t first = getU32(row + 1);
            const std::uint64_t bits = static_cast<std::uint64_t>(rowLen - 5) * 8;
            if (number < first) return false;
            if (number >= first + bits) {
                if (free) return false; // untracked pages count as free anyway
                bool anyFree = false;
                for (std::size_t i = 5; i < rowLen; ++i)
                    if (row[i] != 0) anyFree = true;
                std::uint64_t newFirst = anyFree && number >= 256 ? number - 256 : number;
                newFirst &= ~static_cast<std::uint64_t>(7);
                std::vector<std::uint8_t> moved(rowLen - 5, 0);
                for (std::uint64_t i = 0; i < bits; ++i) {
                    const std::uint64_t q = newFirst + i;
                    bool bit;
                    if (q >= first && q < first + bits) {
                        const std::uint64_t o = q - first;
                        bit = (row[5 + o / 8] >> (o % 8)) & 1u;
                    } else {
                        // Pages of the file the old window did not cover are
                        // in use; those after the new page are free.
                        bit = q > number;
                    }
                    if (bit) moved[i / 8] |= static_cast<std::uint8_t>(1u << (i % 8));
                }
                first = static_cast<std::uint32_t>(newFirst);
                putU32(row + 1, first);
                std::memcpy(row + 5, moved.data(), moved.size());
            }
            const std::uint64_t o = number - first;
            if (free)
                row[5 + o / 8] |= static_cast<std::uint8_t>(1u << (o % 8));
            else
                row[5 + o / 8] &= static_cast<std::uint8_t>(~(1u << (o % 8)));
            put(kMapPage, std::move(m.page));
            return true;
        }
        // A map by reference: bitmap pages, each covering a run of pages.
        const std::uint64_t perPage = static_cast<std::uint64_t>(pageSize() - 4) * 8;
        const std::uint64_t index = number / perPage;
        const std::uint32_t bitmap = 1 + 4 * index + 4 <= rowLen ? getU32(row + 1 + 4 * index) : 0;
        // Runs of pages without a bitmap page are not tracked (their pages
        // count as free), as in files the desktop engine writes.
        if (bitmap == 0) return false;
        std::vector<std::uint8_t> bp = *state->page(bitmap);
        if (bp.empty() || bp[0] != 0x05) mapUnsupported("位图页的类型不对");
        const std::uint64_t o = number % perPage;
        if (free)
            bp[4 + o / 8] |= static_cast<std::uint8_t>(1u << (o % 8));
        else
            bp[4 + o / 8] &= static_cast<std::uint8_t>(~(1u << (o % 8)));
        put(bitmap, std::move(bp));
        return true;
    }

    // --- commit -----------------------------------------------------------

    void commit() {
        if (!inTransaction) return;
        try {
            state->flushDeferred();
            if (!incomplete.empty())
                msg::raiseWithDetail(msg::IoError, {}, path + ": " + incomplete);
        } catch (...) {
            rollback();
            throw;
        }
        if (state->pending.empty()) {
            endTransaction();
            return;
        }
        try {
            writeTransaction();
        } catch (...) {
            rollback();
            throw;
        }
        for (auto& [number, page] : state->pending)
            state->cache.replace(number, page);
        freed = std::move(txFreed);
        endTransaction();
    }

    void writeTransaction() {
        requireUsable();
        const std::uint32_t ps = pageSize();
        std::vector<std::uint32_t> numbers;
        numbers.reserve(state->pending.size());
        for (const auto& entry : state->pending)
            numbers.push_back(entry.first);
        std::sort(numbers.begin(), numbers.end());

        // 1. The originals of the pages that exist, synced.
        Journal j;
        j.pageSize = ps;
        j.originalSize = state->fileSize;
        j.salt = ++salt;
        for (std::uint32_t n : numbers) {
            const std::uint64_t at = static_cast<std::uint64_t>(n) * ps;
            if (at + ps > j.originalSize) continue;
            std::vector<std::uint8_t> bytes(ps);
            if (int err = readAll(fd.get(), bytes.data(), ps, at)) raiseWriteFailure(err, path);
            j.pages.emplace_back(n, std::move(bytes));
        }
        if (int err = writeJournal(j)) {
            wipeJournalHeader();
            raiseWriteFailure(err, journal);
        }

        // 2. The new pages, synced.
        int err = 0;
        for (std::uint32_t n : numbers) {
            const std::vector<std::uint8_t> bytes = encoded(n, *state->pending.at(n));
            err =
                writeAll(fd.get(), bytes.data(), bytes.size(), static_cast<std::uint64_t>(n) * ps);
            if (err) break;
        }
        if (!err) err = syncFile(fd.get());
        if (err) {
            // Undone in place with what the journal holds; where even that
            // fails the journal stays and the next opening undoes it.
            if (restoreFrom(fd.get(), j) == 0)
                wipeJournalHeader();
            else
                broken = true;
            raiseWriteFailure(err, path);
        }
        struct stat st {};
        if (::fstat(fd.get(), &st) == 0) state->fileSize = static_cast<std::uint64_t>(st.st_size);

        // 3. Done.
        wipeJournalHeader();
    }

    int writeJournal(const Journal& j) {
        if (!journalFd) {
            journalFd = Fd(::open(journal.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
            if (!journalFd) return errno;
            if (int err = syncFolderOf(journal)) return err;
        }
        const std::size_t recordSize = kRecordHeadSize + j.pageSize;
        std::vector<std::uint8_t> out(kJournalHeaderSize + recordSize * j.pages.size(), 0);
        for (std::size_t i = 0; i < j.pages.size(); ++i) {
            std::uint8_t* r = out.data() + kJournalHeaderSize + i * recordSize;
            const auto& [number, bytes] = j.pages[i];
            putU32(r, number);
            putU32(r + 4, checksum(j.salt, number, bytes.data(), bytes.size()));
            std::memcpy(r + kRecordHeadSize, bytes.data(), bytes.size());
        }
        std::uint8_t* head = out.data();
        std::memcpy(head, kJournalMagic, 8);
        putU32(head + 8, kJournalVersion);
        putU32(head + 12, j.pageSize);
        putU32(head + 16, static_cast<std::uint32_t>(j.pages.size()));
        putU64(head + 24, j.salt);
        putU64(head + 32, j.originalSize);
        putU32(head + kHeadChecked, checksum(0, 0, head, kHeadChecked));
        if (int err = writeAll(journalFd.get(), out.data(), out.size(), 0)) return err;
        return syncFile(journalFd.get());
    }

    // Ends a commit: the journal no longer undoes anything. Not synced: a
    // header that comes back after a power cut undoes the last commit
    // whole, which leaves the file consistent.
    void wipeJournalHeader() {
        if (!journalFd) return;
        static const std::uint8_t zeros[8] = {};
        if (writeAll(journalFd.get(), zeros, sizeof zeros, 0) != 0) broken = true;
    }

    void closeJournal() {
        if (!journalFd || broken) return;
        journalFd.reset();
        ::unlink(journal.c_str());
    }

    // --- the lock file --------------------------------------------------

    void openLockFile() {
        const std::string machine = machineName();
        const std::vector<std::uint8_t> mine = ldbRecord(machine);
        Fd l(::open(ldb.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644));
        if (!l) return; // a folder without room for it: Jet opens such files too
        struct stat st {};
        ::fstat(l.get(), &st);
        std::vector<std::uint8_t> old(static_cast<std::size_t>(st.st_size));
        if (!old.empty() && readAll(l.get(), old.data(), old.size(), 0) != 0) old.clear();
        // Records of this machine are stale ones of ours (we hold the file's
        // lock, so no other writer here is using it); others are left as
        // they are and so is the file when we close.
        bool foreign = false;
        for (std::size_t at = 0; at + kLdbRecord <= old.size(); at += kLdbRecord) {
            const std::string m = ldbMachine(old.data() + at);
            if (!m.empty() && m != machine) foreign = true;
        }
        if (!foreign) {
            if (::ftruncate(l.get(), 0) == 0 && writeAll(l.get(), mine.data(), mine.size(), 0) == 0)
                ldbOurs = true;
        } else {
            writeAll(l.get(), mine.data(), mine.size(), old.size() / kLdbRecord * kLdbRecord);
        }
    }

    void closeLockFile() {
        if (ldbOurs) ::unlink(ldb.c_str());
    }
};

std::string PageStore::journalPath(const std::string& path) {
    return path + "-tbj";
}

std::string PageStore::lockFilePath(const std::string& path) {
    return fs::path(path).replace_extension(".ldb").string();
}

PageStore::Leftover PageStore::rollBackLeftover(const std::string& path) {
    const std::string jpath = journalPath(path);
    struct stat st {};
    if (::stat(jpath.c_str(), &st) != 0) return Leftover::None;

    struct stat fileStat {};
    const bool writeBit = ::stat(path.c_str(), &fileStat) == 0 && (fileStat.st_mode & S_IWUSR);
    Fd fd(writeBit ? ::open(path.c_str(), O_RDWR | O_CLOEXEC) : -1);
    if (!fd) {
        // Without the file's lock the journal may be a live writer's: it is
        // left where it is.
        return readJournal(path, jpath).whole ? Leftover::CannotWrite : Leftover::None;
    }
    if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) return Leftover::InUse;
    Journal j = readJournal(path, jpath);
    if (!j.whole) {
        if (int err = discardJournal(jpath)) raiseWriteFailure(err, jpath);
        return Leftover::None;
    }
    int err = restoreFrom(fd.get(), j);
    if (!err) err = discardJournal(jpath);
    if (err) {
        if (permissionDenied(err)) return Leftover::CannotWrite;
        raiseWriteFailure(err, path);
    }
    return Leftover::RolledBack;
}

std::shared_ptr<PageStore> PageStore::open(const JetFile& file) {
    std::shared_ptr<PageStore> store(new PageStore());
    store->impl_ = std::make_unique<Impl>(file);
    Impl& m = *store->impl_;
    m.state = file.state_;
    m.path = m.state->path;
    m.journal = journalPath(m.path);
    m.ldb = lockFilePath(m.path);

    const HeaderInfo& h = m.state->header;
    if (h.ace)
        msg::raise(msg::JetFormatReadOnly, {m.path, "Access 2007 及以后版本（ACE，.accdb）"});
    if (h.jetVersion != 4 || !m.state->layout.jet4)
        msg::raise(msg::JetFormatReadOnly, {m.path, "Access 97（Jet 3）"});

    struct stat st {};
    if (::stat(m.path.c_str(), &st) != 0) msg::raise(msg::FileNotFound, {m.path});
    if (!(st.st_mode & S_IWUSR)) msg::raise(msg::ReadOnlyFile, {m.path});
    m.fd = Fd(::open(m.path.c_str(), O_RDWR | O_CLOEXEC));
    if (!m.fd) {
        if (permissionDenied(errno)) msg::raise(msg::ReadOnlyFile, {m.path});
        msg::raiseWithDetail(msg::CannotOpen, {m.path}, std::strerror(errno));
    }
    if (::flock(m.fd.get(), LOCK_EX | LOCK_NB) != 0) {
        if (errno == EWOULDBLOCK) msg::raise(msg::JetFileInUse, {m.path});
        msg::raiseWithDetail(msg::CannotOpen, {m.path}, std::strerror(errno));
    }
    // The folder must take the journal.
    {
        fs::path folder = fs::path(m.path).parent_path();
        if (folder.empty()) folder = ".";
        if (::access(folder.c_str(), W_OK) != 0) msg::raise(msg::ReadOnlyFile, {m.path});
    }

    // A journal left by a writer that stopped half-way (normally rolled back
    // before the file was read; this covers one left in between).
    if (::stat(m.journal.c_str(), &st) == 0) {
        Journal j = readJournal(m.path, m.journal);
        int err = j.whole ? restoreFrom(m.fd.get(), j) : 0;
        if (!err) err = discardJournal(m.journal);
        if (err) raiseWriteFailure(err, m.path);
        if (j.whole) {
            m.recovered = true;
            m.state->cache.clear();
        }
    }
    if (::fstat(m.fd.get(), &st) != 0)
        msg::raiseWithDetail(msg::CannotOpen, {m.path}, std::strerror(errno));
    m.state->fileSize = static_cast<std::uint64_t>(st.st_size);
    if (m.state->fileSize % m.pageSize() != 0)
        msg::raise(msg::JetPageMapUnsupported, {m.path, "文件长度不是页面大小的整数倍"});
    m.state->header.pageCount = static_cast<std::uint32_t>(m.state->fileSize / m.pageSize());
    m.mapRow(); // a map we cannot keep right means no writing at all
    // Commit numbers start at random, so no page of an earlier journal
    // checks as part of a later one.
    std::random_device seed;
    m.salt = (static_cast<std::uint64_t>(seed()) << 32) | seed();
    m.openLockFile();
    return store;
}

PageStore::~PageStore() {
    if (!impl_) return;
    impl_->rollback();
    impl_->closeJournal();
    impl_->closeLockFile();
    // Closing the descriptor releases the lock.
}

const JetFile& PageStore::file() const {
    return impl_->file;
}

bool PageStore::recovered() const {
    return impl_->recovered;
}

void PageStore::begin() {
    Impl& m = *impl_;
    if (m.inTransaction) return;
    m.requireUsable();
    m.inTransaction = true;
    m.basePageCount = m.state->header.pageCount;
    m.txFreed = m.freed;
    m.state->pending.clear();
}

bool PageStore::inTransaction() const {
    return impl_->inTransaction;
}

Page PageStore::read(std::uint32_t number) const {
    return impl_->state->page(number);
}

void PageStore::write(std::uint32_t number, std::vector<std::uint8_t> bytes) {
    Impl& m = *impl_;
    m.requireTransaction();
    if (bytes.size() != m.pageSize())
        msg::raise(msg::BadArgument, {"页面大小应为 " + std::to_string(m.pageSize()) + " 字节"});
    if (number >= m.state->header.pageCount)
        msg::raise(msg::BadArgument, {"第 " + std::to_string(number) + " 页不在文件中"});
    m.put(number, std::move(bytes));
}

std::uint32_t PageStore::allocate() {
    Impl& m = *impl_;
    m.requireTransaction();
    // A page this store released, while the map still tracks it as free.
    while (!m.txFreed.empty()) {
        const std::uint32_t number = *m.txFreed.begin();
        m.txFreed.erase(m.txFreed.begin());
        if (!m.setMapBit(number, false)) continue;
        m.put(number, std::vector<std::uint8_t>(m.pageSize(), 0));
        return number;
    }
    // Otherwise a new page at the end of the file.
    const std::uint32_t number = m.state->header.pageCount;
    if (static_cast<std::uint64_t>(number + 1) * m.pageSize() > kMaxFileSize)
        msg::raise(msg::JetPageMapUnsupported, {m.path, "文件已达到 2 GB 的上限"});
    ++m.state->header.pageCount;
    try {
        m.setMapBit(number, false);
    } catch (...) {
        --m.state->header.pageCount;
        throw;
    }
    m.put(number, std::vector<std::uint8_t>(m.pageSize(), 0));
    return number;
}

void PageStore::release(std::uint32_t number) {
    Impl& m = *impl_;
    m.requireTransaction();
    if (number <= kMapPage || number >= m.state->header.pageCount)
        msg::raise(msg::BadArgument, {"不能释放第 " + std::to_string(number) + " 页"});
    std::vector<std::uint8_t> page = *m.state->page(number);
    std::fill(page.begin(), page.begin() + 4, std::uint8_t{0});
    m.put(number, std::move(page));
    if (m.setMapBit(number, true)) m.txFreed.insert(number);
}

int PageStore::savepoint() {
    Impl& m = *impl_;
    m.requireTransaction();
    m.state->flushDeferred();
    m.savepoints.push_back({{}, m.state->header.pageCount, m.txFreed});
    return static_cast<int>(m.savepoints.size()) - 1;
}

void PageStore::rollbackTo(int level) {
    Impl& m = *impl_;
    if (!m.inTransaction || level < 0 || static_cast<std::size_t>(level) >= m.savepoints.size())
        return;
    m.state->dropDeferred();
    m.incomplete.clear();
    const auto at = static_cast<std::size_t>(level);
    // The newest savepoint first: a page changed after several of them
    // ends with what it was when the oldest of those was taken.
    auto& pending = m.state->pending;
    for (std::size_t k = m.savepoints.size(); k-- > at;)
        for (const auto& [number, page] : m.savepoints[k].before) {
            if (page)
                pending[number] = page;
            else
                pending.erase(number);
        }
    ++m.state->changes;
    m.savepoints.resize(at + 1);
    Impl::Snapshot& s = m.savepoints[at];
    s.before.clear();
    m.state->header.pageCount = s.pageCount;
    m.txFreed = s.freed;
}

void PageStore::releaseSavepoint(int level) {
    Impl& m = *impl_;
    if (!m.inTransaction || level < 0 || static_cast<std::size_t>(level) >= m.savepoints.size())
        return;
    m.state->flushDeferred();
    const auto at = static_cast<std::size_t>(level);
    // The savepoint below now answers for these pages too, unless it
    // already holds an older state of them.
    if (at > 0) {
        auto& below = m.savepoints[at - 1].before;
        for (std::size_t k = at; k < m.savepoints.size(); ++k)
            for (auto& [number, page] : m.savepoints[k].before)
                below.emplace(number, std::move(page));
    }
    m.savepoints.resize(at);
}

void PageStore::commit() {
    impl_->commit();
}

void PageStore::rollback() {
    impl_->rollback();
}

void PageStore::markIncomplete(const std::string& why) {
    if (impl_->inTransaction && impl_->incomplete.empty()) impl_->incomplete = why;
}

std::size_t PageStore::pendingPages() const {
    return impl_->state->pending.size();
}

void JetState::flushDeferredPages(const DeferredPages* except) {
    // A holder leaves the list as it flushes.
    const std::vector<DeferredPages*> holders = deferred;
    for (DeferredPages* h : holders)
        if (h != except) h->flushDeferred();
}

void JetState::dropDeferredPages() {
    const std::vector<DeferredPages*> holders = deferred;
    for (DeferredPages* h : holders)
        h->dropDeferred();
}

} // namespace engine::jet
