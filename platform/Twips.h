#pragma once

// Window and control sizes are designed in twips. The program draws at
// 96 dots per inch, where one pixel is 15 twips; every conversion goes
// through these two functions so the whole program agrees on rounding.
namespace platform {

inline constexpr int TwipsPerPixel = 15;

// Rounds to the nearest pixel (halves away from zero).
constexpr int twipsToPixels(int twips) {
    return twips >= 0 ? (twips + TwipsPerPixel / 2) / TwipsPerPixel
                      : -((-twips + TwipsPerPixel / 2) / TwipsPerPixel);
}

constexpr int pixelsToTwips(int pixels) {
    return pixels * TwipsPerPixel;
}

} // namespace platform
