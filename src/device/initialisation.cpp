// Initialisation of the unit: the three resets and the presence test.
//
// The presence test is a real acquisition in miniature: 255 samples of the
// eight microphones of beam 0 at 50 kHz, received through the same ring of
// transfers and completion routine as a run. A unit that answers delivers
// them as one short packet of 8160 bytes.
#include "app/principale.h"
#include "device/vendor_commands.h"
#include "platform/clock.h"

#include <QCheckBox>

namespace SonivarACQ32 {

namespace {
constexpr std::uint64_t octets_attendus = 255 * 8 * 4;  // samples x words x bytes
constexpr unsigned int timeout_test_ms = 500;         // each transfer of the test
constexpr int attente_evenements_ms = 100;             // one bounded event wait
} // namespace

void Principale::button_Init_Click()
{
    // While Init works only the Init button is enabled.
    enable_only(sw::init);
    if (init_USB() != 0)
        return;
    initialise();
    // A unit unplugged meanwhile is named as during a run: only Init is left.
    if (own.unit_lost) {
        unit_gone();
        return;
    }
    // Every control group is enabled, whatever the verdict.
    set_all_enabled(true);
    enable();
}

int Principale::initialise()
{
    button_Reset_FX3_Click();
    if (!initialisation_FX3)
        return -1;
    platform::sleep(10);
    button_Reset_PH_Click();
    platform::sleep(10);
    button_Reset_Micros_Click();
    platform::sleep(10);

    test_init = true;
    if (test_boitier() != 0) {
        // `test` keeps the value the test gave it: advanced-mode messages
        // stay on until the box changes or an initialisation succeeds.
        if (!own.unit_lost)  // a unit gone is named by the caller
            call_verb(QStringLiteral("Sonivar 32 ne répond pas ! \r\n"), 1);
        test_init = false;
        return -1;
    }
    test = checkBox_Test->isChecked();
    test_init = false;
    call_verb(QStringLiteral("Sonivar 32 détecté `\r\n\r\n"), 0);
    clock_def = false;
    num_freq = -1;
    count_def = false;
    stopped = false;
    // The next recorded Start asks for a file again; a set chosen earlier
    // is closed and stays on disk, empty.
    if (file_open)
        close_file_set(false);
    file_open = false;
    record = checkBox_Record->isChecked();
    return 0;
}

namespace {

// The minimal acquisition: 50 kHz, 255 samples, beam 0 only, no extra channel.
void programme_test(Principale& w)
{
    auto send = [&w](std::initializer_list<unsigned char> bytes) {
        std::size_t k = 0;
        for (unsigned char b : bytes)
            w.buf[k++] = b;
        w.commande(static_cast<int>(bytes.size()) - 1);
    };
    using namespace vendor;
    send({clock_division, 9});               // 50 kHz
    send({sample_count, 0xFF, 0, 0, 0});     // 255 samples
    send({beam_activation, 0, 0, 0xFF});     // the eight microphones of beam 0
    for (unsigned char beam = 1; beam <= 3; ++beam)
        send({beam_activation, 0, beam, 0x00});
    send({beam_activation, 0, extra_channels_beam, 0x00});  // neither counter nor status
}

} // namespace

int Principale::test_boitier()
{
    num_pkt = 0;
    ntr = 0;
    compteur = false;
    record = false;  // nothing of the test goes to a file
    fini = false;
    err_timeout = false;
    test = true;     // the completion routine's messages appear whatever the box says

    programme_test(*this);
    start_ring(timeout_test_ms);
    buf[0] = vendor::start;
    buf[1] = 0x00;   // software start
    commande(1);

    // The wait also ends when nothing is in flight any more: a unit that
    // sends nothing lets every transfer time out, and no cancellation comes.
    while (!fini && own.ring.in_flight() > 0) {
        platform::sleep(1);
        if (usb_wait(attente_evenements_ms) < 0)
            break;
    }
    drain_and_free_ring();

    compteur = true;
    record = checkBox_Record->isChecked();
    return (err_timeout || ntr != octets_attendus) ? -1 : 0;
}

} // namespace SonivarACQ32
