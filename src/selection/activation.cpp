// Channel activation: the selection sent to the unit and its bookkeeping.
#include "app/principale.h"

namespace SonivarACQ32 {

void Principale::choix_micros() {}

} // namespace SonivarACQ32
