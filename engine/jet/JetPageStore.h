#pragma once

// Changes to the pages of a genuine Jet 4 .mdb file, made in transactions
// that survive a crash (the desktop engine writes pages in place with no
// journal; we do better):
//
//   auto store = engine::jet::PageStore::open(file);  // lock, .ldb, roll back a leftover journal
//   store->begin();
//   std::vector<std::uint8_t> p = *store->read(n);     // the page as this transaction sees it
//   ... edit p ...
//   store->write(n, std::move(p));
//   std::uint32_t fresh = store->allocate();           // a zeroed page from the free-page map
//   store->commit();   // originals to the journal, sync; pages to the file, sync; journal wiped
//
// While a transaction is open, every reader of the same JetFile (cursors,
// TableReader, the virtual tables) sees its pages: they are kept decoded in
// JetState::pending. Pages are written encoded when the file's pages are
// RC4-encoded; the header page and the database password stay as they are.
//
// Savepoints nest inside a transaction: savepoint() returns its level (0 for
// the first, as SQLite numbers them); rollbackTo(level) undoes what was
// written since that savepoint was taken and keeps the savepoint;
// releaseSavepoint(level) keeps what was written and forgets the savepoint
// and the ones above it.
//
// Failures are EngineError with the engine's texts: a file that cannot be
// written (Jet 3, ACE, read-only media, no permission), a file in use by
// another writer, a full disk (the file is left as it was before the
// transaction; a failed commit rolls the transaction back). Not safe for use
// from several threads at once.

#include "engine/jet/JetFile.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace engine::jet {

using Page = std::shared_ptr<const std::vector<std::uint8_t>>;

class PageStore {
public:
    // Opens `file` (opened read-only by JetFile::open) for writing as well.
    static std::shared_ptr<PageStore> open(const JetFile& file);
    ~PageStore(); // rolls back an open transaction, removes the .ldb, releases the lock
    PageStore(const PageStore&) = delete;
    PageStore& operator=(const PageStore&) = delete;

    // A leftover journal beside a file, before the file is read: a whole
    // one is rolled back (the file then holds what it held before the
    // unfinished change), a torn one is removed (the file was never touched).
    enum class Leftover {
        None,        // no journal, or a torn one that was removed
        RolledBack,  // an unfinished change was undone
        CannotWrite, // a whole journal, but the file or its folder cannot be written
        InUse,       // another writer holds the file: the journal is its own
    };
    // Throws msg::JetJournalDamaged when the journal is whole but its pages
    // do not check.
    static Leftover rollBackLeftover(const std::string& path);
    static std::string journalPath(const std::string& path);  // name.mdb-tbj
    static std::string lockFilePath(const std::string& path); // name.ldb

    const JetFile& file() const;
    // True when opening found a leftover journal of an unfinished change and
    // rolled it back.
    bool recovered() const;

    void begin(); // starts a transaction; nothing happens when one is open
    bool inTransaction() const;
    Page read(std::uint32_t number) const;
    void write(std::uint32_t number, std::vector<std::uint8_t> bytes);
    std::uint32_t allocate();
    void release(std::uint32_t number);
    int savepoint();
    void rollbackTo(int level);
    void releaseSavepoint(int level);
    void commit();
    void rollback();

    // A change failed halfway and could not undo itself: the open
    // transaction can then only be rolled back (to one of its savepoints,
    // or whole); commit() refuses it with `why` and rolls it back.
    void markIncomplete(const std::string& why);

    // Pages the open transaction has changed (for tests and statistics).
    std::size_t pendingPages() const;

private:
    PageStore() = default;
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace engine::jet
