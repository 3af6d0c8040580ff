#pragma once
// The acoustic map window: where the sound in front of the array comes
// from, one map per packet while a run streams. It subscribes to the run's
// feed; its maps are made on a worker thread and drawn here. It shows the
// map in the program's 128-colour map with its dB scale, the acquired
// microphones as dots and the maximum marked; its controls choose the band,
// the plane and its grid, and the array's geometry.
//
// Between runs it reviews a recording: a time window moved over it by hand
// or played, its maps (and spectra) made on the workers from the file; a
// point of the map listened to; the map drawn over a photo of the scene;
// the map saved as a framed picture.
#include "feed/live_window.h"
#include "map/beamformer.h"
#include "map/geometry.h"
#include "map/live_mapper.h"
#include "carte/map_painter.h"
#include "carte/zones_carte.h"
#include "picture/map_picture.h"
#include "platform/folders.h"
#include "stream/recording_slice.h"

#include <QImage>
#include <QPointF>
#include <QString>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QFormLayout;
class QGroupBox;
class QTableWidget;
class QTableWidgetItem;
class QLayout;
class QSettings;
class QLabel;
class QMediaDevices;
class QPushButton;
class QSlider;
class QTimer;

namespace SonivarACQ32 {

namespace picture {
class CameraVideoReader;
}
namespace camera {
class CameraRecorder;
class LiveCamera;
}
class EcoutePoint;
class VideoExport;
class Spectrogramme;
class EcouteWav;

// The recording under review and how it is being gone through.
struct RevueEnregistrement {
    std::optional<stream::Recording> enregistrement;
    feed::RunFacts faits;     // its layout and rate, under a serial of its own
    double duree = 0.0;       // s, its whole frames
    bool lecture = false;     // playing
    double lecture_depart = 0.0;   // the instant when play began, s
    std::uint32_t horloge_depart = 0;  // the program's clock then, ms
};

class CarteAcoustique : public feed::LiveWindow {
    Q_OBJECT

public:
    // The window subscribes to `feed` while it is shown; without a feed it
    // maps only what is handed to it.
    explicit CarteAcoustique(QWidget* parent = nullptr, feed::PacketFeed* feed = nullptr);
    ~CarteAcoustique() override;
    QSize sizeHint() const override;
    // The map as the window shows it, and as its saved picture holds it.
    acoustic_map::MapView vue() const;

    std::uint64_t cartes = 0;  // maps computed since the window was created
    std::uint64_t paquets_sautes = 0;  // pieces received but not mapped since then
    std::uint64_t sautes_acquisition_ = 0;  // of them, during the run under way or last
    std::uint64_t fin_carte = 0;  // stream byte after the data of the last map
    QPointF maximum;           // m, position of the last map's maximum
    float maximum_db = 0.0f;   // level of the last map's maximum, in `unite`
    QString unite = QStringLiteral("dBFS");  // "dBFS", or "dB SPL" once calibrated

    // Reads a MicGeom file; on failure says why and keeps the geometry in use.
    bool charge_geometrie(const QString& path);
    void set_frequence(double hz);
    void set_distance(double z_m);
    // The method, in the order of comboBox_Methode.
    void set_methode(int index);
    // Pascal per count of each microphone, or none (levels in dBFS).
    void set_etalonnage(const std::optional<stream::Calibration>& calibration);
    // The band mapped now, Hz: its lower and upper edges.
    std::pair<double, double> bande_hz() const;
    // The settings kept between sessions, and the geometry file in use.
    void sauve_reglages(QSettings& settings) const override;
    void reprend_reglages(const QSettings& settings) override;

