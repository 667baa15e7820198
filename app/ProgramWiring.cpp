#include "app/ProgramWiring.h"

#include "datawin/TableLoader.h"
#include "designer/Designer.h"
#include "home/start.h"

namespace app {

void installProgramModules() {
    // The table loader first: the home window and the commands show tables
    // through it.
    datawin::install();
    home::install();
    designer::install();
}

} // namespace app
