// An acquisition run: start, trigger wait, run loop, Stop and end of run.
#include "app/principale.h"

namespace SonivarACQ32 {

void Principale::button_Start_Click() {}
void Principale::button_Abort_Click() {}
void Principale::button_Stop_Click() {}

} // namespace SonivarACQ32
