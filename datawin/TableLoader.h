#pragma once

#include <QString>

#include <vector>

namespace datawin {

class Form1;

// Window slots of the table loader: 0 is the free-SQL window, 1 to 88 the
// per-table windows.
inline constexpr int FirstTableSlot = 1;
inline constexpr int LastTableSlot = 88;

// Fills the table loader and the free-SQL window's unload into the
// program-wide hooks. Called once at start-up.
void install();

// Puts the result of `source` on screen: opens it into SharedRs for its
// record count, then binds the free-SQL window to it (slot 0) or shows the
// per-table window of `slot` (1 to 88), created on first use. Returns at once
// when no table is chosen or the statement is empty. Raises the engine's
// failure, or an out-of-range failure for another slot, to the caller
// before any window is touched.
void ShowTable(const QString& source, int slot);

// The default data window (the free-SQL window), loading it when `load` is
// true and it is not loaded; null otherwise.
Form1* defaultForm1(bool load = true);

// The loaded window of a table slot, or null.
Form1* tableWindow(int slot);

// Closes the free-SQL window when it is loaded.
void UnloadFreeSqlWindow();

// The column pick list's result: shown in the window of slot 1. A failure
// is reported to the user with the engine's reason.
void showPickedColumns(const QString& sql);

// Every loaded data window: the free-SQL window first, then the table slots.
std::vector<Form1*> openWindows();

// Writes the row being typed in every data window, asking about refused
// ones; false when the user keeps editing (the window stays in front).
bool CommitPendingEdits();

// Marks the table windows as showing a closed database (`path` was the
// open one).
void DatabaseClosed(const QString& path);

// A message for a statement that could not be shown.
void reportLoadFailure(const QString& what, const std::exception& failure);

} // namespace datawin
