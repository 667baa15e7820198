#include "app/ProgramWiring.h"

#include "datawin/TableLoader.h"
#include "home/start.h"
#include "search/Form4.h"

namespace app {

void installProgramModules() {
    // The table loader first: the home window and the commands show tables
    // through it.
    datawin::install();
    home::install();
    search::install();
}

} // namespace app
