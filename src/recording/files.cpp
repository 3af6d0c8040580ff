// The recording: file choice, comment, closing of the file set.
#include "app/principale.h"

namespace SonivarACQ32 {

void Principale::checkBox_Record_CheckedChanged() {}
void Principale::button_Fichier_Click() {}
void Principale::button_Comment_Click() {}
void Principale::close_file_set(bool) {}
void Principale::ecrit_log() {}

} // namespace SonivarACQ32
