// Sampling frequency, delay and sample count.
#include "app/principale.h"

namespace SonivarACQ32 {

void Principale::listBox_Freq_Click() {}
void Principale::numericUpDown_Delay_ValueChanged() {}
void Principale::calcul_count() {}

} // namespace SonivarACQ32
