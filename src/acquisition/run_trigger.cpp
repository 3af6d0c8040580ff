// The wait for an external trigger, and the abort that can end it.
//
// The trigger shows as data reaching a queued transfer. With zero-copy
// buffers the data is visible in place before the transfer completes; with
// plain memory only a completed transfer shows it, so the wait also handles
// completions (without blocking) and ends on the first one. The data that
// arrives meanwhile waits in the queued transfers: nothing is lost.
#include "acquisition/run_sizing.h"
#include "app/format.h"
#include "app/principale.h"
#include "platform/clock.h"

#include <QCoreApplication>
#include <QPushButton>

#include <algorithm>

namespace SonivarACQ32 {

bool Principale::trigger_seen() const
{
    if (ntr > 0)
        return true;  // a transfer has completed with data
    for (int i = 0; i < nb_slots; ++i)
        if (buffers[i] != nullptr && buffers[i][8] != run.reference[i])
            return true;
    return false;
}

bool Principale::wait_for_trigger()
{
    for (int i = 0; i < nb_slots; ++i)
        run.reference[i] = buffers[i] != nullptr ? buffers[i][0] : 0;
    const bool zero_copy =
        std::all_of(own.buffer_is_dev_mem.begin(), own.buffer_is_dev_mem.end(), [](bool b) { return b; });
    const std::uint32_t limit = run_sizing::trigger_wait_limit_ms(nb_voies, frequence, zero_copy);
    run.start_tick = platform::tick_count();
    button_Abort->show();
    while (!aborted && run.waiting) {
        if (platform::tick_count() - run.start_tick > limit) {
            info(QStringLiteral("Temps d'attente dépassé...    "));
            button_Abort_Click();
        }
        QCoreApplication::processEvents();
        usb_wait(0);
        if (trigger_seen()) {
            run.waiting = false;
            // In plain memory the trigger shows only once a transfer has
            // completed: the run began when its data started to stream.
            if (!zero_copy)
                run.trigger_late_ms = run_sizing::stream_time_ms(ntr, nb_voies, frequence);
        } else if (own.ring.in_flight() == 0 && !aborted) {
            // Every transfer has failed (unit unplugged): no trigger can
            // show any more.
            info(QStringLiteral("Plus aucun transfert en cours : attente abandonnée\r\n"));
            button_Abort_Click();
        }
        if (aborted)
            return false;
        if (run.waiting)
            platform::sleep(1);
    }
    if (aborted)
        return false;
    TimeOut -= run_sizing::trigger_extra_ms;
    return true;
}

void Principale::cancel_all_transfers(bool report)
{
    for (int i = 0; i < nb_slots; ++i) {
        if (transfert[i] == nullptr)
            continue;
        retour = libusb_cancel_transfer(transfert[i]);
        if (report && test)
            info(QStringLiteral("Annulation du transfert %1 retour %2 \r\n")
                     .arg(fmt::G(i), fmt::G(retour)));
    }
}

void Principale::abort_before_trigger()
{
    if (!own.unit_lost)
        button_Reset_Micros_Click();
    platform::sleep(10);
    info(QStringLiteral("Acquisition arrêtée avant le déclenchement \r\n"));
    cancel_all_transfers(true);
    fini = false;
    // The ring is over only once every submitted transfer has called back.
    // A transfer that completed with data at the moment of the abort has
    // been resubmitted: it is cancelled again on the next pass.
    while (own.ring.in_flight() > 0) {
        platform::sleep(1);
        if (usb_wait(50) != 0) {
            info(QStringLiteral("ERREUR \r\n"));
            break;
        }
        if (own.ring.in_flight() > 0)
            cancel_all_transfers(false);
    }
    if (record)
        close_file_set(false);
    drain_and_free_ring();
    feed_capture(feed::Capture::stopped);
    button_Abort->hide();
    run.waiting = false;
    fini = false;
    stopped = false;
    enable_all_but(sw::stop);
}

} // namespace SonivarACQ32
