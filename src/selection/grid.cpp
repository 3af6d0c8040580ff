// The microphone grid: 32 microphone boxes, 4 beam boxes and the all box.
#include "app/principale.h"

namespace SonivarACQ32 {

void Principale::creation_cases() {}
void Principale::micro_valide(QCheckBox*) {}
void Principale::faisceaux_valide(QCheckBox*) {}
void Principale::tout_valide(QCheckBox*) {}
void Principale::affiche_cases(bool) {}

} // namespace SonivarACQ32
