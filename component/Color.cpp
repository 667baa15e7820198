#include "Color.h"

#include "AutomationError.h"

#include <array>

namespace component {

namespace {

constexpr OleColor bgr(int r, int g, int b) {
    return static_cast<OleColor>(r) | static_cast<OleColor>(g) << 8 |
           static_cast<OleColor>(b) << 16;
}

std::array<OleColor, SystemColorCount>& palette() {
    static std::array<OleColor, SystemColorCount> p = {
        bgr(200, 200, 200), // scroll bar
        bgr(0, 0, 0),       // desktop
        bgr(153, 180, 209), // active caption
        bgr(191, 205, 219), // inactive caption
        bgr(240, 240, 240), // menu
        bgr(255, 255, 255), // window
        bgr(100, 100, 100), // window frame
        bgr(0, 0, 0),       // menu text
        bgr(0, 0, 0),       // window text
        bgr(0, 0, 0),       // caption text
        bgr(180, 180, 180), // active border
        bgr(244, 247, 252), // inactive border
        bgr(171, 171, 171), // application workspace
        bgr(0, 120, 215),   // highlight
        bgr(255, 255, 255), // highlight text
        bgr(240, 240, 240), // button face
        bgr(160, 160, 160), // button shadow
        bgr(109, 109, 109), // grey text
        bgr(0, 0, 0),       // button text
        bgr(0, 0, 0),       // inactive caption text
        bgr(255, 255, 255), // button highlight
        bgr(105, 105, 105), // 3-D dark shadow
        bgr(227, 227, 227), // 3-D light
        bgr(0, 0, 0),       // tooltip text
        bgr(255, 255, 225), // tooltip background
        bgr(0, 0, 0),       // (unused)
        bgr(0, 102, 204),   // hot-tracked item
        bgr(185, 209, 234), // gradient active caption
        bgr(215, 228, 242), // gradient inactive caption
        bgr(0, 120, 215),   // menu highlight
        bgr(240, 240, 240), // menu bar
    };
    return p;
}

} // namespace

bool isValidOleColor(OleColor c) {
    const OleColor high = c & 0xFF000000u;
    if (high == 0) return true;
    if (high == SystemColorFlag) return (c & 0x00FFFFFFu) < SystemColorCount;
    // Palette index (0x01) and palette-relative (0x02) forms.
    return high == 0x01000000u || high == 0x02000000u;
}

void checkOleColor(OleColor c) {
    if (!isValidOleColor(c)) throwInvalidPropertyValue();
}

OleColor resolveOleColor(OleColor c) {
    if ((c & 0xFF000000u) == SystemColorFlag) {
        const OleColor index = c & 0x00FFFFFFu;
        return index < SystemColorCount ? palette()[index] : 0;
    }
    return c & 0x00FFFFFFu;
}

QColor toQColor(OleColor c) {
    return QColor(toRgb(c));
}

OleColor fromQColor(const QColor& c) {
    return bgr(c.red(), c.green(), c.blue());
}

OleColor systemColor(int index) {
    return index >= 0 && index < SystemColorCount ? palette()[index] : 0;
}

void setSystemColor(int index, OleColor value) {
    if (index >= 0 && index < SystemColorCount) palette()[index] = value & 0x00FFFFFFu;
}

} // namespace component
