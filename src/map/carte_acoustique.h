#pragma once
// The acoustic map window: where the sound in front of the array comes
// from, one map per packet while a run streams. It shows the map in the
// program's 128-colour map with its dB scale, the acquired microphones as
// dots and the maximum marked; its controls choose the band, the plane and
// its grid, and the array's geometry.
#include "map/beamformer.h"
#include "map/geometry.h"
#include "map/packet_samples.h"

#include <QPointF>
#include <QString>
#include <QWidget>

#include <cstdint>
#include <span>
#include <vector>

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QPushButton;

namespace SonivarACQ32 {

class CarteAcoustique : public QWidget {
    Q_OBJECT

public:
    explicit CarteAcoustique(QWidget* parent = nullptr);
    ~CarteAcoustique() override;

    std::uint64_t cartes = 0;  // maps computed since the window was created
    QPointF maximum;           // m, position of the last map's maximum

    // Reads a MicGeom file; on failure says why and keeps the geometry in use.
    bool charge_geometrie(const QString& path);
    void set_frequence(double hz);
    void set_distance(double z_m);

    // One map of a packet's samples: `micros` the global indices of the
    // acquired microphones in channel order, `sample_rate` in Hz. The packet
    // is kept, so that a change of setting redraws from it.
    void carte_du_paquet(const acoustic_map::PacketSamples& paquet,
                         std::span<const std::int32_t> micros, double sample_rate);

    // Controls.
    QDoubleSpinBox* numericUpDown_Frequence = nullptr;
    QComboBox* comboBox_Bande = nullptr;
    QDoubleSpinBox* numericUpDown_Distance = nullptr;
    QDoubleSpinBox* numericUpDown_Etendue = nullptr;
    QDoubleSpinBox* numericUpDown_Pas = nullptr;
    QComboBox* comboBox_Dynamique = nullptr;
    QCheckBox* checkBox_Diagonale = nullptr;
    QCheckBox* checkBox_Moyenne = nullptr;
    QPushButton* button_Geometrie = nullptr;
    QLabel* label_Geometrie = nullptr;
    QLabel* pictureBox_Carte = nullptr;
    QLabel* pictureBox_Echelle = nullptr;
    QLabel* label_Echelle_Haut = nullptr;
    QLabel* label_Echelle_Bas = nullptr;
    QLabel* label_Maximum = nullptr;
    QLabel* label_Etat = nullptr;

signals:
    // The window was shown (true) or hidden or closed (false).
    void visibilite(bool visible);

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void build_controls();
    void button_Geometrie_Click();
    void reglages_changes();
    acoustic_map::Settings reglages() const;
    bool configure(std::span<const std::int32_t> micros, double sample_rate);
    void recalcule();
    void dessine();
    void dessine_echelle();

    acoustic_map::Geometry geometrie;
    acoustic_map::Beamformer beamformer;
    acoustic_map::Map derniere_carte;
    bool carte_valide = false;
    bool a_configurer = true;          // settings or geometry changed since configure
    std::vector<std::int32_t> micros_config;  // what the beamformer was configured for
    double frequence_config = 0.0;
    acoustic_map::PacketSamples dernier;  // the last packet mapped
};

} // namespace SonivarACQ32
