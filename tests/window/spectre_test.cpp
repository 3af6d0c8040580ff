// The spectrum window: its button, a paced run's spectrum of a tone (the
// peak at the tone, the level it was sent at), and the spectrum choosing
// the map's frequency.
#include "french_locale.h"
#include "run_test_support.h"

#include "carte/carte_acoustique.h"
#include "spectre/spectre_acoustique.h"
#include "stream/calibration_file.h"
#include "stream/levels.h"
#include "stream/samples.h"
#include "scene.h"
#include "window_harness.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>

using SonivarACQ32::Principale;
using SonivarACQ32::SpectreAcoustique;

namespace {

using SpectreRun = testsupport::WindowTest;

TEST_F(SpectreRun, ToneReadAtItsFrequencyAndLevel)
{
    constexpr double amplitude = 1.0e6;  // counts at the array's centre
    unit.set_paced(true);
    unit.set_point_source(0.0, 0.0, 1.0, 3150.0, amplitude);
    const testsupport::EnglishSettings english;
    w.button_Init->click();
    ASSERT_NE(w.button_Spectre, nullptr);
    EXPECT_FALSE(w.button_Spectre->geometry().intersects(w.button_Carte->geometry()));
    w.button_Spectre->click();
    ASSERT_NE(w.spectre, nullptr);
    EXPECT_TRUE(w.spectre->isVisible());
    w.checkBox_Record->setChecked(false);
    w.numericUpDown_Duree->setValue(0.5);
    w.button_Start->click();
    ASSERT_TRUE(testsupport::wait_for([&] { return w.spectre->spectres > 0; }));
    // Narrow bands: the tone read between the bins, its frequency and level.
    EXPECT_NEAR(w.spectre->pic_hz, 3150.0, 1.0);
    const double narrow_db = w.spectre->pic_db;
    // Third-octaves: the band holds the tone's whole power.
    w.spectre->comboBox_Bandes->setCurrentIndex(1);
    EXPECT_EQ(w.spectre->pic_hz, 3150.0);
    EXPECT_NEAR(w.spectre->pic_db, 20.0 * std::log10(amplitude / SonivarACQ32::stream::int32_full_scale), 0.5);
    EXPECT_NEAR(narrow_db, w.spectre->pic_db, 0.1);
    // French numbers whatever the system's regional settings.
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^Pic : 3.150 Hz, -\\d+,\\d dBFS$"))
                    .match(w.spectre->label_Pic->text())
                    .hasMatch())
        << w.spectre->label_Pic->text().toStdString();

    // A click on the spectrum opens the map at that frequency.
    EXPECT_EQ(w.carte, nullptr);
    w.spectre->clic_frequence(1000.0);
    ASSERT_NE(w.carte, nullptr);
    EXPECT_EQ(w.carte->numericUpDown_Frequence->value(), 1000.0);
    EXPECT_EQ(w.carte->numericUpDown_Distance->text(), QStringLiteral("1,00"));
    // The map window's own button shows the same spectrum window.
    SpectreAcoustique* first = w.spectre;
    w.spectre->close();
    w.carte->button_Spectre->click();
    EXPECT_EQ(w.spectre, first);
    EXPECT_TRUE(w.spectre->isVisible());
}

} // namespace

namespace {

struct Etalonnage : testsupport::WindowTest {
    // A run of `seconds`, not recorded, and the spectrum caught up with it.
    void run_for(double seconds)
    {
        w.numericUpDown_Duree->setValue(seconds);
        w.button_Start->click();
        ASSERT_TRUE(testsupport::wait_for([&] {
            return w.spectre->spectres + w.spectre->paquets_sautes == Principale::own.feed.pieces;
        }));
    }
    QTemporaryDir dir;
};

// The calibrator on a few microphones in turn, each measured; the file
// written holds 32 factors, the others the measured ones' mean; read again,
// it makes a source of known pressure read its level in dB SPL on the map
// and the spectrum.
TEST_F(Etalonnage, MeasuredSavedLoadedAndRead)
{
    const double expected_factor = 1.0 / sim::mems_counts_per_pascal;
    unit.set_paced(true);
    unit.set_point_source(0.0, 0.0, 1.0, 3150.0, 1.0e6);
    w.button_Init->click();
    w.button_Spectre->click();
    w.checkBox_Record->setChecked(false);
    run_for(0.5);
    EXPECT_FALSE(w.mesure_etalonneur(94.0, 1000.0));  // no calibrator: nothing stands out
    EXPECT_TRUE(w.spectre->label_Etalonnage->text().startsWith(QStringLiteral("Aucun micro ne se détache")));
    const QString path = dir.filePath(QStringLiteral("antenne.xml"));
    EXPECT_FALSE(w.enregistre_etalonnage(path));
    for (int mic : {0, 13, 31}) {
        unit.set_calibrator(mic, 94.0, 1000.0);
        run_for(1.2);
        ASSERT_TRUE(w.mesure_etalonneur(94.0, 1000.0)) << mic;
        ASSERT_TRUE(Principale::own.mesures_etalonneur[mic]);
        EXPECT_NEAR(*Principale::own.mesures_etalonneur[mic] / expected_factor, 1.0, 0.02) << mic;
    }
    unit.clear_calibrator();
    ASSERT_TRUE(w.enregistre_etalonnage(path));
    const auto written = SonivarACQ32::stream::read_calibration(path.toStdString());
    ASSERT_TRUE(written.calibration) << written.error;
    const float mean = (*Principale::own.mesures_etalonneur[0] + *Principale::own.mesures_etalonneur[13] +
                        *Principale::own.mesures_etalonneur[31]) / 3.0f;
    EXPECT_FLOAT_EQ(written.calibration->factor[5], mean);
    EXPECT_EQ(written.calibration->factor[13], *Principale::own.mesures_etalonneur[13]);

    // Read again in a fresh state, a tone of known pressure reads its level.
    Principale::own.etalonnage.reset();
    EXPECT_FALSE(w.charge_etalonnage(dir.filePath(QStringLiteral("absent.xml"))));
    EXPECT_FALSE(Principale::own.etalonnage);
    ASSERT_TRUE(w.charge_etalonnage(path));
    Principale::own.etalonnage.reset();  // as in a later session
    w.reprend_etalonnage();
    ASSERT_TRUE(Principale::own.etalonnage);
    w.applique_etalonnage(Principale::own.etalonnage);
    w.button_Carte->click();
    w.carte->set_frequence(3150.0);
    w.spectre->comboBox_Bandes->setCurrentIndex(1);
    const std::uint64_t before = Principale::own.feed.pieces;  // the map was not open then
    run_for(1.0);
    ASSERT_TRUE(testsupport::wait_for([&] {
        return w.carte->cartes + w.carte->paquets_sautes == Principale::own.feed.pieces - before;
    }));
    const double pascal = 1.0e6 / sim::mems_counts_per_pascal;  // amplitude at the array's centre
    const double spl = 20.0 * std::log10(pascal / std::sqrt(2.0) / SonivarACQ32::stream::reference_pressure);
    EXPECT_EQ(w.carte->unite, QStringLiteral("dB SPL"));
    EXPECT_NEAR(w.carte->maximum_db, spl, 0.5);
    EXPECT_EQ(w.spectre->pic_hz, 3150.0);
    EXPECT_NEAR(w.spectre->pic_db, spl, 0.5);
}

} // namespace
