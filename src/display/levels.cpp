// Level display: the colour bar and the per-microphone level cells.
#include "app/principale.h"

namespace SonivarACQ32 {

void Principale::init_colorbar() {}
void Principale::update_levels() {}

} // namespace SonivarACQ32
