#pragma once

#include <QString>

#include <functional>

namespace knoplux {

inline constexpr int MessageBoxOkOnly = 0;
inline constexpr int MessageBoxSystemModal = 4096;

// Shows a message box with the platform's style bits and returns the button
// pressed (1 for OK). Hosts and tests may route it elsewhere.
int showMessageBox(const QString& text, int style, const QString& title);
void setMessageBoxHandler(std::function<int(const QString&, int, const QString&)> handler);

} // namespace knoplux
