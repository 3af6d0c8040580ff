#pragma once
// The spectrum window: the live power spectrum of the run, one update per
// packet, from the auto-spectra its worker computes. The mean over the
// acquired microphones or one of them, narrow bands or third-octaves,
// A-weighting as an option, the unit on the axis, the peak read out and
// the map's band shaded. A click on the spectrum chooses the map's centre
// frequency.
#include "feed/live_window.h"
#include "map/live_zone_spectrum.h"
#include "spectrum/live_spectrum.h"
#include "picture/spectrum_plot.h"
#include "stream/samples.h"

#include <QString>
#include <QWidget>

#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <vector>

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QPushButton;
class QSettings;

namespace SonivarACQ32 {


class SpectreAcoustique : public feed::LiveWindow {
    Q_OBJECT

public:
    // The window subscribes to `feed` while it is shown.
    explicit SpectreAcoustique(QWidget* parent = nullptr, feed::PacketFeed* feed = nullptr);
    ~SpectreAcoustique() override;

    std::uint64_t spectres = 0;  // spectra drawn since the window was created
    std::uint64_t paquets_sautes = 0;  // pieces received but not drawn since then
    double pic_hz = 0.0;         // the last spectrum's peak
    double pic_db = 0.0;         // in the unit shown

    // As a click on the spectrum at that frequency.
    void clic_frequence(double hz);
    // The map's band, shaded (upper <= lower: none).
    void set_bande_carte(double lower_hz, double upper_hz);
    // Pascal per count of each microphone, or none (levels in dBFS).
    void set_etalonnage(const std::optional<stream::Calibration>& calibration);
    // The power in counts squared of each acquired microphone in the
    // third-octave around `frequency`, over the last second received, and
    // their global indices; empty without data.
    std::vector<double> puissances_bande(double frequency, std::vector<int>& micros) const;
    // The settings kept between sessions.
    void sauve_reglages(QSettings& settings) const override;
    void reprend_reglages(const QSettings& settings) override;
    // A word about the calibration for the operator.
    void montre_etalonnage(const QString& text);

    // A stretch of a recording under review in the map window.
    void revue(const feed::RunFacts& run, const stream::FileSlice& slice);
    // What the map window maps (its method, grid and zones): a zone's
    // spectrum is made with it.
    void set_carte(const acoustic_map::MapJob& job);
    // Every zone's third-octave spectrum, last made, as a CSV table; false
    // with the reason shown when it cannot be written.
    bool enregistre_spectres_zones(const QString& csv_path);
    const acoustic_map::ZoneSpectrumOutcome& spectres_zones() const { return zones_; }

    void capture(feed::Capture state, const feed::RunFacts& run) override;
    void piece(const feed::Piece& piece) override;

    QComboBox* comboBox_Micro = nullptr;    // the mean, then each acquired microphone
    QComboBox* comboBox_Bandes = nullptr;   // narrow bands or third-octaves
    QCheckBox* checkBox_PonderationA = nullptr;
    QLabel* pictureBox_Spectre = nullptr;
    QLabel* label_Pic = nullptr;
    QLabel* label_Etat = nullptr;
    // Calibration: a file to read, a calibrator to measure, a file to write.
    QPushButton* button_Etalonnage = nullptr;
    QDoubleSpinBox* numericUpDown_Etalonneur_Niveau = nullptr;     // dB SPL
    QDoubleSpinBox* numericUpDown_Etalonneur_Frequence = nullptr;  // Hz
    QPushButton* button_Mesurer = nullptr;
    QPushButton* button_Enregistrer_Etalonnage = nullptr;
    QLabel* label_Etalonnage = nullptr;
    // A zone of the map's third-octave spectrum over the microphones'.
    QComboBox* comboBox_Zone = nullptr;  // none, then each zone by name
    QPushButton* button_Exporter_Zones = nullptr;
    QLabel* label_Zone = nullptr;

signals:
    void frequence_choisie(double hz);
    void etalonnage_choisi(const QString& path);
    void mesure_demandee(double niveau_db, double frequence_hz);
    void enregistrement_choisi(const QString& path);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void build_controls();
    spectrum::SpectrumJob travail() const;
    void travail_change();
    void recoit(const spectrum::SpectrumOutcome& outcome);
    void dessine();
    void micros_changes();
    QWidget* build_calibration();
    void choisit_fichier(bool to_save);
    void garde_seconde(const spectrum::SpectrumOutcome& outcome);
    QWidget* build_zone_controls();
    int zone_choisie() const;  // in the map's job, -1: none
    void recoit_zones(const acoustic_map::ZoneSpectrumOutcome& outcome);
    void trace_zone();

    static constexpr int largeur_trace = 640, hauteur_trace = 360;  // the picture, pixels

    feed::RunFacts run_;
    std::optional<stream::Calibration> etalonnage_;
    spectrum::SpectrumOutcome dernier_;  // the last auto-spectra
    bool valide_ = false;
    bool en_revue_ = false;  // showing a recording, until a run starts
    spectrum::PlotData trace_;
    double bande_basse_ = 0.0, bande_haute_ = 0.0;
    std::unique_ptr<feed::StreamWorker<spectrum::LiveSpectrum>> worker_;
    acoustic_map::MapJob carte_;                // the map's, with its zones
    acoustic_map::ZoneSpectrumOutcome zones_;   // the last spectra of the zones
    std::unique_ptr<feed::StreamWorker<acoustic_map::LiveZoneSpectrum>> zone_worker_;
    // The auto-spectra of the last second, newest last, each with the
    // factors it was computed with and how long it lasted.
    struct Seconde {
        std::vector<double> auto_spectra;
        std::vector<double> per_count;  // units per count, per channel
        double seconds = 0.0;
    };
    std::deque<Seconde> derniere_seconde_;
};

} // namespace SonivarACQ32
