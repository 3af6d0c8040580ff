// The acoustic map window: a packet's map and its maximum, settings and
// geometry; the "Carte" button in the acquisition window; one map per
// packet during a paced run, with the recording whole.
#include "run_test_support.h"

#include "stream/stream_format.h"
#include "app/format.h"
#include "app/switches.h"
#include "picture/colour_map.h"
#include "carte/carte_acoustique.h"
#include "map/geometry.h"
#include "platform/settings.h"
#include "stream/frame_layout.h"
#include "point_source_signals.h"
#include "window_harness.h"

#include <QApplication>
#include <QMouseEvent>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <numeric>
#include <optional>
#include <ostream>

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

// A run of `micros` microphones without the counter, int32 samples.
SonivarACQ32::feed::RunFacts run_of(std::uint64_t serial, const std::vector<int>& micros)
{
    return {serial, SonivarACQ32::stream::live_layout(static_cast<int>(micros.size()), false, micros, false),
            rate, {}};
}

// The frames as the unit sends them: little-endian int32 words.
std::vector<unsigned char> stream_bytes(const std::vector<float>& frames)
{
    std::vector<unsigned char> bytes(frames.size() * 4);
    for (std::size_t i = 0; i < frames.size(); ++i) {
        const auto w = static_cast<std::uint32_t>(static_cast<std::int32_t>(std::lround(frames[i])));
        for (int b = 0; b < 4; ++b)
            bytes[4 * i + b] = static_cast<unsigned char>(w >> (8 * b));
    }
    return bytes;
}

void hand_piece(CarteAcoustique& carte, const std::vector<unsigned char>& bytes, std::uint64_t run)
{
    carte.piece({bytes.data(), bytes.size(), 0, run});
}

