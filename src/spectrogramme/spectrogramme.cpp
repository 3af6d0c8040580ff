#include "spectrogramme/spectrogramme.h"

#include "app/format.h"
#include "spectrum/spectrum.h"
#include "stream/header_facts.h"
#include "stream/recording_slice.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QSignalBlocker>

#include <algorithm>
#include <cmath>

namespace SonivarACQ32 {

namespace sp = spectrum;

namespace {

const QSize plot_size(600, 300);
constexpr int shown_range_db = 60;
constexpr int picture_ms = 100;
constexpr double drag_px = 4.0;

} // namespace

Spectrogramme::Spectrogramme(QWidget* parent, feed::PacketFeed* feed) : feed::LiveWindow(parent, feed)
{
    worker_ = make_worker<sp::LiveSpectrum>([this](const sp::SpectrumOutcome& outcome) { recoit_direct(outcome); });
    setWindowTitle(QStringLiteral("Spectrogramme"));
    build_controls();
    label_Etat->setText(QStringLiteral("Ouvrez un enregistrement dans la carte, ou lancez une acquisition"));
}

Spectrogramme::~Spectrogramme()
{
    remplissage_.stop();  // before the window its stretches are posted to
    worker_.reset();
}

void Spectrogramme::build_controls()
{
    comboBox_Source = new QComboBox;
    pictureBox_Spectrogramme = new QLabel;
    pictureBox_Spectrogramme->setFixedSize(sp::spectrogram_layout(plot_size, 2).frame.size);
    pictureBox_Spectrogramme->setCursor(Qt::CrossCursor);
    pictureBox_Spectrogramme->setToolTip(
        QStringLiteral("Un clic choisit l'instant et la fréquence de la carte ; glisser, l'intervalle et la bande"));
    pictureBox_Spectrogramme->installEventFilter(this);
    label_Etat = new QLabel;
    label_Etat->setWordWrap(true);
    auto* grid = new QGridLayout(this);
    grid->addWidget(comboBox_Source, 0, 0);
    grid->addWidget(pictureBox_Spectrogramme, 1, 0);
    grid->addWidget(label_Etat, 2, 0);
    sources_changent({}, false);
    connect(comboBox_Source, &QComboBox::currentIndexChanged, this, [this] { relance(); });
}

// The mean, each microphone by its global index, the point listened to.
void Spectrogramme::sources_changent(const std::vector<int>& micros, bool point)
{
    const QSignalBlocker quiet(comboBox_Source);
    const QVariant kept = comboBox_Source->currentData();
    comboBox_Source->clear();
    comboBox_Source->addItem(QStringLiteral("Moyenne des micros"), -1);
    for (std::size_t place = 0; place < micros.size(); ++place)
        comboBox_Source->addItem(QStringLiteral("Micro %1").arg(micros[place]), static_cast<int>(place));
    if (point)
        comboBox_Source->addItem(QStringLiteral("Point écouté"), -2);
    comboBox_Source->setCurrentIndex(std::max(0, comboBox_Source->findData(kept)));
}

void Spectrogramme::revue(std::shared_ptr<const stream::Recording> recording,
                          const std::optional<stream::Calibration>& calibration, const acoustic_map::Geometry& geometry,
                          const std::optional<acoustic_map::Position>& point)
{
    enregistrement_ = std::move(recording);
    etalonnage_ = calibration;
    geometrie_ = geometry;
    point_ = point;
    sources_changent(enregistrement_->layout.micros, point.has_value());
    relance();
}

void Spectrogramme::set_point(const std::optional<acoustic_map::Position>& point)
{
    point_ = point;
    if (!enregistrement_)
        return;
    const bool shown = comboBox_Source->currentData().toInt() == -2;
    sources_changent(enregistrement_->layout.micros, point.has_value());
    if (shown)
        relance();
}

void Spectrogramme::fin_revue()
{
    remplissage_.stop();
    ++generation_;
    enregistrement_.reset();
    donnees_ = {};
    dessine();
}

// The recording pictured again from its start, with the source chosen.
void Spectrogramme::relance()
{
    if (!enregistrement_)
        return;
    const stream::Recording& r = *enregistrement_;
    const double rate = stream::sampling_rate_hz(r.header);
    donnees_ = sp::empty_spectrogram(sp::spectrogram_grid(stream::whole_frames(r), rate, 0.0), 0.0,
                                     stream::unit_of(etalonnage_));
    SourceSpectrogramme source;
    source.channel = comboBox_Source->currentData().toInt();
    if (source.channel == -2 && point_) {
        source.point = point_;
        source.geometry = geometrie_;
    }
    const int generation = ++generation_;
    label_Etat->setText(QStringLiteral("Calcul du spectrogramme…"));
    remplissage_.start(enregistrement_, donnees_.grid, stream::sample_factors(etalonnage_, r.header.type_float != 0),
                       source, [this, generation](int first, std::vector<float> columns, const std::string& error) {
                           QMetaObject::invokeMethod(
                               this,
                               [this, generation, first, columns = std::move(columns), error] {
                                   recoit_colonnes(generation, first, columns, QString::fromStdString(error));
                               },
                               Qt::QueuedConnection);
                       });
    dessine();
}

void Spectrogramme::recoit_colonnes(int generation, int first, const std::vector<float>& columns, const QString& error)
{
    if (generation != generation_ || !enregistrement_)
        return;
    std::copy(columns.begin(), columns.end(),
              donnees_.power.begin() + static_cast<std::ptrdiff_t>(first) * sp::spectrogram_bins);
    donnees_.done = first + static_cast<int>(columns.size() / sp::spectrogram_bins);
    const int columns_all = donnees_.grid.columns();
    label_Etat->setText(!error.isEmpty()            ? QStringLiteral("Spectrogramme interrompu : ") + error
                        : donnees_.done < columns_all ? QStringLiteral("Calcul du spectrogramme… %1 %").arg(100 * donnees_.done / std::max(1, columns_all))
                                                      : QStringLiteral("Spectrogramme de l'enregistrement : %1 colonnes de %2 s")
                                                            .arg(fmt::fr(columns_all, 0), fmt::fr(donnees_.grid.step_s(), 3)));
    draw_paced(picture_ms, [this] { dessine(); });
}

spectrum::SpectrogramLayout Spectrogramme::disposition() const { return sp::spectrogram_layout(plot_size, 2); }

void Spectrogramme::dessine()
{
    if (donnees_.grid.columns() == 0) {
        pictureBox_Spectrogramme->clear();
        return;
    }
    const QString what = comboBox_Source->currentText();
    const QString when = en_revue() ? QStringLiteral("Relecture") : QStringLiteral("Direct");
    const QString unit = QString::fromStdString(stream::unit_label(donnees_.unit, false));
    const float top = sp::spectrogram_top_db(donnees_, false);
    pictureBox_Spectrogramme->setPixmap(QPixmap::fromImage(sp::framed_spectrogram(
        donnees_, false, top, shown_range_db, plot_size,
        {QStringLiteral("%1 : %2").arg(when, what), QStringLiteral("Niveaux en %1, %2 dB sous le maximum").arg(unit).arg(shown_range_db)})));
}

bool Spectrogramme::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == pictureBox_Spectrogramme &&
        (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonRelease)) {
        souris(event);
        return true;
    }
    return feed::LiveWindow::eventFilter(watched, event);
}

// A click chooses an instant and a frequency, a drag a time window and a
// band; a drag in the live picture, its band alone.
void Spectrogramme::souris(QEvent* event)
{
    const QPointF at = static_cast<QMouseEvent*>(event)->position();
    if (event->type() == QEvent::MouseButtonPress) {
        appui_ = at;
        return;
    }
    if (!appui_ || donnees_.grid.columns() == 0)
        return;
    const sp::SpectrogramLayout layout = disposition();
    const QPointF from = *std::exchange(appui_, std::nullopt);
    const double t0 = layout.time_at(donnees_, from.x()), f0 = layout.frequency_at(donnees_, from.y());
    const double t1 = layout.time_at(donnees_, at.x()), f1 = layout.frequency_at(donnees_, at.y());
    if (std::hypot(at.x() - from.x(), at.y() - from.y()) <= drag_px) {
        if (en_revue())
            emit instant_choisi(t1);
        emit frequence_choisie(f1);
    } else {
        emit intervalle_choisi(std::min(t0, t1), std::max(t0, t1), std::min(f0, f1), std::max(f0, f1));
    }
}

} // namespace SonivarACQ32
