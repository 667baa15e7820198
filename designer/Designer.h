#pragma once

namespace designer {

class Form2;
class Form3;

// The designer's windows while they are open, or null.
Form2* structureView();
Form3* fieldEditor();

// View command "表设计视图": the field-list editor for the home window's
// selected entry; refused while none is selected.
void ShowFieldEditor();
// View command "字段\存储过程": the structure view.
void ShowStructureView();
// Closes the structure view (the database it showed is gone).
void UnloadStructureView();

// Fills the frame's routes for view items 4 and 5 and the connection
// module's hook that unloads the structure view.
void install();

} // namespace designer