TEST(CarteWindow, MapOfAPacketFollowsSettingsAndGeometry)
{
    CarteAcoustique carte;
    carte.show();
    const int width_before = carte.width();
    std::vector<int> micros(32);
    std::iota(micros.begin(), micros.end(), 0);
    carte.capture(SonivarACQ32::feed::Capture::running, run_of(1, micros));
    const auto bytes = stream_bytes(testsupport::point_source_frames({{0.30, -0.20, 1.0}}, example_mics(), rate, 7943));
    hand_piece(carte, bytes, 1);
    ASSERT_TRUE(testsupport::wait_for([&] { return carte.cartes == 1; }));
    EXPECT_NEAR(carte.maximum.x(), 0.30, 0.026);
    EXPECT_NEAR(carte.maximum.y(), -0.20, 0.026);
    EXPECT_FALSE(carte.pictureBox_Carte->pixmap().isNull());
    EXPECT_TRUE(carte.label_Maximum->text().startsWith(QStringLiteral("Maximum : x = ")));
    EXPECT_EQ(carte.width(), width_before) << "a map never widens the window";

    // The map takes the room it is given, square, and a click on it still
    // picks the point under the pointer.
    const int side_before = carte.pictureBox_Carte->pixmap().width();
    carte.resize(carte.sizeHint() + QSize(400, 400));
    EXPECT_TRUE(testsupport::wait_for([&] { return carte.pictureBox_Carte->pixmap().width() > side_before + 200; }))
        << carte.pictureBox_Carte->width() << " x " << carte.pictureBox_Carte->height();
    const QPixmap grown = carte.pictureBox_Carte->pixmap();
    EXPECT_EQ(grown.width(), grown.height());
    const am::MapView view = carte.vue();
    const QPointF at = am::pixel_of(carte.maximum.x(), carte.maximum.y(), view.grid, am::cell_pixels(view)) +
                       QPointF(carte.pictureBox_Carte->width() - grown.width(), 0.0);
    QMouseEvent press(QEvent::MouseButtonPress, at, carte.pictureBox_Carte->mapToGlobal(at), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QMouseEvent release(QEvent::MouseButtonRelease, at, carte.pictureBox_Carte->mapToGlobal(at), Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(carte.pictureBox_Carte, &press);
    QApplication::sendEvent(carte.pictureBox_Carte, &release);
    ASSERT_TRUE(carte.point_ecoute);
    EXPECT_NEAR(carte.point_ecoute->x(), carte.maximum.x(), 1e-9);
    EXPECT_NEAR(carte.point_ecoute->y(), carte.maximum.y(), 1e-9);

    // The methods in the order offered; each keeps the parameter the
    // operator gave it, and the diagonal goes only with those that take it out.
    QStringList names;
    for (int i = 0; i < carte.comboBox_Methode->count(); ++i)
        names << carte.comboBox_Methode->itemText(i);
    EXPECT_EQ(names, (QStringList{QStringLiteral("Formation de voies"), QStringLiteral("Fonctionnelle"),
                                  QStringLiteral("CLEAN-SC"), QStringLiteral("Capon")}));
    EXPECT_FALSE(carte.numericUpDown_Parametre->isEnabled());
    carte.set_methode(2);
    EXPECT_DOUBLE_EQ(carte.numericUpDown_Parametre->value(), am::MethodParameters{}.loop_gain);
    carte.numericUpDown_Parametre->setValue(0.3);
    carte.set_methode(3);
    EXPECT_FALSE(carte.checkBox_Diagonale->isEnabled());
    EXPECT_DOUBLE_EQ(carte.numericUpDown_Parametre->value(), am::MethodParameters{}.loading);
    carte.set_methode(2);
    EXPECT_DOUBLE_EQ(carte.numericUpDown_Parametre->value(), 0.3);
    EXPECT_TRUE(carte.checkBox_Diagonale->isEnabled());
    ASSERT_TRUE(testsupport::wait_for([&] { return carte.label_Maximum->text().contains(QStringLiteral("CLEAN-SC")); }));
    carte.set_methode(0);

    // A fixed scale 40 dB above the map: an empty-looking map, every cell in
    // the bottom colour; back to each map's own maximum.
    carte.comboBox_Echelle->setCurrentIndex(1);
    carte.numericUpDown_Haut->setValue(std::ceil(carte.maximum_db) + 40.0);
    const QImage faint = carte.pictureBox_Carte->pixmap().toImage();
    const auto palette = SonivarACQ32::colours::colour_map();
    EXPECT_EQ(faint.pixel(faint.width() - 3, faint.height() - 3), qRgb(palette.red[0], palette.green[0], palette.blue[0]));
    EXPECT_TRUE(carte.label_Echelle_Haut->text().endsWith(QStringLiteral(" dBFS")));
    carte.comboBox_Echelle->setCurrentIndex(0);

    // A setting maps the kept packet again; the plane half as far sees the
    // source elsewhere, and back at 1 m where it is.
    carte.set_distance(0.5);
    ASSERT_TRUE(testsupport::wait_for([&] { return std::abs(carte.maximum.x() - 0.30) > 0.03; }));
    carte.set_distance(1.0);
    ASSERT_TRUE(testsupport::wait_for([&] { return std::abs(carte.maximum.x() - 0.30) < 0.026; }));

    // An array believed 10 cm further along x sees the source there too.
    QTemporaryDir dir;
    const QString shifted = dir.filePath(QStringLiteral("shifted.xml"));
    write_shifted_geometry(shifted, 0.10);
    EXPECT_TRUE(carte.charge_geometrie(shifted));
    ASSERT_TRUE(testsupport::wait_for([&] { return std::abs(carte.maximum.x() - 0.40) < 0.026; }));
    // A file that cannot be read keeps the geometry in use.
    EXPECT_FALSE(carte.charge_geometrie(dir.filePath(QStringLiteral("absent.xml"))));
    EXPECT_TRUE(carte.label_Etat->text().contains(QStringLiteral("conservée")));
    EXPECT_EQ(carte.cartes, 1u);  // settings redraw, they count no packet

    // One microphone: no map, and why.
    const std::vector<int> single = {5};
    carte.capture(SonivarACQ32::feed::Capture::running, run_of(2, single));
    const std::vector<unsigned char> one(4 * 7943, 1);
    hand_piece(carte, one, 2);
    ASSERT_TRUE(testsupport::wait_for([&] { return carte.paquets_sautes == 1; }));
    EXPECT_EQ(carte.cartes, 1u);
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
    EXPECT_TRUE(Principale::own.carte_ouverte);
    // On a small screen it fits and scrolls: its review row is reached.
    const QRect room = w.carte->screen()->availableGeometry();
    EXPECT_LE(w.carte->height(), room.height());
    auto* scroll = w.carte->findChild<QScrollArea*>();
    ASSERT_NE(scroll, nullptr);
    scroll->ensureWidgetVisible(w.carte->button_Ouvrir);
    EXPECT_TRUE(scroll->viewport()->rect().contains(
        w.carte->button_Ouvrir->mapTo(scroll->viewport(), w.carte->button_Ouvrir->rect().bottomRight())));
    CarteAcoustique* first = w.carte;
    w.carte->close();
    EXPECT_FALSE(Principale::own.carte_ouverte);
    w.button_Carte->click();
    EXPECT_EQ(w.carte, first);
    EXPECT_EQ(w.carte->windowTitle(), QStringLiteral("Carte acoustique"));

    // Where the operator leaves it, as the operator set it, it opens again,
    // in a later session too.
    QTemporaryDir dir;
    const QString shifted = dir.filePath(QStringLiteral("décalée.xml"));
    write_shifted_geometry(shifted, 0.10);
    ASSERT_TRUE(w.carte->charge_geometrie(shifted));
    // A place where it fits whole (else it would move onto the screen).
    const QPoint place(room.left() + std::max(0, room.width() - w.carte->frameGeometry().width()) / 2, 45);
    w.carte->move(place);
    w.carte->set_frequence(1700.0);
    w.carte->set_methode(2);
    w.carte->numericUpDown_Parametre->setValue(0.3);
    w.carte->set_methode(1);
    w.carte->comboBox_Echelle->setCurrentIndex(1);
    w.carte->close();
    delete w.carte;
    w.carte = nullptr;
    w.button_Carte->click();
    EXPECT_EQ(w.carte->pos(), place);
    EXPECT_EQ(w.carte->numericUpDown_Frequence->value(), 1700.0);
    EXPECT_EQ(w.carte->comboBox_Methode->currentIndex(), 1);
    EXPECT_EQ(w.carte->comboBox_Echelle->currentIndex(), 1);
    EXPECT_EQ(w.carte->label_Geometrie->text(), QStringLiteral("décalée.xml"));
    w.carte->set_methode(2);
    EXPECT_DOUBLE_EQ(w.carte->numericUpDown_Parametre->value(), 0.3);

    // Kept values no control can take (edited by hand) leave the defaults,
    // each one named in the window.
    w.carte->close();
    delete w.carte;
    w.carte = nullptr;
    {
        const auto kept = SonivarACQ32::platform::settings();
        kept->setValue(QStringLiteral("carte/methode"), QStringLiteral("music"));
        kept->setValue(QStringLiteral("carte/pas"), 0.0);
        kept->setValue(QStringLiteral("carte/frequence"), QStringLiteral("nan"));
        kept->setValue(QStringLiteral("carte/bande"), 99);
        // Kept where a narrower window fitted: it comes back onto the screen.
        kept->setValue(QStringLiteral("carte/position"), QPoint(room.right() - 50, 45));
    }
    w.button_Carte->click();
    const QString said = w.carte->label_Etat->text();
    for (const char* value : {"methode = music", "pas = 0", "frequence = nan", "bande = 99"})
        EXPECT_TRUE(said.contains(QLatin1String(value))) << said.toStdString();
    EXPECT_EQ(w.carte->comboBox_Methode->currentIndex(), 0);
    EXPECT_GT(w.carte->numericUpDown_Pas->value(), 0.0);
    EXPECT_TRUE(std::isfinite(w.carte->numericUpDown_Frequence->value()));
    EXPECT_EQ(w.carte->comboBox_Echelle->currentIndex(), 1);  // the values in range are kept
    EXPECT_TRUE(w.carte->frameGeometry().right() <= room.right() || w.carte->x() == room.left());
}

// Every piece the feed handed the map has had its map or been counted as
// skipped: the worker has caught up.
bool map_caught_up(const Principale& w)
{
    return testsupport::wait_for([&] {
        return w.carte->cartes + w.carte->paquets_sautes == Principale::own.feed.pieces;
    }, 180000);
}

struct MapRunCase {
    const char* name;
    int band;          // 0 third-octave, 1 one bin
    double extent, step;
    double seconds;
};

void PrintTo(const MapRunCase& c, std::ostream* os) { *os << c.name; }

class MapDuringARun : public testsupport::WindowTestWithParam<MapRunCase> {
protected:
    QString data_path() const { return dir.filePath(QStringLiteral("essai.dat")); }
    QTemporaryDir dir;
};

// A light map keeps up with the packets; the finest grid cannot, and the
// packets it has not begun are skipped: the recording is whole either way,
// and every piece is either mapped or counted.
TEST_P(MapDuringARun, RecordingWholeEveryPieceMappedOrCounted)
{
    const MapRunCase c = GetParam();
    unit.set_paced(true);
    w.button_Init->click();
    w.button_Carte->click();
    w.carte->comboBox_Bande->setCurrentIndex(c.band);
    w.carte->numericUpDown_Etendue->setValue(c.extent);
    w.carte->numericUpDown_Pas->setValue(c.step);
    dialogs.answers.push_back(data_path());
    w.numericUpDown_Duree->setValue(c.seconds);
    w.button_Start->click();

    const QByteArray data = testsupport::read_all(data_path());
    EXPECT_EQ(data.size(), static_cast<qsizetype>(33 * 4 * 50000 * c.seconds));
    EXPECT_EQ(testsupport::first_counter_break(data, 33), -1);
    const std::uint64_t packets = (static_cast<std::uint64_t>(data.size()) + SonivarACQ32::stream::packet_bytes - 1) /
                                   SonivarACQ32::stream::packet_bytes;
    EXPECT_GE(Principale::own.feed.pieces, packets);  // the transfers in flight too
    ASSERT_TRUE(map_caught_up(w));
    EXPECT_GT(w.carte->cartes, 0u);
}

INSTANTIATE_TEST_SUITE_P(Grids, MapDuringARun,
                         testing::Values(MapRunCase{"light", 1, 0.2, 0.1, 1.0},
                                         MapRunCase{"finest", 0, 1.0, 0.005, 1.0}),
                         [](const testing::TestParamInfo<MapRunCase>& info) { return info.param.name; });

struct CarteRun : testsupport::WindowTest {
    QString data_path() const { return dir.filePath(QStringLiteral("essai.dat")); }
    QTemporaryDir dir;
};

class MapFindsTheSource : public testsupport::WindowTestWithParam<am::MethodKind> {
protected:
    QString data_path() const { return dir.filePath(QStringLiteral("essai.dat")); }
    QTemporaryDir dir;
};

// A tone from a point in front of the array, recorded with the map open at
// its distance: each method's maps find the source where the unit puts it.
TEST_P(MapFindsTheSource, DuringAPacedRun)
{
    unit.set_paced(true);
    unit.set_point_source(0.30, -0.20, 1.00, 3150.0, 1.0e6);
    w.button_Init->click();
    w.button_Carte->click();
    const auto& methods = am::all_methods();
    w.carte->set_methode(static_cast<int>(std::find(methods.begin(), methods.end(), GetParam()) - methods.begin()));
    w.carte->set_frequence(3150.0);
    w.carte->set_distance(1.0);
    dialogs.answers.push_back(data_path());
    w.numericUpDown_Duree->setValue(1.0);
    w.button_Start->click();

    const QByteArray data = testsupport::read_all(data_path());
    EXPECT_EQ(testsupport::first_counter_break(data, 33), -1);
    ASSERT_TRUE(map_caught_up(w));
    EXPECT_GT(w.carte->cartes, 0u);
    EXPECT_NEAR(w.carte->maximum.x(), 0.30, 0.05);
    EXPECT_NEAR(w.carte->maximum.y(), -0.20, 0.05);
    EXPECT_TRUE(w.carte->label_Maximum->text().contains(QString::fromStdString(am::method_name(GetParam()))));
}

INSTANTIATE_TEST_SUITE_P(Methods, MapFindsTheSource, testing::ValuesIn(am::all_methods()),
                         [](const testing::TestParamInfo<am::MethodKind>& info) {
                             std::string key = am::method_key(info.param);
                             std::erase(key, '-');
                             return key;
                         });

// With the mean over packets on, a new run starts afresh: its maps (a run
// of one packet) show the source where it now is.
TEST_F(CarteRun, AverageStartsAfreshWithEachRun)
{
    unit.set_paced(true);
    unit.set_point_source(0.5, 0.5, 1.0, 3150.0, 1.0e6);
    w.button_Init->click();
    w.button_Carte->click();
    w.carte->checkBox_Moyenne->setChecked(true);
    w.checkBox_Record->setChecked(false);
    w.numericUpDown_Duree->setValue(1.6);
    w.button_Start->click();
    ASSERT_TRUE(map_caught_up(w));
    EXPECT_NEAR(w.carte->maximum.x(), 0.5, 0.05) << w.carte->maximum_db << " " << w.carte->unite.toStdString();
    // The mean holds as much as it remembers; "Réinitialiser" starts it again.
    const double window = w.carte->numericUpDown_Fenetre->value();
    const QString memory = SonivarACQ32::fmt::fr(am::averaging_memory_s(window, am::window_mean_smoothing), 1);
    EXPECT_EQ(w.carte->label_Moyenne->text(),
              QStringLiteral("Moyenne sur %1 s (mémoire : %1 s)").arg(memory));
    w.carte->button_Reinitialiser->click();
    EXPECT_TRUE(w.carte->label_Moyenne->text().startsWith(
        QStringLiteral("Moyenne sur %1 s").arg(SonivarACQ32::fmt::fr(window, 1))));

    unit.set_point_source(-0.5, -0.5, 1.0, 3150.0, 1.0e6);
    const std::uint64_t before = w.carte->cartes;
    w.numericUpDown_Duree->setValue(0.1);  // 5 000 frames: one packet
    w.button_Start->click();
    ASSERT_TRUE(map_caught_up(w));
    EXPECT_GT(w.carte->cartes, before);
    EXPECT_NEAR(w.carte->maximum.x(), -0.5, 0.05);
    EXPECT_NEAR(w.carte->maximum.y(), -0.5, 0.05);
}

// The map follows the stream in flight: at the top rate at least twenty
// maps a second of stream (a coarse grid, so that the sanitizers' slower
// maps keep up; the default grid's rate is the benchmark's), and a source
// that jumps is on the map at its new place once the window and two offers
// of data have come after the jump.
TEST_F(CarteRun, MapsAtVideoRateFollowASourceThatMoves)
{
    unit.set_paced(true);
    unit.set_point_source(0.3, -0.2, 1.0, 3150.0, 1.0e6);
    w.button_Init->click();
    w.button_Carte->click();
    w.carte->set_frequence(3150.0);
    w.carte->numericUpDown_Etendue->setValue(0.4);
    w.carte->numericUpDown_Pas->setValue(0.1);
    const double seconds = 3.0, jump_s = 1.5;
    const std::uint64_t jump = static_cast<std::uint64_t>(jump_s * rate);
    unit.move_source_at(jump, -0.3, 0.2, 1.0);
    std::optional<std::uint64_t> first_there;  // stream byte after that map's data
    const QObject scope;  // the connection ends with this test
    QObject::connect(w.carte, &CarteAcoustique::carte_montree, &scope, [&] {
        const bool there = std::abs(w.carte->maximum.x() + 0.3) < 0.05 && std::abs(w.carte->maximum.y() - 0.2) < 0.05;
        if (there && !first_there)
            first_there = w.carte->fin_carte;
    });
    w.checkBox_Record->setChecked(false);
    w.numericUpDown_Duree->setValue(seconds);
    w.button_Start->click();
    ASSERT_TRUE(map_caught_up(w));
    EXPECT_GE(static_cast<double>(w.carte->cartes), 20.0 * seconds) << w.carte->paquets_sautes << " skipped of " << Principale::own.feed.pieces;
    ASSERT_TRUE(first_there.has_value());
    const double after_jump = static_cast<double>(*first_there / (33 * 4) - jump) / rate;
    EXPECT_GT(after_jump, 0.0);
    EXPECT_LE(after_jump, w.carte->numericUpDown_Fenetre->value() + 0.08);
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
    EXPECT_EQ(Principale::own.feed.pieces, 0u);
    EXPECT_EQ(w.carte->cartes, 0u);
}

} // namespace
