#include "spectre/spectre_acoustique.h"

#include "app/format.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QSignalBlocker>

namespace SonivarACQ32 {

namespace {

// Ten pictures a second: a spectrum is read, not watched move.
constexpr int spectrum_picture_ms = 100;

} // namespace

namespace am = acoustic_map;

SpectreAcoustique::SpectreAcoustique(QWidget* parent, feed::PacketFeed* feed)
    : feed::LiveWindow(parent, feed)
{
    worker_ = make_worker<spectrum::LiveSpectrum>([this](const spectrum::SpectrumOutcome& outcome) { recoit(outcome); });
    setWindowTitle(QStringLiteral("Spectre"));
    setLocale(fmt::french_locale());  // the spin boxes' numbers, as every number here
    build_controls();
    label_Etat->setText(QStringLiteral("En attente des paquets d'une acquisition"));
    travail_change();
}

SpectreAcoustique::~SpectreAcoustique()
{
    worker_.reset();  // before the controls they post to
    zone_worker_.reset();
}

void SpectreAcoustique::build_controls()
{
    comboBox_Micro = new QComboBox;
    comboBox_Bandes = new QComboBox;
    comboBox_Bandes->addItems({QStringLiteral("Raies fines"), QStringLiteral("Tiers d'octave")});
    checkBox_PonderationA = new QCheckBox(QStringLiteral("Pondération A"));
    pictureBox_Spectre = new QLabel;
    pictureBox_Spectre->setFixedSize(largeur_trace, hauteur_trace);
    pictureBox_Spectre->setCursor(Qt::CrossCursor);
    pictureBox_Spectre->setToolTip(QStringLiteral("Un clic choisit la fréquence centrale de la carte"));
    pictureBox_Spectre->installEventFilter(this);
    label_Pic = new QLabel;
    label_Etat = new QLabel;
    label_Etat->setWordWrap(true);
    auto* grid = new QGridLayout(this);
    grid->addWidget(comboBox_Micro, 0, 0);
    grid->addWidget(comboBox_Bandes, 0, 1);
    grid->addWidget(checkBox_PonderationA, 0, 2);
    grid->addWidget(pictureBox_Spectre, 1, 0, 1, 3);
    grid->addWidget(label_Pic, 2, 0, 1, 3);
    grid->addWidget(label_Etat, 3, 0, 1, 3);
    grid->addWidget(build_zone_controls(), 4, 0, 1, 3);
    grid->addWidget(build_calibration(), 5, 0, 1, 3);
    micros_changes();
    // The choices change only the drawing of the auto-spectra already there.
    connect(comboBox_Micro, &QComboBox::currentIndexChanged, this, [this] { dessine(); });
    connect(comboBox_Bandes, &QComboBox::currentIndexChanged, this, [this] { dessine(); });
    connect(checkBox_PonderationA, &QCheckBox::toggled, this, [this] { dessine(); });
}

// The mean, then each acquired microphone by its global index.
void SpectreAcoustique::micros_changes()
{
    const QSignalBlocker quiet(comboBox_Micro);
    comboBox_Micro->clear();
    comboBox_Micro->addItem(QStringLiteral("Moyenne des micros"), -1);
    for (int m : run_.layout.micros)
        comboBox_Micro->addItem(QStringLiteral("Micro %1 (faisceau %2, micro %3)").arg(m).arg(m / 8).arg(m % 8), m);
}

spectrum::SpectrumJob SpectreAcoustique::travail() const
{
    spectrum::SpectrumJob job;
    job.layout = run_.layout;
    job.sample_rate = run_.sample_rate;
    job.calibration = etalonnage_;
    return job;
}

void SpectreAcoustique::travail_change() { worker_->set_job(travail()); }

// A stretch of the recording the map window reviews; a run that starts
// takes the spectrum back.
void SpectreAcoustique::revue(const feed::RunFacts& run, const stream::FileSlice& slice)
{
    const bool new_layout = run.sample_rate != run_.sample_rate || run.layout.micros != run_.layout.micros;
    run_ = run;
    en_revue_ = true;
    if (new_layout)
        micros_changes();
    worker_->compute_slice(travail(), slice, run.serial);
    if (zone_choisie() >= 0)
        zone_worker_->compute_slice(carte_, slice, run.serial);
    label_Etat->setText(QStringLiteral("Relecture d'un enregistrement"));
}

void SpectreAcoustique::set_etalonnage(const std::optional<stream::Calibration>& calibration)
{
    etalonnage_ = calibration;
    travail_change();
}

void SpectreAcoustique::set_bande_carte(double lower_hz, double upper_hz)
{
    bande_basse_ = lower_hz;
    bande_haute_ = upper_hz;
    dessine();
}

void SpectreAcoustique::clic_frequence(double hz)
{
    if (hz > 0.0)
        emit frequence_choisie(hz);
}

void SpectreAcoustique::capture(feed::Capture state, const feed::RunFacts& run)
{
    if (state == feed::Capture::stopped && en_revue_)
        return;  // the review goes on
    en_revue_ = false;
    const bool new_layout = run.sample_rate != run_.sample_rate || run.layout.micros != run_.layout.micros ||
                            run.layout.is_float != run_.layout.is_float;
    run_ = run;
    if (new_layout) {
        micros_changes();
        travail_change();
    }
    if (run.serial != 0)
        label_Etat->setText(capture_text(state));
}

void SpectreAcoustique::piece(const feed::Piece& p)
{
    worker_->push(p.data, p.len, p.stream_position, p.run);
    if (zone_choisie() >= 0)  // a zone's spectrum costs nothing until one is chosen
        zone_worker_->push(p.data, p.len, p.stream_position, p.run);
}

void SpectreAcoustique::recoit(const spectrum::SpectrumOutcome& outcome)
{
    paquets_sautes += outcome.skipped;
    if (outcome.valid) {
        garde_seconde(outcome);
        dernier_ = outcome;
        valide_ = true;
        spectres += outcome.made;
    } else if (!outcome.status.empty()) {
        label_Etat->setText(QString::fromStdString(outcome.status));
    }
    draw_paced(spectrum_picture_ms, [this] { dessine(); });
}

} // namespace SonivarACQ32
