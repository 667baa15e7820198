#pragma once

// Helpers the command files share.

#include "Export.h"

#include "dbconn/Globals.h"
#include "platform/Services.h"

#include <QString>

namespace frame::commands {

// Writes every window's pending edits; false when the user chose to keep
// editing, so the caller stops.
inline bool commitPendingEdits() {
    const auto& commit = dbconn::globals().hooks.CommitPendingEdits;
    return !commit || commit();
}

inline void tell(const QString& text, const QString& title = QString()) {
    platform::services().MsgBox(text, platform::mb::OkOnly, title);
}

// Writes `rs` to `path`, with a progress dialog and a cancel button for
// results above ProgressThreshold rows. Returns false when the user
// cancelled; raises a failure with its reason.
bool exportWithProgress(const engine::Recordset& rs, const QString& path, exporting::Format format);

} // namespace frame::commands
