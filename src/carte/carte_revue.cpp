// The map window's review of a recording: a time window over it, moved by
// hand or played at the recording's pace, mapped from the file on the
// worker; the spectrum window gets the same stretch. A run that streams
// takes precedence: the review waits until it ends.
#include "carte/carte_acoustique.h"

#include "picture/camera_video.h"

#include "stream/stream_format.h"
#include "app/format.h"
#include "platform/clock.h"
#include "stream/header_facts.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QTimer>

#include <algorithm>
#include <cmath>

namespace SonivarACQ32 {

namespace am = acoustic_map;

namespace {

// Review serials stand apart from the runs' (counted from 1).
constexpr std::uint64_t first_review_serial = std::uint64_t{1} << 62;
constexpr int play_tick_ms = 50;
constexpr double speeds[] = {1.0, 2.0, 5.0, 10.0};
constexpr double shortest_window_s = 0.1, longest_window_s = 5.0;

QString facts_of(const stream::Recording& r, double duration)
{
    QString text = QStringLiteral("%1 : %2, %3 Hz, %4 micros, %5 s")
                       .arg(QFileInfo(QString::fromStdString(r.dat_path)).fileName(),
                            QString::fromStdString(stream::start_time_iso(r.header)).replace(QLatin1Char('T'), QLatin1Char(' ')),
                            fmt::fr(stream::sampling_rate_hz(r.header), 0),
                            QString::number(r.layout.micros.size()), fmt::fr(duration, 2));
    if (stream::is_interrupted(r))
        text += QStringLiteral(" (enregistrement interrompu)");
    const QString comment = QString::fromStdString(stream::recording_comment(r)).trimmed();
    if (!comment.isEmpty())
        text += QStringLiteral("\nCommentaire : ") + comment;
    return text;
}

} // namespace

QLayout* CarteAcoustique::build_review_controls()
{
    button_Ouvrir = new QPushButton(QStringLiteral("Ouvrir un enregistrement…"));
    button_Fermer = new QPushButton(QStringLiteral("Fermer l'enregistrement"));
    button_Lecture = new QPushButton(QStringLiteral("Lecture"));
    comboBox_Vitesse = new QComboBox;
    for (double speed : speeds)
        comboBox_Vitesse->addItem(QStringLiteral("× %1").arg(speed));
    numericUpDown_Fenetre = spin_box(shortest_window_s, longest_window_s, 0.05, 3, shortest_window_s, QStringLiteral(" s"));
    trackBar_Instant = new QSlider(Qt::Horizontal);
    trackBar_Instant->setSingleStep(100);  // ms: the arrows move a tenth of a second
    trackBar_Instant->setPageStep(1000);
    label_Instant = new QLabel;
    label_Enregistrement = new QLabel;
    label_Enregistrement->setWordWrap(true);
    button_Ecouter = new QPushButton(QStringLiteral("Écouter"));
    button_Enregistrer_Ecoute = new QPushButton(QStringLiteral("Enregistrer l'écoute…"));
    label_Ecoute = new QLabel;
    label_Ecoute->setWordWrap(true);
    auto* row = new QHBoxLayout;
    row->addWidget(button_Ouvrir);
    row->addWidget(button_Fermer);
    row->addWidget(button_Lecture);
    row->addWidget(comboBox_Vitesse);
    row->addWidget(new QLabel(QStringLiteral("Fenêtre")));
    row->addWidget(numericUpDown_Fenetre);
    row->addWidget(button_Ecouter);
    row->addWidget(button_Enregistrer_Ecoute);
    auto* grid = new QGridLayout;
    grid->addLayout(row, 0, 0, 1, 2);
    grid->addWidget(trackBar_Instant, 1, 0);
    grid->addWidget(label_Instant, 1, 1);
    grid->addWidget(label_Enregistrement, 2, 0, 1, 2);
    grid->addWidget(label_Ecoute, 3, 0, 1, 2);
    minuterie_lecture_ = new QTimer(this);
    minuterie_lecture_->setInterval(play_tick_ms);
    connect_review_controls();
    montre_instant();
    return grid;
}

void CarteAcoustique::connect_review_controls()
{
    connect(button_Ouvrir, &QPushButton::clicked, this, [this] { button_Ouvrir_Click(); });
    connect(button_Fermer, &QPushButton::clicked, this, [this] { ferme_enregistrement(); });
    connect(button_Lecture, &QPushButton::clicked, this, [this] { lecture_pause(); });
    connect(button_Ecouter, &QPushButton::clicked, this, [this] { button_Ecouter_Click(); });
    connect(button_Enregistrer_Ecoute, &QPushButton::clicked, this, [this] { button_Enregistrer_Ecoute_Click(); });
    connect(trackBar_Instant, &QSlider::valueChanged, this, [this](int ms) { set_instant(ms / 1000.0); });
    // The window is the stretch behind each map, live and in review.
    connect(numericUpDown_Fenetre, &QDoubleSpinBox::valueChanged, this, [this] {
        if (en_revue() && !en_direct_)
            set_instant(instant);
        else
            reglages_changes();
    });
    connect(minuterie_lecture_, &QTimer::timeout, this, [this] { avance_lecture(); });
    connect(comboBox_Vitesse, &QComboBox::currentIndexChanged, this, [this] {
        revue_.lecture_depart = instant;  // the new pace counts from here
        revue_.horloge_depart = platform::tick_count();
    });
}

bool CarteAcoustique::ouvre_enregistrement(const QString& dat_path)
{
    stream::LoadResult loaded = stream::load_recording(dat_path.toStdString());
    if (loaded.recording && stream::whole_frames(*loaded.recording) == 0)
        loaded.error = "aucune trame entière dans le fichier de données";
    if (!loaded.recording || !loaded.error.empty()) {
        label_Etat->setText(QStringLiteral("Enregistrement illisible : ") + QString::fromStdString(loaded.error));
        return false;
    }
    if (revue_.lecture)
        lecture_pause();
    const stream::Recording& r = *loaded.recording;
    revue_.faits.serial = std::max(first_review_serial, revue_.faits.serial + 1);
    revue_.faits.layout = r.layout;
    revue_.faits.sample_rate = stream::sampling_rate_hz(r.header);
    revue_.duree = stream::duration_s(r);
    revue_.enregistrement = std::move(loaded.recording);
    label_Enregistrement->setText(facts_of(*revue_.enregistrement, revue_.duree));
    const double packet_s = static_cast<double>(stream::packet_bytes / r.layout.frame_bytes()) / revue_.faits.sample_rate;
    {
        const QSignalBlocker quiet(numericUpDown_Fenetre);
        numericUpDown_Fenetre->setValue(std::clamp(packet_s, shortest_window_s, longest_window_s));
    }
    instant = 0.0;
    ouvre_video_revue(dat_path);
    if (!en_direct_)
        relance_revue();
    montre_instant();
    spectrogramme_suit_revue();
    return true;
}

void CarteAcoustique::ferme_enregistrement()
{
    if (revue_.lecture)
        lecture_pause();
    revue_.enregistrement.reset();
    video_revue_.reset();
    image_video_ = QImage();
    place_fond();
    dessine();
    instant = 0.0;
    label_Enregistrement->clear();
    montre_instant();
    spectrogramme_suit_revue();
}

void CarteAcoustique::relance_revue()
{
    if (!revue_.enregistrement || en_direct_)
        return;
    if (run_.serial != revue_.faits.serial) {
        run_ = revue_.faits;
        reglages_changes();
    }
    demande_tranche();
}

void CarteAcoustique::set_instant(double seconds)
{
    if (!revue_.enregistrement)
        return;
    const double last = std::max(0.0, revue_.duree - numericUpDown_Fenetre->value());
    instant = std::clamp(seconds, 0.0, last);
    montre_instant();
    montre_image_revue();
    demande_tranche();
}

// The camera's video recorded beside it, when there is one.
void CarteAcoustique::ouvre_video_revue(const QString& dat_path)
{
    video_revue_.reset();
    image_video_ = QImage();
    const std::string path = picture::camera_video_path(dat_path.toStdString());
    if (!QFileInfo::exists(QString::fromStdString(path)))
        return;
    auto reader = std::make_unique<picture::CameraVideoReader>();
    std::string error;
    if (!reader->open(path, error) || reader->index().frames.empty()) {
        label_Etat->setText(QStringLiteral("Vidéo de la caméra illisible : ") +
                            QString::fromStdString(error.empty() ? "aucune image" : error));
        return;
    }
    label_Enregistrement->setText(label_Enregistrement->text() +
                                  QStringLiteral(" ; vidéo de la caméra : %1 images").arg(reader->index().frames.size()));
    video_revue_ = std::move(reader);
    montre_image_revue();
}

// The recorded picture of the instant under the map.
void CarteAcoustique::montre_image_revue()
{
    if (video_revue_ == nullptr)
        return;
    const auto frame = static_cast<std::uint64_t>(std::llround(instant * revue_.faits.sample_rate));
    const picture::CameraVideoReader::Picture p = video_revue_->at(frame);
    image_video_ = p.image;
    trame_image_revue = p.frame;
    place_fond();
    dessine();
}

// The slider in ms, the instant and the window as text.
void CarteAcoustique::montre_instant()
{
    // While a run streams the map is live: the review's controls wait.
    const bool open = revue_.enregistrement.has_value();
    for (QWidget* control : std::initializer_list<QWidget*>{button_Fermer, button_Lecture, comboBox_Vitesse,
                                                            trackBar_Instant, button_Ecouter, button_Enregistrer_Ecoute})
        control->setEnabled(open && !en_direct_);
    button_Ouvrir->setEnabled(!en_direct_);
    montre_export();
    const QSignalBlocker quiet(trackBar_Instant);
    const double last = std::max(0.0, revue_.duree - numericUpDown_Fenetre->value());
    trackBar_Instant->setRange(0, static_cast<int>(std::lround(last * 1000.0)));
    trackBar_Instant->setValue(static_cast<int>(std::lround(instant * 1000.0)));
    label_Instant->setText(open ? fenetre_texte() + QStringLiteral(" sur %1 s").arg(fmt::fr(revue_.duree, 2))
                                : QString());
}

QString CarteAcoustique::fenetre_texte() const
{
    return QStringLiteral("Fenêtre : %1 s – %2 s")
        .arg(fmt::fr(instant, 2), fmt::fr(std::min(revue_.duree, instant + numericUpDown_Fenetre->value()), 2));
}

// The time window to the map's worker and to the spectrum; the live run
// has the worker while it streams.
void CarteAcoustique::demande_tranche()
{
    if (!revue_.enregistrement || en_direct_)
        return;
    const stream::Recording& r = *revue_.enregistrement;
    const stream::FrameRange range = stream::frame_range(r, instant, instant + numericUpDown_Fenetre->value());
    const stream::FileSlice slice = stream::file_slice(r, range);
    worker_->compute_slice(travail(), slice, revue_.faits.serial);
    label_Etat->setText(QStringLiteral("Relecture : ") + fenetre_texte());
    emit tranche_revue(revue_.faits, slice);
}

void CarteAcoustique::lecture_pause()
{
    revue_.lecture = !revue_.lecture && revue_.enregistrement.has_value();
    button_Lecture->setText(revue_.lecture ? QStringLiteral("Pause") : QStringLiteral("Lecture"));
    if (!revue_.lecture) {
        minuterie_lecture_->stop();
        return;
    }
    if (instant >= revue_.duree - numericUpDown_Fenetre->value())
        set_instant(0.0);  // played to the end: from the start again
    revue_.lecture_depart = instant;
    revue_.horloge_depart = platform::tick_count();
    minuterie_lecture_->start();
}

// The window moves with the clock, times the pace chosen; only the newest
// position is mapped when the maps fall behind.
void CarteAcoustique::avance_lecture()
{
    if (en_direct_)
        return;
    const double speed = speeds[std::max(0, comboBox_Vitesse->currentIndex())];
    const double elapsed = static_cast<double>(static_cast<std::uint32_t>(platform::tick_count() - revue_.horloge_depart)) / 1000.0;
    set_instant(revue_.lecture_depart + elapsed * speed);
    if (instant >= revue_.duree - numericUpDown_Fenetre->value())
        lecture_pause();
}

void CarteAcoustique::button_Ouvrir_Click()
{
    propose_fichier(QStringLiteral("Enregistrement à relire"), QStringLiteral("Enregistrements (*.dat);;Tous les fichiers (*)"),
                    platform::FileKind::recordings, false, [this](const QString& path) { ouvre_enregistrement(path); });
}

} // namespace SonivarACQ32
