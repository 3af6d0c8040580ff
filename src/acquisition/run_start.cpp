// Start of a run: the checks that can refuse it, the settings sent to the
// unit, the sizing of the run, and the eight transfers queued before the
// start command.
#include "acquisition/counter_check.h"
#include "acquisition/run_sizing.h"
#include "acquisition/start_trigger.h"
#include "app/format.h"
#include "app/principale.h"
#include "device/vendor_commands.h"
#include "platform/free_space.h"
#include "recording/header_record.h"

#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>

namespace SonivarACQ32 {

bool Principale::prepare_run()
{
    fini = false;
    aborted = false;
    if (!initialisation)
        button_Init_Click();
    // Without a link nothing can be sent or streamed; the open attempt has
    // already told the operator.
    if (handle == nullptr)
        return false;
    a_ecrire.fill(0);
    choix_micros();
    if (nb_voies == 0) {
        call_verb(QStringLiteral("Pas de voie choisie !\r\n"), 1);
        return false;
    }
    increment_position = counter::increment_position(nb_voies);
    increment_compteur = counter::increment_compteur(nb_voies);
    info(QStringLiteral("\r\nNb_voies (micros+compteur) : %1\r\n").arg(fmt::G(nb_voies)));
    // A clock never programmed (Init failed) is programmed now, so that the
    // pane gives the real frequency rather than 0 Hz.
    if (list_top_index() != num_freq || !clock_def)
        listBox_Freq_Click();
    else
        info(QStringLiteral("Fréquence : %1 Hz\r\n").arg(fmt::N(frequence, 0)));
    if (!count_def)
        calcul_count();
    // A unit that went while the window was idle: no file is asked for.
    if (own.unit_lost)
        return false;
    // A defined duration too short for one sample would count 0 samples,
    // which the unit and the run read as "no end".
    if (checkBox_Definie->isChecked() && count == 0) {
        call_verb(QStringLiteral("Durée définie trop courte : au moins un échantillon (%1 s à %2 Hz), "
                                 "ou décochez « Durée définie »\r\n")
                      .arg(fmt::N(1.0 / frequence, 6), fmt::N(frequence, 0)),
                  1);
        return false;
    }
    if (checkBox_Definie->isChecked())
        info(QStringLiteral("Durée : %1 s, nb échantillons : %2\r\n")
                 .arg(fmt::N(duree, 1), fmt::N(count, 0)));
    else
        info(QStringLiteral("Durée non définie\r\n"));
    run.requested_bytes = run_sizing::requested_bytes(nb_voies, count);
    run.usable_space = 0;
    if (record && !check_disk_space())
        return false;
    buf[0] = vendor::data_type;
    buf[1] = radioButton_Float->isChecked() ? 1 : 0;
    commande(1);
    header_file.type_float = buf[1];
    return !own.unit_lost;
}

bool Principale::check_disk_space()
{
    if (!file_open)
        button_Fichier_Click();
    if (!file_open) {
        call_verb(QStringLiteral("Pas de fichier choisi\r\n"), 1);
        return false;
    }
    // The free space of the file system that holds the data file; a start
    // whose room cannot be measured is refused rather than run blind.
    const auto free_bytes = platform::available_bytes(QFile::encodeName(acqui_name).toStdString());
    if (!free_bytes) {
        call_verb(QStringLiteral("Espace libre du disque illisible pour %1 : "
                                 "acquisition non lancée\r\n")
                      .arg(acqui_name),
                  1);
        return false;
    }
    run.usable_space = run_sizing::usable_space(*free_bytes);
    const QString room =
        QStringLiteral("%1 Go disponibles sur le disque, soit %2 s\r\n")
            .arg(fmt::G(run_sizing::usable_gibibytes(run.usable_space)),
                 fmt::N(run_sizing::seconds_allowed(run.usable_space, nb_voies, frequence), 1));
    // An open-ended run with no room past the reserve would stop at once,
    // its files empty: refused as a run of defined length is.
    const bool no_room = count != 0 ? run.requested_bytes > run.usable_space : run.usable_space == 0;
    if (no_room) {
        call_verb(QStringLiteral("Pas suffisamment de place sur le disque !\r\n"), 1);
        info(room);
        return false;
    }
    if (count == 0)
        info(room);
    return true;
}

std::uint8_t Principale::start_trigger_byte() const
{
    using start_trigger::StartSource;
    using start_trigger::TriggerMode;
    StartSource source = StartSource::Soft;
    if (radioButton_Start_Trig1->isChecked())
        source = StartSource::Trig1;
    else if (radioButton_Start_Trig2->isChecked())
        source = StartSource::Trig2;
    TriggerMode mode = TriggerMode::RisingEdge;
    if (radioButton_Start_FD->isChecked())
        mode = TriggerMode::FallingEdge;
    else if (radioButton_Start_EH->isChecked())
        mode = TriggerMode::High;
    else if (radioButton_Start_EB->isChecked())
        mode = TriggerMode::Low;
    return start_trigger::trigger_byte(source, mode);
}

void Principale::size_run()
{
    stopped = false;
    enable_only(sw::stop);
    if (checkBox_Definie->isChecked()) {
        progressBar_Progress->setValue(0);
        const run_sizing::PacketPlan plan = run_sizing::plan_packets(run.requested_bytes);
        n_pkt = plan.n_pkt;
        const QString total = fmt::N(static_cast<double>(run.requested_bytes), 0);
        if (test && plan.remainder != 0)
            info(QStringLiteral("%1 octets, soit %2 paquets de %3 octets et un paquet de %4 octets\r\n")
                     .arg(total, fmt::N(n_pkt - 1.0, 0), fmt::N(stream::packet_bytes, 0),
                          fmt::N(static_cast<double>(plan.remainder), 0)));
        else if (test)
            info(QStringLiteral("%1 octets, soit %2 paquets de %3 octets\r\n")
                     .arg(total, fmt::N(n_pkt, 0), fmt::N(stream::packet_bytes, 0)));
        progressBar_Progress->setMaximum(static_cast<int>(n_pkt));
    } else {
        if (test)
            info(QStringLiteral("Nombre d'échantillons non fixé ; paquets de %1 octets\r\n")
                     .arg(fmt::N(stream::packet_bytes, 0)));
        n_pkt = run_sizing::open_ended_packets(run.usable_space);
        label_Duree_Ecoulee->setText(QStringLiteral("Durée écoulée : 0 s"));
    }
    TimeOut = run_sizing::transfer_timeout_ms(nb_voies, frequence);
    run.base_timeout = TimeOut;
    if (test)
        info(QStringLiteral("TimeOut = %1 ms\r\n").arg(fmt::N(TimeOut, 0)));
}

void Principale::launch_run()
{
    const std::uint8_t trigger = start_trigger_byte();
    run.waiting = trigger != 0;
    if (run.waiting) {
        TimeOut += run_sizing::trigger_extra_ms;
        if (test)
            info(QStringLiteral("En attente de déclenchement externe, le TimeOut est ajusté. \r\n"));
        info(QStringLiteral("Le déclenchement doit intervenir avant %1 s \r\n")
                 .arg(fmt::G(run_sizing::trigger_wait_ms / 1000)));
        button_Abort->show();
    }
    // A stale error flag would skip the reference of the first packet, which
    // may already be handled during the trigger wait.
    erreur_compteur = false;
    run.write_reported = false;
    run.ring_dropped = false;
    run.trigger_late_ms = 0;
    alloc_ring(static_cast<unsigned int>(TimeOut));
    feed_run_starting(run.waiting);
    buf[0] = vendor::start;
    buf[1] = trigger;
    submit_ring();
    commande(1);
}

} // namespace SonivarACQ32
