// The map window's spectrogram: opened from it, it pictures the recording
// under review (or the run), and its clicks and drags choose the review's
// instant, time window and the map's band.
#include "carte/carte_acoustique.h"

#include "spectrogramme/spectrogramme.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>

#include <algorithm>
#include <cmath>

namespace SonivarACQ32 {

namespace am = acoustic_map;

void CarteAcoustique::ouvre_spectrogramme()
{
    if (spectrogramme_ == nullptr) {
        spectrogramme_ = new Spectrogramme(this, feed());
        spectrogramme_->setWindowFlag(Qt::Window);  // a window of its own, closed with this one
        spectrogramme_->setAttribute(Qt::WA_QuitOnClose, false);
        spectrogramme_->set_etalonnage(etalonnage_);
        relie_spectrogramme();
    }
    spectrogramme_->show();
    spectrogramme_->raise();
    spectrogramme_suit_revue();
}

void CarteAcoustique::relie_spectrogramme()
{
    // A click: the time window centred on it, the third-octave about it.
    connect(spectrogramme_, &Spectrogramme::instant_choisi, this, [this](double t) {
        if (en_revue())
            set_instant(std::max(0.0, t - numericUpDown_Fenetre->value() / 2.0));
    });
    connect(spectrogramme_, &Spectrogramme::frequence_choisie, this, [this](double hz) {
        if (comboBox_Bande->currentIndex() == 2)
            comboBox_Bande->setCurrentIndex(0);
        set_frequence(std::round(hz));
    });
    // A drag: that time window, and that band as a broadband one.
    connect(spectrogramme_, &Spectrogramme::intervalle_choisi, this,
            [this](double from_s, double to_s, double lower_hz, double upper_hz) {
                if (en_revue()) {
                    numericUpDown_Fenetre->setValue(to_s - from_s);
                    set_instant(from_s);
                }
                numericUpDown_Fmin->setValue(std::round(lower_hz));
                numericUpDown_Fmax->setValue(std::round(upper_hz));
                comboBox_Bande->setCurrentIndex(2);
            });
}

// The recording under review, or none, to the spectrogram when it is open.
void CarteAcoustique::spectrogramme_suit_revue()
{
    if (spectrogramme_ == nullptr)
        return;
    if (!revue_.enregistrement) {
        spectrogramme_->fin_revue();
        return;
    }
    std::optional<am::Position> point;
    if (point_ecoute)
        point = am::Position{point_ecoute->x(), point_ecoute->y(), numericUpDown_Distance->value()};
    spectrogramme_->revue(std::make_shared<const stream::Recording>(*revue_.enregistrement), etalonnage_, geometrie,
                          point);
}

} // namespace SonivarACQ32
