#pragma once

namespace app {

// Fills every routing point of the frame and of the connection module with
// the windows and commands that carry out the work. The program calls it once
// after building the frame; tests call it the same way, so a command that
// works in a test works in the shipped program.
void installProgramModules();

} // namespace app