    // Review of a recording: opens it (false with the reason shown when it
    // cannot be read), moves its time window (start, s), closes it.
    bool ouvre_enregistrement(const QString& dat_path);
    void set_instant(double seconds);
    double instant = 0.0;
    double instant_carte = -1.0;  // start of the stretch the map shown comes from; -1: none
    void ferme_enregistrement();
    bool en_revue() const { return revue_.enregistrement.has_value(); }
    // The stretch under review sent again to the maps and the spectrum.
    void relance_revue();
    // The point listened to, m; a click on the map chooses it.
    void set_point_ecoute(double x, double y);
    std::optional<QPointF> point_ecoute;
    // A photo of the scene (PNG or JPEG) under the map; false with the
    // reason shown when it cannot be read.
    bool charge_image(const QString& path);
    // The map as shown, framed with its axes, scale and facts, as PNG.
    bool enregistre_image(const QString& png_path);
    // The point's sound from the instant on, as a WAV (written on a thread
    // of its own); false with the reason shown when it cannot start.
    bool enregistre_ecoute(const QString& wav_path);
    std::vector<stream::FileIdentity> fichiers_lus() const;
    // What the maps are made of now: settings, geometry, the run, the zones.
    acoustic_map::MapJob travail() const;

    // The feed: a run starts, begins or ends; a piece of its stream. The
    // piece is copied to the worker; its map comes back later.
    void capture(feed::Capture state, const feed::RunFacts& run) override;
    void piece(const feed::Piece& piece) override;

