// The run once data flows: the loop that pumps window events and USB
// completions, the automatic stops, and the end of the run with its totals
// and the closing of the recording.
#include "acquisition/run_sizing.h"
#include "acquisition/run_totals.h"
#include "app/format.h"
#include "app/principale.h"
#include "platform/clock.h"
#include "platform/local_time.h"
#include "recording/data_write.h"
#include "recording/header_record.h"
#include "recording/system_errors.h"

#include <QCoreApplication>
#include <QFrame>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

#include <algorithm>

namespace SonivarACQ32 {

namespace {

// Longest wait for USB events in one pass: the window stays responsive
// however long a transfer takes to fill (65 s at 2 channels and 2 kHz),
// and the transfer in flight is offered on time.
constexpr int event_wait_ms = 10;

} // namespace

void Principale::follow_stream_in_flight()
{
    if (!own.follow_in_flight)
        return;
    const std::uint32_t now = platform::tick_count();
    // A transfer has completed and been offered whole since: the beat
    // starts again from it, so that the windows get no piece of a few
    // milliseconds' worth.
    if (own.feed.offered_end() != run.offered_end) {
        run.offered_end = own.feed.offered_end();
        run.last_offer_tick = now;
        return;
    }
    // On a steady beat: a pass that comes late does not push the next
    // offer later.
    const std::uint32_t late = now - run.last_offer_tick;
    const std::uint32_t interval = own.feed.offer_interval_ms();
    if (late >= interval) {
        run.last_offer_tick += late - late % interval;
        offer_in_flight();
        run.offered_end = own.feed.offered_end();
    }
}

void Principale::run_begins()
{
    button_Abort->hide();
    button_Stop->show();
    affiche_cases(true);
    header_file.date = platform::GetLocalTime();
    if (record && file_open)
        write_early_companions();
    stopped = false;
    // A counter error found in packets handled during the trigger wait is
    // kept; otherwise the flag starts clear.
    if (num_pkt == 0)
        erreur_compteur = false;
    if (test)
        info(QStringLiteral("Paquet : \r\n"));
    run.start_tick = platform::tick_count() - run.trigger_late_ms;
    run.last_offer_tick = platform::tick_count();
    run.offered_end = own.feed.offered_end();
    feed_capture(feed::Capture::running);
    // The window was closed while the run was being prepared.
    if (close_requested)
        button_Stop_Click();
}

void Principale::apply_automatic_stops()
{
    if (erreur_compteur && !stopped)
        button_Stop_Click();
    // A short write (disk full, I/O error) ends the run like a counter error.
    if (own.write_failed && !run.write_reported) {
        run.write_reported = true;
        info(QStringLiteral("Erreur d'écriture dans le fichier de données (%1) : "
                            "acquisition arrêtée\r\n")
                 .arg(raison_erreur(own.write_errno)));
        if (!stopped)
            button_Stop_Click();
    }
    // Without recording no disk is filled: only Stop or a fault ends the run.
    if (count == 0 && record && !stopped && run_sizing::disk_limit_reached(num_pkt, run.usable_space)) {
        info(QStringLiteral("Limite du disque atteinte (réserve de 1 Go gardée libre) : acquisition arrêtée\r\n"));
        button_Stop_Click();
    }
    // A unit that keeps streaming after Stop: its transfers are taken back.
    const std::uint32_t grace = run_sizing::stop_grace_ms(run.base_timeout);
    if (stopped && !fini && platform::tick_count() - run.stop_tick > grace) {
        info(QStringLiteral("Le boîtier n'a pas terminé l'envoi après Stop : transferts annulés\r\n"));
        transf_arret.fill(true);
        cancel_all_transfers(false);
        run.stop_tick = platform::tick_count();
    }
}

bool Principale::run_loop_should_end()
{
    if (fini)
        return true;
    // Every transfer has dropped out (time-outs, errors, unplug): nothing
    // will complete any more.
    if (own.ring.in_flight() == 0) {
        run.ring_dropped = true;
        info(QStringLiteral("\r\nPlus aucun transfert en cours : fin de l'acquisition\r\n"));
        return true;
    }
    return false;
}

void Principale::run_loop()
{
    for (;;) {
        QCoreApplication::processEvents();
        apply_automatic_stops();
        platform::sleep(1);
        if (usb_wait(event_wait_ms) != 0) {
            info(QStringLiteral("\r\nERREUR \r\n"));
            break;
        }
        const std::int32_t elapsed =
            run_sizing::elapsed_seconds(run.start_tick, platform::tick_count());
        label_Duree_Ecoulee->setText(QStringLiteral("Durée écoulée : %1 s").arg(fmt::N(elapsed, 0)));
        if (count != 0 && num_pkt <= n_pkt)
            progressBar_Progress->setValue(static_cast<int>(num_pkt));
        follow_stream_in_flight();
        update_levels();
        if (run_loop_should_end())
            break;
    }
}

void Principale::report_totals(std::uint32_t end_tick)
{
    using run_totals::Totals;
    const QString requested = fmt::N(static_cast<double>(run.requested_bytes), 0);
    const QString received = fmt::N(static_cast<double>(ntr), 0);
    const QString written = fmt::N(static_cast<double>(ntw), 0);
    if (test) {
        switch (run_totals::totals_kind(record, count)) {
        case Totals::RecordedDefined:
            info(QStringLiteral("\r\nTransfert total : %1 octets demandés,  %2 octets acquis, "
                                "%3 octets écrits\r\n").arg(requested, received, written));
            break;
        case Totals::RecordedOpen:
            info(QStringLiteral("\r\nTransfert total : %1 octets acquis, %2 écrits\r\n")
                     .arg(received, written));
            break;
        case Totals::UnrecordedDefined:
            info(QStringLiteral("\r\nTransfert total : %1 octets demandés %2 octets acquis\r\n")
                     .arg(requested, received));
            break;
        case Totals::UnrecordedOpen:
            info(QStringLiteral("\r\nTransfert total : %1 octets acquis\r\n").arg(received));
            break;
        }
    }
    const double seconds = static_cast<std::int32_t>(end_tick - run.start_tick) / 1000.0;
    QString line = QStringLiteral("Fin du transfert : %1 Mo en %2 s")
                       .arg(fmt::N(run_sizing::mebibytes(ntr), 1), fmt::N(seconds, 1));
    if (stopped)
        line += QStringLiteral(" soit %1 échantillons\r\n")
                    .arg(fmt::N(static_cast<double>(ntr / (4ULL * nb_voies)), 0));
    else
        line += QStringLiteral("\r\n");
    info(line);
    if (count != 0 && !stopped && ntr != run.requested_bytes)
        info(QStringLiteral("Manquent %1 octets dans l'acquisition !\r\n")
                 .arg(fmt::G(run.requested_bytes - ntr)));
}

// A stream cut without the unit's end (the unit unplugged, every transfer
// lost) may end inside a frame: the data file keeps whole frames only, so
// that it agrees with the header's count.
void Principale::drop_torn_frame()
{
    const std::uint64_t frame = stream::frame_bytes(nb_voies);
    const std::uint64_t torn = frame == 0 ? 0 : ntw % frame;
    if (own.ring.end_of_stream || !record || Filep == nullptr || torn == 0)
        return;
    if (const int err = truncate_file(fileno(Filep), ntw - torn); err != 0) {
        info(QStringLiteral("Trame incomplète en fin de fichier de données non retirée : %1\r\n")
                 .arg(raison_erreur(err)));
        return;
    }
    ntw -= torn;
    info(QStringLiteral("Flux interrompu dans une trame : %1 octets de trame incomplète retirés du "
                        "fichier de données\r\n").arg(fmt::N(static_cast<double>(torn), 0)));
}

void Principale::end_of_run()
{
    const std::uint32_t end_tick = platform::tick_count();
    label_Duree_Ecoulee->hide();
    panel_Progress->hide();
    header_file.nb_ech = run_sizing::frames_written(ntw, nb_voies);
    header_file.duree_acq = run_sizing::recorded_duration(header_file.nb_ech, frequence);
    drain_and_free_ring();
    feed_capture(feed::Capture::stopped);
    drop_torn_frame();
    take_back_stream();
    report_totals(end_tick);
    stopped = false;
    fini = false;
    enable_all_but(sw::stop);
    button_Start->show();
    affiche_cases(false);
    button_Stop->hide();
    if (record)
        close_file_set(true);
}

} // namespace SonivarACQ32
