// The USB link to the unit and its vendor command channel. Every command is
// one synchronous vendor OUT control request; none reads anything back.
#include "app/principale.h"
#include "device/vendor_commands.h"

namespace SonivarACQ32 {

namespace {
constexpr std::uint16_t vendor_id = 0xFE27;
constexpr std::uint16_t product_id = 0xAC03;
constexpr std::uint8_t vendor_out = 0x40;  // host to device, vendor, device
} // namespace

int Principale::init_USB()
{
    // Each open holds one reference to libusb's default context, given back
    // with the handle (here, on a failed open, or when the window ends), so
    // the next open enumerates the devices afresh.
    close_link();

    libusb_init(nullptr);
    libusb_set_option(nullptr, LIBUSB_OPTION_LOG_LEVEL, LIBUSB_LOG_LEVEL_INFO);
    handle = libusb_open_device_with_vid_pid(nullptr, vendor_id, product_id);
    if (handle != nullptr) {
        libusb_claim_interface(handle, 0);
        call_verb(QStringLiteral("Liaison USB activée !\r\n"), 0);
        initialisation_FX3 = true;
        return 0;
    }
    libusb_exit(nullptr);
    call_verb(QStringLiteral("Pas de détection de Sonivar !\r\n"), 1);
    return -1;
}

void Principale::close_link()
{
    if (handle != nullptr) {
        libusb_release_interface(handle, 0);
        libusb_close(handle);
        libusb_exit(nullptr);
    }
    handle = nullptr;
    initialisation_FX3 = false;
    own.unit_lost = false;
}

void Principale::unit_gone()
{
    close_link();
    initialisation = false;
    if (file_open)
        close_file_set(false);
    // The window behind the alert already shows what is left to do: Init.
    enable_only(sw::init);
    call_verb(QStringLiteral("Sonivar 32 déconnecté !\r\n"), 1);
}

int Principale::write_command(libusb_device_handle* dev, int request, unsigned char* data,
                              int length)
{
    // A reopen that failed leaves no handle; libusb would dereference it.
    if (dev == nullptr)
        return LIBUSB_ERROR_NO_DEVICE;
    const int r = libusb_control_transfer(dev, vendor_out, static_cast<std::uint8_t>(request),
                                          0, 0, data, static_cast<std::uint16_t>(length),
                                          static_cast<unsigned int>(TimeOut));
    if (r == LIBUSB_ERROR_NO_DEVICE)
        own.unit_lost = true;
    return r;
}

int Principale::commande(int n)
{
    return write_command(handle, 0xB0 + n, buf.data(), n + 1);
}

bool Principale::ensure_link()
{
    if (!initialisation_FX3)
        init_USB();
    return initialisation_FX3;
}

void Principale::reset_micros()
{
    if (!ensure_link())
        return;
    buf[0] = vendor::reset_micros;
    commande(0);
    initialisation = true;
    clock_def = false;
    count_def = false;
    if (test)
        call_verb(QStringLiteral("Reset B0\r\n"), 0);
}

namespace {

// A reset request without data, on a link opened if need be; advanced mode
// says which.
void send_reset(Principale& w, int request, const QString& advanced_line)
{
    if (!w.ensure_link())
        return;
    Principale::write_command(w.handle, request, w.buf.data(), 0);
    if (Principale::test)
        info(advanced_line);
}

} // namespace

void Principale::button_Reset_FX3_Click()
{
    send_reset(*this, vendor::reset_fx3_request, QStringLiteral("Reset FX3\r\n"));
}

void Principale::button_Reset_PH_Click()
{
    send_reset(*this, vendor::reset_ph_request, QStringLiteral("Reset Pseudo Hard (C4)\r\n"));
}

void Principale::button_Reset_Micros_Click()
{
    if (!initialisation_FX3)
        return;
    reset_micros();
    if (test)
        call_verb(QStringLiteral("Reset B0\r\n"), 0);
}

} // namespace SonivarACQ32
