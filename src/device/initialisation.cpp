// Initialisation of the unit: the three resets and the presence test.
#include "app/principale.h"

namespace SonivarACQ32 {

void Principale::button_Init_Click() {}
int Principale::initialise() { return -1; }
int Principale::test_boitier() { return -1; }

} // namespace SonivarACQ32