    // Controls.
    QDoubleSpinBox* numericUpDown_Frequence = nullptr;
    QComboBox* comboBox_Bande = nullptr;  // third-octave, one bin, broadband
    // A broadband band's edges, and each bin A-weighted (every band).
    QDoubleSpinBox* numericUpDown_Fmin = nullptr;
    QDoubleSpinBox* numericUpDown_Fmax = nullptr;
    QCheckBox* checkBox_Ponderation_A = nullptr;
    QComboBox* comboBox_Methode = nullptr;
    QLabel* label_Parametre = nullptr;
    QDoubleSpinBox* numericUpDown_Parametre = nullptr;  // the chosen method's parameter
    QDoubleSpinBox* numericUpDown_Distance = nullptr;
    QDoubleSpinBox* numericUpDown_Etendue = nullptr;
    QDoubleSpinBox* numericUpDown_Pas = nullptr;
    QComboBox* comboBox_Dynamique = nullptr;
    // The scale: each map's own maximum at the top, or a fixed top chosen by
    // the operator, so that an empty band looks empty.
    QComboBox* comboBox_Echelle = nullptr;
    QDoubleSpinBox* numericUpDown_Haut = nullptr;  // the fixed top, in the unit shown
    QCheckBox* checkBox_Diagonale = nullptr;
    QCheckBox* checkBox_Moyenne = nullptr;
    QPushButton* button_Reinitialiser = nullptr;  // the mean starts again
    QLabel* label_Moyenne = nullptr;              // how much it holds
    QPushButton* button_Geometrie = nullptr;
    QPushButton* button_Spectre = nullptr;  // opens the spectrum window
    QPushButton* button_Spectrogramme = nullptr;  // opens the spectrogram, a window of this one
    Spectrogramme* spectrogramme() const { return spectrogramme_; }  // null until first opened
    QLabel* label_Geometrie = nullptr;
    QLabel* pictureBox_Carte = nullptr;
    QLabel* pictureBox_Echelle = nullptr;
    QLabel* label_Echelle_Haut = nullptr;
    QLabel* label_Echelle_Bas = nullptr;
    QLabel* label_Maximum = nullptr;
    QLabel* label_Etat = nullptr;
    QLabel* label_Sautes = nullptr;    // pieces the worker could not keep up with
    // Review.
    QPushButton* button_Ouvrir = nullptr;
    QPushButton* button_Fermer = nullptr;
    QSlider* trackBar_Instant = nullptr;      // ms from the recording's start
    QPushButton* button_Lecture = nullptr;    // play / pause
    QComboBox* comboBox_Vitesse = nullptr;    // times the recording's pace
    QDoubleSpinBox* numericUpDown_Fenetre = nullptr;  // the time window, s
    QLabel* label_Instant = nullptr;
    QLabel* label_Enregistrement = nullptr;   // the recording's facts
    // Listening.
    QPushButton* button_Ecouter = nullptr;
    QPushButton* button_Enregistrer_Ecoute = nullptr;
    QLabel* label_Ecoute = nullptr;
    // The photo under the map, and the saved picture.
    QPushButton* button_Image = nullptr;
    QSlider* trackBar_Opacite = nullptr;      // percent
    QDoubleSpinBox* numericUpDown_Seuil = nullptr;    // dB below the scale's top
    QDoubleSpinBox* numericUpDown_Largeur_Image = nullptr;  // m at the map's distance
    QDoubleSpinBox* numericUpDown_Hauteur_Image = nullptr;
    QLabel* label_Orientation = nullptr;
    QPushButton* button_Enregistrer_Image = nullptr;
    // The recording under review as a video of its maps.
    QPushButton* button_Exporter_Video = nullptr;  // "Arrêter l'export" while one runs
    QLabel* label_Video = nullptr;                 // the export's progress, then its outcome
    // Exports the recording under review as an MP4 at `path` (on a thread
    // of its own); false, said, when it cannot begin.
    bool exporte_video(const QString& mp4_path);
    VideoExport* export_video() const { return export_video_; }
    // A camera's live pictures under the map, and how it sits and looks.
    QComboBox* comboBox_Camera = nullptr;         // "Aucune", then the system's cameras
    QDoubleSpinBox* numericUpDown_Champ = nullptr;     // horizontal field of view, degrees
    QDoubleSpinBox* numericUpDown_Camera_X = nullptr;  // the lens from the array's centre, mm
    QDoubleSpinBox* numericUpDown_Camera_Y = nullptr;
    QCheckBox* checkBox_Miroir = nullptr;
    QComboBox* comboBox_Rotation = nullptr;
    QPushButton* button_Aligner = nullptr;  // the next click on the picture marks the source
    QLabel* label_Camera = nullptr;
    camera::LiveCamera* camera() const { return camera_.get(); }
    camera::CameraRecorder* enregistreur_camera() const { return enregistreur_camera_.get(); }
    // Chooses the camera named so in "Caméra" ("Aucune": none).
    void choisit_camera(const QString& name);
    acoustic_map::CameraGeometry geometrie_camera() const;
    acoustic_map::CameraGeometry geometrie_video() const;
    void set_geometrie_camera(const acoustic_map::CameraGeometry& camera);
    double ecart_alignement_deg = 0.0;  // between the map and the picture, at the last alignment
    std::uint64_t trame_image_revue = 0;  // in review, the .dat frame of the recorded picture shown
    // Zones of the map and their levels, loudest first.
    QGroupBox* groupBox_Zones = nullptr;
    QTableWidget* tableWidget_Zones = nullptr;  // rank, name (editable), level
    QPushButton* button_Supprimer_Zone = nullptr;
    const std::vector<acoustic_map::Zone>& zones() const { return zones_.liste; }

signals:
    // The band mapped changed: its edges, Hz.
    void bande_changee(double lower_hz, double upper_hz);
    void spectre_demande();
    // A new map is on screen.
    void carte_montree();
    // A stretch of the recording under review, for the spectrum.
    void tranche_revue(const feed::RunFacts& run, const stream::FileSlice& slice);
    // The maps' job changed (settings, run, zones).
    void travail_change(const acoustic_map::MapJob& job);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    static QDoubleSpinBox* spin_box(double low, double high, double step, int decimals, double value,
                                    const QString& suffix = {});
    void build_controls();
    void connect_controls();
    QLayout* build_method_controls();
    void methode_changee();
    void bande_choisie();
    void parametre_change(double value);
    void button_Geometrie_Click();
    void propose_fichier(const QString& title, const QString& filter, platform::FileKind kind, bool to_save,
                         std::function<void(const QString&)> then);
    void reglages_changes();
    acoustic_map::Settings reglages() const;
    void recoit_carte(const acoustic_map::MapOutcome& outcome, const CarteDessinee& dessinee);
    void dessine();
    void montre_sautes();
    void montre_moyenne();
    double moyenne_s_ = 0.0;  // seconds of stream in the mean since it began
    // The map shown is the recording's under review, not the live run's.
    bool relecture_montree() const { return en_revue() && !en_direct_; }
    void dessine_echelle();
    QLayout* build_review_controls();
    QLayout* build_picture_controls();
    void connect_review_controls();
    void demande_tranche();
    void montre_instant();
    void lecture_pause();
    void avance_lecture();
    void button_Ouvrir_Click();
    void button_Image_Click();
    void button_Enregistrer_Image_Click();
    void button_Exporter_Video_Click();
    void export_avance(const QString& stage, int done, int total);
    void export_fini(const QString& text);
    void montre_export();
    void button_Ecouter_Click();
    void button_Enregistrer_Ecoute_Click();
    // The point listened to, m, at the map's distance: the one clicked, else
    // the maximum. Nothing (said) when there is neither.
    std::optional<acoustic_map::Position> point_a_ecouter();
    void fond_change();
    QString fenetre_texte() const;
    QWidget* build_zone_controls();
    QPointF metres_sous(const QPointF& position) const;
    bool souris_carte(QEvent* event);
    void clic_carte(QPointF at);
    void suit_glisse(QPointF at);
    void finit_glisse(const GlisseZone& done);
    void zones_changees();
    void supprime_zone();
    void renomme_zone(QTableWidgetItem* item);
    void montre_zones(const acoustic_map::MapOutcome& outcome);
    void remplit_table_zones();
    std::vector<acoustic_map::Zone> zones_montrees() const;
    void sauve_zones(QSettings& s) const;
    void ouvre_spectrogramme();
    void spectrogramme_suit_revue();
    void relie_spectrogramme();
    void reprend_zones(const QSettings& s);
    QWidget* build_camera_controls();
    void liste_cameras();
    void camera_choisie();
    void camera_perdue(const QString& why);
    void montre_image_camera(const QImage& composed);
    void montre_etat_camera();
    void reprend_geometrie_camera(const QString& name);
    void geometrie_camera_changee();
    void pose_camera();
    void enregistre_camera(bool on);
    void place_fond();
    void ouvre_video_revue(const QString& dat_path);
    void montre_image_revue();
    void aligner_bascule(bool on);
    void aligne_sur(QPointF seen_m);
    void sauve_cameras(QSettings& s) const;
    void reprend_cameras(const QSettings& s);
    // The side of the map's picture, about: the room the window gives it.
    int pixels_carte() const;

