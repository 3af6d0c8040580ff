#pragma once
// The spectrogram window: time across, frequency up, levels in colour
// (60 dB below the loudest, in the unit of the map). In review, the whole
// recording under review, computed on a thread of its own and shown as it
// fills: the mean of the microphones, one of them, or the point listened
// to. Live, the newest spectra of the run scroll from the right. A click
// chooses the review's instant and the map's frequency; a drag, the time
// window and a broadband band.
#include "feed/live_window.h"
#include "picture/spectrogram_picture.h"
#include "spectrogramme/spectrogram_filler.h"
#include "spectrum/live_spectrum.h"

#include <QPointF>

#include <deque>
#include <memory>
#include <optional>

class QComboBox;
class QLabel;

namespace SonivarACQ32 {

// The live spectra kept, newest last, and the time of each (s from the
// run's start, the end of its stretch).
struct DirectSpectrogramme {
    std::deque<std::vector<float>> colonnes;
    std::deque<double> temps;
    double sample_rate = 0.0;
    stream::LevelUnit unit = stream::LevelUnit::dbfs;
};

class Spectrogramme : public feed::LiveWindow {
    Q_OBJECT

public:
    explicit Spectrogramme(QWidget* parent = nullptr, feed::PacketFeed* feed = nullptr);
    ~Spectrogramme() override;

    // The recording under review, pictured whole from its start; `point`
    // the one listened to (m, at the map's distance), if any.
    void revue(std::shared_ptr<const stream::Recording> recording, const std::optional<stream::Calibration>& calibration,
               const acoustic_map::Geometry& geometry, const std::optional<acoustic_map::Position>& point);
    void fin_revue();
    // The point listened to changed: pictured again if it is what is shown.
    void set_point(const std::optional<acoustic_map::Position>& point);
    // Pascal per count of each microphone for the runs to come, or none.
    void set_etalonnage(const std::optional<stream::Calibration>& calibration) { etalonnage_ = calibration; }
    bool en_revue() const { return enregistrement_ != nullptr; }
    // What is shown, and where the plot lies in the picture.
    const spectrum::Spectrogram& donnees() const { return donnees_; }
    spectrum::SpectrogramLayout disposition() const;

    void capture(feed::Capture state, const feed::RunFacts& run) override;
    void piece(const feed::Piece& piece) override;
    void sauve_reglages(QSettings&) const override {}
    void reprend_reglages(const QSettings&) override {}

    QComboBox* comboBox_Source = nullptr;  // the mean, each microphone, the point listened to
    QLabel* pictureBox_Spectrogramme = nullptr;
    QLabel* label_Etat = nullptr;

signals:
    // A click: the time (s from the recording's start) and the frequency.
    void instant_choisi(double seconds);
    void frequence_choisie(double hz);
    // A drag: the time window and the band it spans.
    void intervalle_choisi(double from_s, double to_s, double lower_hz, double upper_hz);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void build_controls();
    void sources_changent(const std::vector<int>& micros, bool point);
    void relance();
    void recoit_colonnes(int generation, int first, const std::vector<float>& columns, const QString& error);
    void recoit_direct(const spectrum::SpectrumOutcome& outcome);
    void spectrogramme_direct();
    void dessine();
    void souris(QEvent* event);

    spectrum::Spectrogram donnees_;
    std::shared_ptr<const stream::Recording> enregistrement_;
    std::optional<stream::Calibration> etalonnage_;
    acoustic_map::Geometry geometrie_;
    std::optional<acoustic_map::Position> point_;
    DirectSpectrogramme direct_;
    feed::RunFacts run_;
    std::optional<QPointF> appui_;  // where the button went down, on the picture
    SpectrogramFiller remplissage_;
    int generation_ = 0;  // of the filling under way: a stretch of an earlier one is dropped
    std::unique_ptr<feed::StreamWorker<spectrum::LiveSpectrum>> worker_;
};

} // namespace SonivarACQ32
