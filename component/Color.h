#pragma once

#include <QColor>

#include <cstdint>

namespace component {

// Colours are 32-bit values 0x00BBGGRR, or system colour references
// 0x800000nn naming entry nn of the desktop palette.
using OleColor = std::uint32_t;

inline constexpr OleColor SystemColorFlag = 0x80000000u;

// Desktop palette indices the controls use.
enum SystemColor : int {
    ScrollBar = 0,
    Background = 1,
    ActiveCaption = 2,
    InactiveCaption = 3,
    Menu = 4,
    Window = 5,
    WindowFrame = 6,
    MenuText = 7,
    WindowText = 8,
    CaptionText = 9,
    ActiveBorder = 10,
    InactiveBorder = 11,
    AppWorkspace = 12,
    Highlight = 13,
    HighlightText = 14,
    ButtonFace = 15,
    ButtonShadow = 16,
    GrayText = 17,
    ButtonText = 18,
    InactiveCaptionText = 19,
    ButtonHighlight = 20,
    DarkShadow3D = 21,
    Light3D = 22,
    InfoText = 23,
    InfoBackground = 24,
    SystemColorCount = 31,
};

// True for an explicit colour or a reference to an existing palette entry.
bool isValidOleColor(OleColor c);
// Throws the "invalid property value" failure for anything else.
void checkOleColor(OleColor c);

// Resolves a colour (system references through the desktop palette) to an
// explicit 0x00BBGGRR value.
OleColor resolveOleColor(OleColor c);
QColor toQColor(OleColor c);
OleColor fromQColor(const QColor& c);
// Pixel values of images (0xAARRGGBB) to and from 0x00BBGGRR.
inline OleColor fromRgb(QRgb rgb) {
    return static_cast<OleColor>(qRed(rgb)) | static_cast<OleColor>(qGreen(rgb)) << 8 |
           static_cast<OleColor>(qBlue(rgb)) << 16;
}
inline QRgb toRgb(OleColor c) {
    const OleColor r = resolveOleColor(c);
    return qRgb(static_cast<int>(r & 0xFF), static_cast<int>((r >> 8) & 0xFF),
                static_cast<int>((r >> 16) & 0xFF));
}

// The desktop palette. It starts with the standard desktop colours; a host
// may change entries (as a desktop theme does).
OleColor systemColor(int index);
void setSystemColor(int index, OleColor value);

} // namespace component
