#pragma once

#include "engine/Connection.h"
#include "engine/Recordset.h"
#include "engine/base/EngineError.h"

#include <QPointer>
#include <QString>
#include <QWidget>

#include <array>
#include <functional>
#include <optional>

class QComboBox;

namespace dbconn {

// The menus of the main frame whose items other modules switch on and off.
enum class Menu { F, edit, edit1, SQ, TOOL };

// What this module needs of the main frame: its table chooser and its menu
// items. The frame registers itself in globals().Frame when it is built.
class FrameAccess {
public:
    virtual ~FrameAccess() = default;
    virtual QComboBox& Chooser() = 0;
    virtual void SetItemEnabled(Menu menu, int index, bool enabled) = 0;
};

// Entry points that windows above this module provide. Each is filled by the
// window that owns the work when it is built; an empty one does nothing.
struct Hooks {
    // The table loader: shows `source` in the data window of `slot`
    // (0 = the free-SQL window, 1 to 88 = per-table windows). Raises the
    // engine's failure to the caller.
    std::function<void(const QString& source, int slot)> ShowTable;
    // The home window's new-table command (its CQ_Click with index 0).
    std::function<void()> NewTable;
    // Enables the home window's "表设计" label.
    std::function<void()> EnableTableDesign;
    // Unload the structure view and the free-SQL data window when loaded.
    std::function<void()> UnloadStructureView;
    std::function<void()> UnloadFreeSqlWindow;
    // Writes the row being edited in every open data window before windows
    // close or the program ends; when the engine refuses a row the user is
    // told why and asked whether to discard it. Returns false when the user
    // chose to keep editing, so the caller stops what it was about to do.
    std::function<bool()> CommitPendingEdits;
    // Tells the data windows that the database at `path` was closed, so
    // windows showing its rows say so instead of re-querying whatever
    // connection comes next.
    std::function<void(const QString& path)> DatabaseClosed;
};

inline constexpr int TableWindowCount = 89; // slots 0 to 88

// The program-wide values. One instance, reached through globals(); the
// windows read and write the members directly.
struct Globals {
    QString DbPath;     // full path of the current database file; empty while none is chosen
    QString DbPassword; // the password of the last open attempt; never cleared
    std::optional<engine::Connection> DbConn; // the one shared connection, or nothing
    QString CurrentTable;       // the table or saved query in use, without "(存储过程)"
    QString CurrentSql;         // the SQL text last built or typed
    engine::Recordset SharedRs; // the table loader's result
    QString SysTableName;       // "USys_SVZ" once a catalogue was read
    std::array<QPointer<QWidget>, TableWindowCount> TableWindows{}; // per-table data windows

    // Why the last open attempt failed (not a wrong password: that prompts);
    // empty after a successful open. The catalogue loader reports it.
    std::optional<engine::EngineError> LastOpenFailure;

    FrameAccess* Frame = nullptr;
    Hooks hooks;
};

Globals& globals();

// Puts every value back to its state at program start, hooks and frame
// included. For tests, and for main before it returns.
void resetGlobals();

} // namespace dbconn
