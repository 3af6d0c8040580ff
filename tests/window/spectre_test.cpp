// The spectrum window: its button, a paced run's spectrum of a tone (the
// peak at the tone, the level it was sent at), and the spectrum choosing
// the map's frequency.
#include "run_test_support.h"

#include "map/carte_acoustique.h"
#include "spectrum/spectre_acoustique.h"
#include "stream/samples.h"
#include "window_harness.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QPushButton>

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
    // Narrow bands: the peak within one bin of the tone.
    EXPECT_NEAR(w.spectre->pic_hz, 3150.0, 50000.0 / 1024.0);
    // Third-octaves: the band holds the tone's whole power.
    w.spectre->comboBox_Bandes->setCurrentIndex(1);
    EXPECT_EQ(w.spectre->pic_hz, 3150.0);
    EXPECT_NEAR(w.spectre->pic_db, 20.0 * std::log10(amplitude / SonivarACQ32::stream::int32_full_scale), 0.5);
    EXPECT_TRUE(w.spectre->label_Pic->text().endsWith(QStringLiteral(" dBFS")));

    // A click on the spectrum opens the map at that frequency.
    EXPECT_EQ(w.carte, nullptr);
    w.spectre->clic_frequence(1000.0);
    ASSERT_NE(w.carte, nullptr);
    EXPECT_EQ(w.carte->numericUpDown_Frequence->value(), 1000.0);
    // The map window's own button shows the same spectrum window.
    SpectreAcoustique* first = w.spectre;
    w.spectre->close();
    w.carte->button_Spectre->click();
    EXPECT_EQ(w.spectre, first);
    EXPECT_TRUE(w.spectre->isVisible());
}

} // namespace
