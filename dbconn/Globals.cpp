#include "Globals.h"

namespace dbconn {

Globals& globals() {
    static Globals g;
    return g;
}

void resetGlobals() {
    globals() = Globals{};
}

} // namespace dbconn
