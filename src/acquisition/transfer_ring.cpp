// The ring of eight bulk IN transfers and their completion routine.
#include "app/principale.h"

namespace SonivarACQ32 {

void LIBUSB_CALL Principale::fn_callback(libusb_transfer*) {}
int Principale::usb_wait(int) { return 0; }
void Principale::start_ring(unsigned int) {}
void Principale::drain_and_free_ring() {}
int Principale::slot_of(const libusb_transfer*) { return -1; }

} // namespace SonivarACQ32
