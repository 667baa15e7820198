#pragma once

namespace component {

// Scale modes of a drawing surface.
enum ScaleMode : short {
    ScaleUser = 0,
    ScaleTwips = 1,
    ScalePoints = 2,
    ScalePixels = 3,
    ScaleCharacters = 4,
    ScaleInches = 5,
    ScaleMillimeters = 6,
    ScaleCentimeters = 7,
    ScaleHimetric = 8,
};

// 96 dots per inch: 15 twips per pixel.
inline constexpr double TwipsPerPixel = 15.0;
inline constexpr double HimetricPerInch = 2540.0;
inline constexpr double TwipsPerInch = 1440.0;

// Twips per unit of a fixed scale mode along one axis; 0 for the user scale,
// which depends on the surface. Characters are 120 twips wide and 240 high.
double twipsPerUnit(int scaleMode, bool vertical);

inline double pixelsToHimetric(double px) {
    return px * HimetricPerInch / 96.0;
}
inline double himetricToPixels(double hm) {
    return hm * 96.0 / HimetricPerInch;
}
inline double himetricToTwips(double hm) {
    return hm * TwipsPerInch / HimetricPerInch;
}

} // namespace component
