#include "app/ProgramWiring.h"

#include "datawin/TableLoader.h"
#include "designer/Designer.h"
#include "frame/Commands.h"
#include "frame/MDI.h"
#include "home/start.h"
#include "search/Form4.h"

namespace app {

void installProgramModules() {
    // The table loader first: the home window and the commands show tables
    // through it.
    datawin::install();
    home::install();
    designer::install();
    // The file, edit, view and tool commands of the frame.
    if (frame::MDI* mdi = frame::mainFrame()) frame::installCommands(*mdi);
    search::install();
}

} // namespace app