    acoustic_map::Geometry geometrie;
    QString fichier_geometrie;  // empty: the example geometry built in
    acoustic_map::Map derniere_carte;
    acoustic_map::Settings reglages_carte;  // those the last map was made with
    acoustic_map::MethodParameters parametres;  // each method keeps its own
    QFormLayout* formulaire_methode = nullptr;
    bool carte_valide = false;
    feed::RunFacts run_;                    // the run the pieces come from
    std::optional<stream::Calibration> etalonnage_;
    bool en_direct_ = false;  // a run streams: the live map takes precedence
    RevueEnregistrement revue_;
    ZonesCarte zones_;
    Spectrogramme* spectrogramme_ = nullptr;
    QTimer* minuterie_lecture_ = nullptr;
    acoustic_map::Backdrop fond_;
    QString fichier_image_;
    std::unique_ptr<EcoutePoint> ecoute_;
    std::unique_ptr<EcouteWav> ecoute_wav_;
    QWidget* contenu_ = nullptr;  // every control, in the window's scroll area
    // The live maps' pictures, drawn on the worker's thread.
    std::shared_ptr<PeintreCarte> peintre_ = std::make_shared<PeintreCarte>();
    CarteDessinee carte_dessinee_;  // the last map's, null when it has none
    std::unique_ptr<feed::StreamWorker<acoustic_map::LiveMapper>> worker_;
    std::unique_ptr<camera::LiveCamera> camera_;
    std::unique_ptr<camera::CameraRecorder> enregistreur_camera_;  // on the feed while a camera is on
    std::unique_ptr<picture::CameraVideoReader> video_revue_;  // the camera's video of the recording under review
    QImage image_video_;  // its picture at the instant
    QImage photo_fixe_;   // the photo chosen with "Image de fond…"
    QMediaDevices* appareils_ = nullptr;  // tells when cameras come and go
    std::map<QString, acoustic_map::CameraGeometry> cameras_connues_;  // by camera name
    QString alignement_texte_;  // the last alignment's outcome, shown under the camera's state
    VideoExport* export_video_ = nullptr;
    QString camera_perdue_;  // a camera unplugged while in use: taken up again when it is back
};

} // namespace SonivarACQ32
