#pragma once

#include "component/Resources.h"
#include "component/TypeLib.h"

#include <vector>

namespace knoplux {

// The description of the library's types: the coclass, the dual interface
// and the event interface (from the control's own dispatch tables) and the
// two enums.
component::TypeLibDesc typeLibDescription();

// Every resource the library carries: the type library, the two interface
// identifier blocks, the toolbox bitmap and the version block.
std::vector<component::Resource> libraryResources();

// The toolbox picture, 16 x 15 pixels.
QImage toolboxPicture();

inline constexpr std::uint16_t LanguageChinese = 0x0804;
inline constexpr std::uint16_t CodePageUnicode = 1200;

} // namespace knoplux
