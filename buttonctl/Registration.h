#pragma once

#include "component/Unknown.h"

#include <QString>

namespace knoplux {

// Writes the library's records into the registration store: the class with
// its in-process server at libraryPath, its programmatic id, the type
// library, the two interfaces, threading, control status and toolbox bitmap.
component::HResult registerServer(const QString& libraryPath);
// Removes exactly what registerServer wrote.
component::HResult unregisterServer();
// The file this code was loaded from.
QString libraryPath();

inline constexpr unsigned MiscStatusCButton = 0x20191;
inline constexpr int ToolboxBitmapId = 30000;

} // namespace knoplux
