#include "Units.h"

namespace component {

double twipsPerUnit(int scaleMode, bool vertical) {
    switch (scaleMode) {
    case ScaleTwips:
        return 1.0;
    case ScalePoints:
        return 20.0;
    case ScalePixels:
        return TwipsPerPixel;
    case ScaleCharacters:
        return vertical ? 240.0 : 120.0;
    case ScaleInches:
        return TwipsPerInch;
    case ScaleMillimeters:
        return TwipsPerInch / 25.4;
    case ScaleCentimeters:
        return TwipsPerInch / 2.54;
    case ScaleHimetric:
        return TwipsPerInch / HimetricPerInch;
    default:
        return 0.0;
    }
}

} // namespace component
