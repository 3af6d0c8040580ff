// The map window reviewing a recording made by a run of the circling
// source: the maximum follows the source over time, the spectrum finds its
// tone, a torn recording opens; the map over a photo, saved as a framed
// picture; listening to a point.
#include "run_test_support.h"
#include "picture/colour_map.h"
#include "app/format.h"
#include "carte/carte_acoustique.h"
#include "picture/map_picture.h"
#include "scene.h"
#include "stream/float_wav.h"
#include "stream/recording.h"
#include "stream/recording_slice.h"
#include "spectre/spectre_acoustique.h"
#include "window_harness.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>

using SonivarACQ32::CarteAcoustique;
namespace am = SonivarACQ32::acoustic_map;
namespace fs = std::filesystem;

namespace {

class CarteReview : public testsupport::WindowTest {
protected:
    // Records `seconds` of the default scene, the map window open at the
    // source's tone and distance.
    QString record(double seconds)
    {
        w.button_Init->click();
        w.numericUpDown_Duree->setValue(seconds);
        const QString path = dir.filePath(QStringLiteral("cercle.dat"));
        dialogs.answers.push_back(path);
        w.button_Start->click();
        w.button_Carte->click();
        w.carte->set_frequence(sim::scene_tone_hz);
        w.carte->set_distance(sim::scene_height_m);
        return path;
    }

    bool near_source(double t) const
    {
        const sim::PointSource s = sim::moving_source(t);
        return std::hypot(w.carte->maximum.x() - s.at.x, w.carte->maximum.y() - s.at.y) < 0.1;
    }

