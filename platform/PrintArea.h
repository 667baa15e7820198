#pragma once

class QPrinter;
class QWidget;

namespace platform {

// Paints what is visible of `widget` (all of it when nothing is) on one page
// of `printer`, scaled to the page and keeping its proportions. Returns
// false when nothing could be printed.
bool printVisibleArea(QWidget& widget, QPrinter& printer);

} // namespace platform
