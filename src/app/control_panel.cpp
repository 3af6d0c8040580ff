// The control panel: every fixed control, the enablement switches and the
// small handlers that only show, hide or set flags.
#include "app/principale.h"

namespace SonivarACQ32 {

void Principale::InitializeComponent() {}
void Principale::enable() {}
void Principale::set_all_enabled(bool value) { enabled.fill(value); }
void Principale::checkBox_Test_CheckedChanged() {}
void Principale::checkBox_Definie_CheckedChanged() {}
void Principale::radioButton_Start_Soft_CheckedChanged() {}
void Principale::numericUpDown_Duree_ValueChanged() {}
int Principale::list_top_index() const { return 0; }

} // namespace SonivarACQ32
