// The acoustic map window: a packet's map and its maximum, settings and
// geometry; the "Carte" button in the acquisition window; one map per
// packet during a paced run, with the recording whole.
#include "run_test_support.h"

#include "acquisition/stream_format.h"
#include "app/switches.h"
#include "map/carte_acoustique.h"
#include "map/geometry.h"
#include "map/packet_samples.h"
#include "point_source_signals.h"
#include "window_harness.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <numeric>

using SonivarACQ32::CarteAcoustique;
using SonivarACQ32::Principale;
namespace am = SonivarACQ32::acoustic_map;

namespace {

constexpr double rate = 50000.0;

std::vector<am::Position> example_mics()
{
    return am::read_geometry(am::example_geometry_path).geometry->positions;
}

// The example geometry moved by dx metres along x.
void write_shifted_geometry(const QString& path, double dx)
{
    std::ofstream xml(path.toStdString());
    xml << "<MicArray name=\"décalée\">\n";
    for (const am::Position& p : example_mics())
        xml << "<pos x=\"" << p.x + dx << "\" y=\"" << p.y << "\" z=\"" << p.z << "\"/>\n";
    xml << "</MicArray>\n";
}

TEST(CarteWindow, MapOfAPacketFollowsSettingsAndGeometry)
{
    CarteAcoustique carte;
    carte.show();
    am::PacketSamples packet;
    packet.count = 7943;
    packet.micros = 32;
    packet.frames = test_support::point_source_frames({{0.30, -0.20, 1.0}}, example_mics(), rate, packet.count);
    std::vector<std::int32_t> micros(32);
    std::iota(micros.begin(), micros.end(), 0);

    carte.carte_du_paquet(packet, micros, rate);
    EXPECT_EQ(carte.cartes, 1u);
    EXPECT_NEAR(carte.maximum.x(), 0.30, 0.026);
    EXPECT_NEAR(carte.maximum.y(), -0.20, 0.026);
    EXPECT_FALSE(carte.pictureBox_Carte->pixmap().isNull());
    EXPECT_TRUE(carte.label_Maximum->text().startsWith(QStringLiteral("Maximum : x = ")));

    // A setting maps the kept packet again.
    carte.set_distance(0.5);
    EXPECT_EQ(carte.cartes, 2u);
    carte.set_distance(1.0);
    EXPECT_NEAR(carte.maximum.x(), 0.30, 0.026);

    // An array believed 10 cm further along x sees the source there too.
    QTemporaryDir dir;
    const QString shifted = dir.filePath(QStringLiteral("shifted.xml"));
    write_shifted_geometry(shifted, 0.10);
    EXPECT_TRUE(carte.charge_geometrie(shifted));
    EXPECT_NEAR(carte.maximum.x(), 0.40, 0.026);
    // A file that cannot be read keeps the geometry in use.
    EXPECT_FALSE(carte.charge_geometrie(dir.filePath(QStringLiteral("absent.xml"))));
    EXPECT_TRUE(carte.label_Etat->text().contains(QStringLiteral("conservée")));
    carte.set_frequence(3100.0);
    EXPECT_NEAR(carte.maximum.x(), 0.40, 0.026);

    // One microphone: no map, and why.
    const std::uint64_t before = carte.cartes;
    am::PacketSamples one{std::vector<float>(7943, 1.0f), 7943, 1, true};
    const std::int32_t single[] = {5};
    carte.carte_du_paquet(one, single, rate);
    EXPECT_EQ(carte.cartes, before);
    EXPECT_TRUE(carte.label_Etat->text().contains(QStringLiteral("Moins de 2")));
}

using CarteButton = testsupport::AbsentUnitTest;

TEST_F(CarteButton, FreeSpaceNoSwitchSameWindowEachTime)
{
    ASSERT_NE(w.button_Carte, nullptr);
    for (QObject* child : w.children()) {
        auto* control = qobject_cast<QWidget*>(child);
        if (control != nullptr && control != w.button_Carte && !control->isWindow()) {
            EXPECT_FALSE(control->geometry().intersects(w.button_Carte->geometry()))
                << control->objectName().toStdString();
        }
    }
    w.set_all_enabled(false);  // the switches of a streaming run
    Principale::enabled[SonivarACQ32::sw::stop] = true;
    w.enable();
    EXPECT_TRUE(w.button_Carte->isEnabled());

    EXPECT_EQ(w.carte, nullptr);
    w.button_Carte->click();
    ASSERT_NE(w.carte, nullptr);
    EXPECT_TRUE(w.carte->isVisible());
    EXPECT_TRUE(Principale::carte_ouverte);
    CarteAcoustique* first = w.carte;
    w.carte->close();
    EXPECT_FALSE(Principale::carte_ouverte);
    w.button_Carte->click();
    EXPECT_EQ(w.carte, first);
    EXPECT_EQ(w.carte->windowTitle(), QStringLiteral("Carte acoustique"));
}

struct CarteRun : testsupport::WindowTest {
    QString data_path() const { return dir.filePath(QStringLiteral("essai.dat")); }
    QTemporaryDir dir;
};

TEST_F(CarteRun, OneMapPerPacketWhileOpenAndTheRecordingWhole)
{
    unit.set_paced(true);
    w.button_Init->click();
    w.button_Carte->click();
    // A light map (one bin, 5 x 5 points), so that each map stays well
    // inside a packet's 160 ms under the sanitizers.
    w.carte->comboBox_Bande->setCurrentIndex(1);
    w.carte->numericUpDown_Etendue->setValue(0.2);
    w.carte->numericUpDown_Pas->setValue(0.1);
    dialogs.answers.push_back(data_path());
    w.numericUpDown_Duree->setValue(1.0);
    w.button_Start->click();

    const QByteArray data = runtest::read_all(data_path());
    EXPECT_EQ(data.size(), 33 * 4 * 50000);
    EXPECT_EQ(runtest::first_counter_break(data, 33), -1);
    const std::uint64_t packets = (static_cast<std::uint64_t>(data.size()) + SonivarACQ32::stream::packet_bytes - 1) /
                                   SonivarACQ32::stream::packet_bytes;
    EXPECT_EQ(Principale::carte_paquets.copies, packets);
    EXPECT_EQ(w.carte->cartes, packets);
}

// A tone from a point in front of the array, recorded with the map open at
// its distance: every map finds the source where the unit puts it.
TEST_F(CarteRun, MapFindsTheSimulatedPointSource)
{
    unit.set_paced(true);
    unit.set_point_source(0.30, -0.20, 1.00, 3150.0, 1.0e6);
    w.button_Init->click();
    w.button_Carte->click();
    w.carte->set_frequence(3150.0);
    w.carte->set_distance(1.0);
    dialogs.answers.push_back(data_path());
    w.numericUpDown_Duree->setValue(1.0);
    const std::uint64_t before = w.carte->cartes;
    w.button_Start->click();

    const QByteArray data = runtest::read_all(data_path());
    EXPECT_EQ(runtest::first_counter_break(data, 33), -1);
    EXPECT_EQ(w.carte->cartes - before, Principale::carte_paquets.copies);
    EXPECT_GT(w.carte->cartes, before);
    EXPECT_NEAR(w.carte->maximum.x(), 0.30, 0.05);
    EXPECT_NEAR(w.carte->maximum.y(), -0.20, 0.05);
}

TEST_F(CarteRun, ClosedMapCopiesNothing)
{
    unit.set_paced(true);
    w.button_Init->click();
    w.button_Carte->click();
    w.carte->close();
    w.checkBox_Record->setChecked(false);
    w.numericUpDown_Duree->setValue(0.5);
    w.button_Start->click();
    EXPECT_GT(Principale::ntr, 0u);
    EXPECT_EQ(Principale::carte_paquets.copies, 0u);
    EXPECT_EQ(w.carte->cartes, 0u);
}

} // namespace