    QTemporaryDir dir;
};

TEST_F(CarteReview, MaximumFollowsTheCirclingSourceAndTheSpectrumItsTone)
{
    const QString path = record(7.0);
    w.button_Spectre->click();
    CarteAcoustique& carte = *w.carte;
    ASSERT_TRUE(carte.ouvre_enregistrement(path)) << carte.label_Etat->text().toStdString();
    EXPECT_TRUE(carte.label_Enregistrement->text().contains(QStringLiteral("cercle.dat")));
    EXPECT_TRUE(carte.trackBar_Instant->isEnabled());
    const double window = carte.numericUpDown_Fenetre->value();
    EXPECT_NEAR(window, 1048576.0 / (4.0 * SonivarACQ32::Principale::nb_voies) / 50000.0, 0.001);
    for (double t : {0.5, 2.5, 4.5, 6.5}) {  // a quarter of a turn apart
        carte.set_instant(t);
        EXPECT_DOUBLE_EQ(carte.instant, t);
        EXPECT_TRUE(testsupport::wait_for([&] { return near_source(t + window / 2.0); }))
            << "at " << t << " s the maximum is at " << carte.maximum.x() << ", " << carte.maximum.y() << " "
            << carte.label_Etat->text().toStdString() << " cartes " << carte.cartes;
    }
    EXPECT_TRUE(testsupport::wait_for([&] { return std::abs(w.spectre->pic_hz - sim::scene_tone_hz) < 50.0; }))
        << w.spectre->pic_hz;
    carte.trackBar_Instant->setValue(2500);  // the slider, as the operator drags it
    EXPECT_DOUBLE_EQ(carte.instant, 2.5);
    EXPECT_TRUE(testsupport::wait_for([&] { return near_source(2.5 + window / 2.0); }));

    // Played at twice its pace on the program's clock, to its end.
    h.use_fast_clock();
    carte.comboBox_Vitesse->setCurrentIndex(1);
    carte.set_instant(1.0);
    carte.button_Lecture->click();
    EXPECT_EQ(carte.button_Lecture->text(), QStringLiteral("Pause"));
    h.clock.advance(2000);
    ASSERT_TRUE(testsupport::wait_for([&] { return carte.instant >= 5.0; }));
    EXPECT_LT(carte.instant, 5.5);
    h.clock.advance(10000);
    ASSERT_TRUE(testsupport::wait_for([&] { return carte.button_Lecture->text() == QStringLiteral("Lecture"); }));
    EXPECT_DOUBLE_EQ(carte.instant, carte.trackBar_Instant->maximum() / 1000.0);

    // A run takes the map while it streams; the review comes back after it.
    carte.set_instant(4.5);
    dialogs.answers.push_back(dir.filePath(QStringLiteral("autre.dat")));
    w.numericUpDown_Duree->setValue(0.5);
    const std::uint64_t maps_before = carte.cartes;
    bool review_waited = false;
    testsupport::When live([&] { return w.run_active && carte.cartes > maps_before; }, [&] {
        review_waited = !carte.trackBar_Instant->isEnabled() && !carte.button_Lecture->isEnabled() &&
                        !carte.button_Ouvrir->isEnabled() && carte.vue().caption.startsWith(QStringLiteral("Direct"));
    });
    w.button_Start->click();
    EXPECT_TRUE(review_waited) << "the review's controls wait, the map says it is live";
    EXPECT_TRUE(carte.trackBar_Instant->isEnabled());
    EXPECT_TRUE(carte.vue().caption.startsWith(QStringLiteral("Relecture")));
    EXPECT_EQ(fs::file_size(dir.filePath(QStringLiteral("autre.dat")).toStdString()),
              25000u * 4 * SonivarACQ32::Principale::nb_voies);
    EXPECT_TRUE(testsupport::wait_for([&] { return carte.cartes > maps_before + 1; })) << "the run's own maps";
    EXPECT_TRUE(carte.label_Etat->text().startsWith(QStringLiteral("Relecture : "))) << carte.label_Etat->text().toStdString();
    EXPECT_TRUE(testsupport::wait_for([&] { return near_source(4.5 + window / 2.0); }));

    // A recording torn inside a frame (the unit unplugged) opens as well.
    const fs::path dat = path.toStdString(), torn = dir.filePath(QStringLiteral("coupe.dat")).toStdString();
    for (const char* ext : {".dat", ".Zv", ".log"})
        fs::copy_file(fs::path(dat).replace_extension(ext), fs::path(torn).replace_extension(ext));
    std::ofstream(torn, std::ios::app | std::ios::binary) << "abcde";
    ASSERT_TRUE(carte.ouvre_enregistrement(QString::fromStdString(torn.string())));
    EXPECT_TRUE(carte.label_Enregistrement->text().contains(QStringLiteral("interrompu")));
    EXPECT_FALSE(carte.ouvre_enregistrement(dir.filePath(QStringLiteral("absent.dat"))));
    EXPECT_TRUE(carte.label_Etat->text().startsWith(QStringLiteral("Enregistrement illisible")));
}

// A green photo under the map: far from the source the photo shows; at the
// maximum the map's colour. The saved picture frames the map with its scale
// and refuses to replace the recording.
TEST_F(CarteReview, PhotoUnderTheMapAndFramedPicture)
{
    const QString path = record(1.0);
    CarteAcoustique& carte = *w.carte;
    const QString photo = dir.filePath(QStringLiteral("scene.png"));
    QImage green(64, 48, QImage::Format_RGB32);
    green.fill(QColor(0, 200, 0));
    ASSERT_TRUE(green.save(photo));
    EXPECT_FALSE(carte.charge_image(dir.path()));  // a folder
    ASSERT_TRUE(carte.ouvre_enregistrement(path));
    carte.numericUpDown_Largeur_Image->setValue(3.0);  // beyond the map on every side
    carte.numericUpDown_Hauteur_Image->setValue(3.0);
    carte.numericUpDown_Seuil->setValue(3.0);  // only the source's main lobe drawn
    ASSERT_TRUE(carte.charge_image(photo));
    carte.set_instant(0.5);
    ASSERT_TRUE(testsupport::wait_for([&] { return near_source(0.5 + carte.numericUpDown_Fenetre->value() / 2.0); }));
    carte.set_point_ecoute(-0.8, -0.8);
    // The colours and the scale span the 3 dB shown, not the 20 dB range.
    EXPECT_EQ(carte.label_Echelle_Bas->text(),
              SonivarACQ32::fmt::fr(carte.maximum_db - 3.0, 1) + QStringLiteral(" ") + carte.unite);

    const QString png = dir.filePath(QStringLiteral("carte.png"));
    ASSERT_TRUE(carte.enregistre_image(png));
    const QImage saved(png);
    const QImage shown = carte.pictureBox_Carte->pixmap().toImage();
    const am::FramedLayout layout = am::framed_layout(shown.size(), 4);
    ASSERT_EQ(saved.size(), layout.size);
    const auto palette = SonivarACQ32::colours::colour_map();
    const QPoint bar_top = layout.scale.topLeft() + QPoint(layout.scale.width() / 2, 0);
    EXPECT_EQ(saved.pixel(bar_top), qRgb(palette.red[127], palette.green[127], palette.blue[127]));
    EXPECT_EQ(saved.pixel(layout.map.bottomLeft() + QPoint(3, -3)), qRgb(0, 200, 0))
        << "the photo where the map is far below its top";
    const am::Grid grid = {carte.numericUpDown_Etendue->value(), carte.numericUpDown_Pas->value(),
                           carte.numericUpDown_Distance->value()};
    const int cell = shown.width() / grid.side();
    const QPointF top = am::pixel_of(carte.maximum.x(), carte.maximum.y(), grid, cell);
    EXPECT_NE(saved.pixel(layout.map.topLeft() + top.toPoint()), qRgb(0, 200, 0)) << "the map at its maximum";

    // Never over a file the window reads (the recording, the photo), never
    // half a file; the system's reason in French.
    for (const QString& read : {path, photo}) {
        const auto before = fs::file_size(read.toStdString());
        EXPECT_FALSE(carte.enregistre_image(read));
        EXPECT_EQ(fs::file_size(read.toStdString()), before);
    }
    EXPECT_FALSE(carte.enregistre_image(dir.filePath(QStringLiteral("absent/carte.png"))));
    EXPECT_TRUE(carte.label_Etat->text().endsWith(QStringLiteral("dossier introuvable")))
        << carte.label_Etat->text().toStdString();

    carte.button_Ecouter->click();  // there is no sound output here, or there is one
    const QString said = carte.label_Ecoute->text();
    EXPECT_TRUE((said.startsWith(QStringLiteral("Point écouté : x = -0,80 m, y = -0,80 m")) &&
                 said.contains(QStringLiteral("Aucune sortie son"))) ||
                said.startsWith(QStringLiteral("Écoute du point")))
        << said.toStdString();

    // The point's sound saved from the instant on, whole, as `listen` writes
    // it; never over the recording.
    const QString wav = dir.filePath(QStringLiteral("point.wav"));
    ASSERT_TRUE(carte.enregistre_ecoute(wav));
    ASSERT_TRUE(testsupport::wait_for([&] { return carte.label_Ecoute->text().startsWith(QStringLiteral("Écoute enregistrée")); }))
        << carte.label_Ecoute->text().toStdString();
    const auto recording = SonivarACQ32::stream::load_recording(path.toStdString()).recording;
    ASSERT_TRUE(recording);
    const auto range = SonivarACQ32::stream::frame_range(*recording, carte.instant, -1.0);
    // Whole: its data chunk says what the file holds, every frame from the
    // instant but the last few the array's delays need ahead.
    std::ifstream in(wav.toStdString(), std::ios::binary);
    std::string bytes(std::istreambuf_iterator<char>(in), {});
    ASSERT_GE(bytes.size(), SonivarACQ32::stream::float_header_bytes);
    std::uint32_t data_bytes = 0;
    std::memcpy(&data_bytes, bytes.data() + SonivarACQ32::stream::float_header_bytes - 4, 4);
    EXPECT_EQ(data_bytes, bytes.size() - SonivarACQ32::stream::float_header_bytes);
    EXPECT_LE(data_bytes / 4, range.frames());
    EXPECT_GT(data_bytes / 4, range.frames() * 9 / 10);
    EXPECT_FALSE(carte.enregistre_ecoute(path));
    EXPECT_TRUE(carte.label_Ecoute->text().contains(QStringLiteral("fichier que la fenêtre lit")));
}

} // namespace
