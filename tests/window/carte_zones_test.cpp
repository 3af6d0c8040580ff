// Zones on the map window's map: drawn with the mouse on the simulated
// source, its level read in dB SPL once the array is calibrated, moved,
// renamed, kept with the window's settings and drawn on the saved picture.
#include "carte/carte_acoustique.h"
#include "spectre/spectre_acoustique.h"
#include "app/format.h"
#include "map/geometry.h"
#include "window_harness.h"

#include "scene.h"

#include <QApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QSettings>
#include <QTableWidget>
#include <QPushButton>
#include <QDoubleSpinBox>
#include <QTemporaryDir>
#include <QFile>
#include <QCheckBox>
#include <QComboBox>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace am = SonivarACQ32::acoustic_map;

namespace {

class CarteZones : public testsupport::WindowTest {
protected:
    // The picture's pixel of (x, y) m in the map's label.
    QPointF pixel(double x, double y) const
    {
        const am::MapView view = w.carte->vue();
        const QPixmap shown = w.carte->pictureBox_Carte->pixmap();
        return am::pixel_of(x, y, view.grid, am::cell_pixels(view)) +
               QPointF(w.carte->pictureBox_Carte->width() - shown.width(), 0.0);
    }
    // A press at `from`, moves to `to` and a release there, as a hand drags.
    void drag(QPointF from, QPointF to, Qt::KeyboardModifiers keys = Qt::NoModifier)
    {
        QWidget* label = w.carte->pictureBox_Carte;
        const auto send = [&](QEvent::Type type, QPointF at, Qt::MouseButtons held) {
            QMouseEvent e(type, at, label->mapToGlobal(at), Qt::LeftButton, held, keys);
            QApplication::sendEvent(label, &e);
        };
        send(QEvent::MouseButtonPress, from, Qt::LeftButton);
        for (int step = 1; step <= 4; ++step)
            send(QEvent::MouseMove, from + (to - from) * step / 4.0, Qt::LeftButton);
        send(QEvent::MouseButtonRelease, to, Qt::NoButton);
    }
    QString level_of(int row) const { return w.carte->tableWidget_Zones->item(row, 1)->text(); }
    // The level in a row, dB; NaN while none.
    double db_of(int row) const
    {
        bool number = false;
        const double db = level_of(row).section(' ', 0, 0).replace(',', '.').toDouble(&number);
        return number ? db : std::nan("");
    }
    int row_of(const QString& name) const
    {
        for (int row = 0; row < w.carte->tableWidget_Zones->rowCount(); ++row)
            if (w.carte->tableWidget_Zones->item(row, 2)->text() == name)
                return row;
        return -1;
    }
    QTemporaryDir dir;
};

TEST_F(CarteZones, DrawnOnTheSourceReadsItsLevelInDbSpl)
{
    const double amplitude = 1.0e6;
    unit.set_paced(true);
    unit.set_point_source(0.30, -0.20, 1.00, 3150.0, amplitude);
    w.button_Init->click();
    w.button_Carte->click();
    SonivarACQ32::CarteAcoustique& carte = *w.carte;
    carte.set_frequence(3150.0);
    carte.set_distance(1.0);
    SonivarACQ32::stream::Calibration pascal;
    pascal.factor.fill(static_cast<float>(1.0 / sim::mems_counts_per_pascal));
    carte.set_etalonnage(pascal);
    dialogs.answers.push_back(dir.filePath(QStringLiteral("essai.dat")));
    w.numericUpDown_Duree->setValue(1.0);
    w.button_Start->click();
    ASSERT_TRUE(testsupport::wait_for([&] { return carte.cartes > 0 && !carte.pictureBox_Carte->pixmap().isNull(); }));

    // A circle about the source (Shift), a rectangle far from it.
    drag(pixel(0.30, -0.20), pixel(0.50, -0.20), Qt::ShiftModifier);
    drag(pixel(-0.9, 0.5), pixel(-0.5, 0.9));
    ASSERT_EQ(carte.zones().size(), 2u);
    EXPECT_EQ(carte.zones()[0].shape, am::Zone::Shape::circle);
    EXPECT_NEAR(carte.zones()[0].r, 0.20, 0.05);
    // Ranked: the source's zone first, at the source's level at the array's
    // centre (its amplitude there in pascal).
    ASSERT_TRUE(testsupport::wait_for([&] { return level_of(0).endsWith(QStringLiteral("dB SPL")); }))
        << level_of(0).toStdString() << carte.label_Etat->text().toStdString();
    EXPECT_EQ(carte.tableWidget_Zones->item(0, 2)->text(), QStringLiteral("Zone 1"));
    const double pa = amplitude / std::hypot(0.30, 0.20, 1.00) / sim::mems_counts_per_pascal;
    const double truth = 10.0 * std::log10(pa * pa / 2.0 / (sim::reference_pressure_pa * sim::reference_pressure_pa));
    EXPECT_NEAR(db_of(0), truth, 1.0) << level_of(0).toStdString();
    EXPECT_LT(db_of(1), truth - 10.0);

    // A broadband band about the tone, A-weighted: the same source in dB(A).
    carte.numericUpDown_Fmin->setValue(2000.0);
    carte.numericUpDown_Fmax->setValue(5000.0);
    carte.checkBox_Ponderation_A->setChecked(true);
    carte.comboBox_Bande->setCurrentIndex(2);
    EXPECT_FALSE(carte.numericUpDown_Frequence->isEnabled());
    ASSERT_TRUE(testsupport::wait_for([&] {
        return carte.vue().caption.contains(QStringLiteral("Large bande 2000 – 5000 Hz, pondération A"));
    })) << carte.vue().caption.toStdString();
    EXPECT_TRUE(level_of(0).endsWith(QStringLiteral("dB(A)"))) << level_of(0).toStdString();
    EXPECT_NEAR(db_of(0), truth + SonivarACQ32::acoustic_map::a_weighting_db(3150.0), 1.5);
    carte.comboBox_Bande->setCurrentIndex(0);
    carte.checkBox_Ponderation_A->setChecked(false);

    // In review, the spectrum window's partial spectrum of the zone: the
    // source's level in its band; every zone's spectrum saved as a table.
    ASSERT_TRUE(carte.ouvre_enregistrement(dir.filePath(QStringLiteral("essai.dat"))));
    w.button_Spectre->click();
    SonivarACQ32::SpectreAcoustique& spectre = *w.spectre;
    spectre.comboBox_Zone->setCurrentIndex(spectre.comboBox_Zone->findText(QStringLiteral("Zone 1")));
    carte.relance_revue();
    ASSERT_TRUE(testsupport::wait_for([&] { return spectre.spectres_zones().valid; }))
        << spectre.label_Zone->text().toStdString();
    const am::ZoneSpectrumOutcome& zs = spectre.spectres_zones();
    const auto band = std::find(zs.spectrum.frequencies.begin(), zs.spectrum.frequencies.end(), 3150.0);
    ASSERT_NE(band, zs.spectrum.frequencies.end());
    const double band_db =
        10.0 * std::log10(zs.spectrum.power[static_cast<std::size_t>(band - zs.spectrum.frequencies.begin())][0] /
                          (sim::reference_pressure_pa * sim::reference_pressure_pa));
    EXPECT_NEAR(band_db, truth, 1.5);
    EXPECT_TRUE(spectre.label_Zone->text().contains(SonivarACQ32::fmt::fr(3150.0, 0) + QStringLiteral(" Hz")))
        << spectre.label_Zone->text().toStdString();
    const QString csv = dir.filePath(QStringLiteral("zones.csv"));
    ASSERT_TRUE(spectre.enregistre_spectres_zones(csv));
    QFile table(csv);
    ASSERT_TRUE(table.open(QIODevice::ReadOnly));
    const QStringList rows = QString::fromUtf8(table.readAll()).split('\n', Qt::SkipEmptyParts);
    EXPECT_EQ(rows.front(), QStringLiteral("zone,frequency_hz,level_db"));
    EXPECT_EQ(rows.size(), 1 + 2 * static_cast<int>(zs.spectrum.frequencies.size()));
    carte.ferme_enregistrement();

    // Renamed in the table; moved off the source by a drag from inside it;
    // a click still chooses the point to listen to.
    carte.tableWidget_Zones->item(0, 2)->setText(QStringLiteral("moteur"));
    EXPECT_EQ(carte.zones()[0].name, "moteur");
    drag(pixel(0.30, -0.20), pixel(-0.30, -0.20));
    EXPECT_NEAR(carte.zones()[0].x0, -0.30, 0.05);
    EXPECT_TRUE(testsupport::wait_for([&] { return db_of(row_of(QStringLiteral("moteur"))) < truth - 6.0; }));
    drag(pixel(0.0, 0.0), pixel(0.0, 0.0));
    ASSERT_TRUE(carte.point_ecoute);
    EXPECT_EQ(carte.zones().size(), 2u);

    // Kept with the settings, and outlined on the map.
    QSettings kept(dir.filePath(QStringLiteral("reglages.ini")), QSettings::IniFormat);
    carte.sauve_reglages(kept);
    carte.tableWidget_Zones->selectRow(0);
    carte.button_Supprimer_Zone->click();
    EXPECT_EQ(carte.zones().size(), 1u);
    carte.reprend_reglages(kept);
    ASSERT_EQ(carte.zones().size(), 2u);
    EXPECT_EQ(carte.zones()[0].name, "moteur");
    EXPECT_EQ(carte.vue().zones, carte.zones());
}

} // namespace
