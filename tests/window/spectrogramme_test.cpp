// The map window's spectrogram: live, the run's tone scrolls in; in
// review, the whole recording fills, a click sets the review's instant and
// the map's frequency, a drag its time window and a broadband band.
#include "carte/carte_acoustique.h"
#include "scene.h"
#include "spectrogramme/spectrogramme.h"
#include "window_harness.h"

#include <QApplication>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>

namespace sp = SonivarACQ32::spectrum;

namespace {

class SpectrogrammeWindow : public testsupport::WindowTest {
protected:
    SonivarACQ32::Spectrogramme& s() { return *w.carte->spectrogramme(); }
    // The picture's pixel of time t (s) and frequency f (Hz).
    QPointF pixel(double t, double f)
    {
        const sp::Spectrogram& d = s().donnees();
        const QRect plot = s().disposition().frame.map;
        const double span = d.grid.columns() * d.grid.step_s();
        return {plot.left() + (t - d.start_s) / span * plot.width(), plot.bottom() - f / (d.grid.sample_rate / 2.0) * plot.height()};
    }
    void press_release(QPointF from, QPointF to)
    {
        QWidget* label = s().pictureBox_Spectrogramme;
        QMouseEvent press(QEvent::MouseButtonPress, from, label->mapToGlobal(from), Qt::LeftButton, Qt::LeftButton,
                          Qt::NoModifier);
        QMouseEvent release(QEvent::MouseButtonRelease, to, label->mapToGlobal(to), Qt::LeftButton, Qt::NoButton,
                            Qt::NoModifier);
        QApplication::sendEvent(label, &press);
        QApplication::sendEvent(label, &release);
    }
    // The frequency of the loudest bin of the last column filled.
    double loudest_hz()
    {
        const sp::Spectrogram& d = s().donnees();
        int top = 1;
        for (int b = 1; b <= sp::spectrogram_bins; ++b)
            if (d.at(d.done - 1, b) > d.at(d.done - 1, top))
                top = b;
        return d.frequency(top);
    }
    QTemporaryDir dir;
};

TEST_F(SpectrogrammeWindow, LiveThenInReviewAClickAndADragChooseTheMap)
{
    w.button_Init->click();
    w.button_Carte->click();
    SonivarACQ32::CarteAcoustique& carte = *w.carte;
    carte.button_Spectrogramme->click();
    ASSERT_NE(carte.spectrogramme(), nullptr);
    EXPECT_TRUE(s().isVisible());
    const QString path = dir.filePath(QStringLiteral("ton.dat"));
    dialogs.answers.push_back(path);
    w.numericUpDown_Duree->setValue(2.0);
    w.button_Start->click();
    ASSERT_TRUE(testsupport::wait_for([&] { return s().donnees().done >= 5; })) << s().label_Etat->text().toStdString();
    EXPECT_NEAR(loudest_hz(), sim::scene_tone_hz, 50.0);

    ASSERT_TRUE(carte.ouvre_enregistrement(path));
    ASSERT_TRUE(testsupport::wait_for([&] {
        return s().donnees().grid.columns() > 0 && s().donnees().done == s().donnees().grid.columns();
    })) << s().label_Etat->text().toStdString();
    EXPECT_NEAR(loudest_hz(), sim::scene_tone_hz, 50.0);
    EXPECT_NEAR(s().donnees().grid.columns() * s().donnees().grid.step_s(), 2.0, 0.05);

    // A click at 1 s and 2 500 Hz: the map's window centred there, its
    // third-octave about 2 500 Hz.
    const double window = carte.numericUpDown_Fenetre->value();
    press_release(pixel(1.0, 2500.0), pixel(1.0, 2500.0));
    EXPECT_NEAR(carte.instant, 1.0 - window / 2.0, 0.01);
    EXPECT_NEAR(carte.numericUpDown_Frequence->value(), 2500.0, 50.0);
    EXPECT_EQ(carte.comboBox_Bande->currentIndex(), 0);

    // A drag from (0.5 s, 1 000 Hz) to (1.5 s, 3 000 Hz).
    press_release(pixel(0.5, 1000.0), pixel(1.5, 3000.0));
    EXPECT_NEAR(carte.instant, 0.5, 0.01);
    EXPECT_NEAR(carte.numericUpDown_Fenetre->value(), 1.0, 0.01);
    EXPECT_EQ(carte.comboBox_Bande->currentIndex(), 2);
    const auto [lower, upper] = carte.bande_hz();
    EXPECT_NEAR(lower, 1000.0, 50.0);
    EXPECT_NEAR(upper, 3000.0, 50.0);

    carte.ferme_enregistrement();
    EXPECT_FALSE(s().en_revue());
}

} // namespace
