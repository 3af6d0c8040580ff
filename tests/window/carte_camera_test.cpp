// The simulated webcam under the map window's map: its live picture shows,
// the map's maximum lands on the source it films, mirror and rotation move
// the picture where they should, "Aligner" corrects a misplaced camera, and
// a camera pulled out mid-run is named while the run goes on.
#include "camera/live_camera.h"
#include "camera/camera_recorder.h"
#include "carte/carte_acoustique.h"
#include "carte/video_export.h"
#include "picture/camera_video.h"
#include "ffprobe.h"
#include "run_test_support.h"
#include "window_harness.h"

#include "camera/camera_optics.h"
#include "camera/camera_picture.h"
#include "scene.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QRegularExpression>
#include <QSlider>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <optional>

namespace am = SonivarACQ32::acoustic_map;

namespace {

constexpr double tone_hz = 3150.0;
constexpr double amplitude = 2.0e6;

// The centre of the source's orange disc in a picture, in pixels from its
// top left corner; none when it is not in it.
std::optional<QPointF> orange_centre(const QImage& picture)
{
    double sx = 0, sy = 0, n = 0;
    const sim::camera::Rgb orange = sim::camera::source_colour;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x) {
            const QRgb c = picture.pixel(x, y);
            if (std::abs(qRed(c) - orange.r) < 40 && std::abs(qGreen(c) - orange.g) < 40 && std::abs(qBlue(c) - orange.b) < 50) {
                sx += x + 0.5;
                sy += y + 0.5;
                ++n;
            }
        }
    return n < 10 ? std::nullopt : std::optional(QPointF(sx / n, sy / n));
}

class CarteCamera : public testsupport::CameraTest {
protected:
    SonivarACQ32::CarteAcoustique& carte() { return *w.carte; }

    // The map window on the simulated camera, set up as its optics are, the
    // map see-through at no opacity so that the picture shows whole.
    void open_on_the_camera()
    {
        unit.set_paced(true);
        unit.set_point_source(0.20, 0.10, 1.0, tone_hz, amplitude);
        w.button_Init->click();
        w.button_Carte->click();
        carte().set_frequence(tone_hz);
        carte().set_distance(1.0);
        carte().choisit_camera(QStringLiteral("Caméra de scène (simulée)"));
        am::CameraGeometry optics;
        optics.fov_deg = sim::camera::horizontal_fov_deg;
        optics.offset_x_mm = sim::camera::offset_x_m * 1000.0;
        optics.offset_y_mm = sim::camera::offset_y_m * 1000.0;
        carte().set_geometrie_camera(optics);
        carte().trackBar_Opacite->setValue(0);
    }
    // An open-ended run that takes `steps` as it streams and ends after them.
    void run_through(std::vector<testsupport::Steps::Step> steps)
    {
        w.checkBox_Record->setChecked(false);
        w.checkBox_Definie->setChecked(false);
        testsupport::Steps script(std::move(steps), [this] { w.button_Stop->click(); });
        w.button_Start->click();
        EXPECT_FALSE(script.timed_out) << "stuck after step " << script.done;
    }
    bool map_on(QPointF place)
    {
        return std::hypot(carte().maximum.x() - place.x(), carte().maximum.y() - place.y()) < 0.01;
    }
    // The picture shown has the source's disc within `within_m` of `place`.
    bool disc_at(QPointF place, double within_m, std::optional<QPointF>* found = nullptr)
    {
        const auto disc = disc_on_plane();
        if (found != nullptr)
            *found = disc;
        return disc && std::hypot(disc->x() - place.x(), disc->y() - place.y()) < within_m;
    }
    // Where the picture shown has the source's orange disc, m on the map's
    // plane; none when it is not in view.
    std::optional<QPointF> disc_on_plane()
    {
        const auto centre = orange_centre(carte().pictureBox_Carte->pixmap().toImage());
        if (!centre)
            return std::nullopt;
        const am::MapView view = carte().vue();
        return am::metres_of(*centre - QPointF(0.5, 0.5), view.grid, am::cell_pixels(view.pixels, view.grid.side()));
    }
    // The next pictures shown, once the disc is found near `near` (m).
    std::optional<QPointF> disc_near(QPointF near, double within_m = 0.05)
    {
        std::optional<QPointF> found;
        const bool seen = testsupport::wait_for([&] {
            found = disc_on_plane();
            return found && std::hypot(found->x() - near.x(), found->y() - near.y()) < within_m;
        }, 10000);
        return seen ? found : std::nullopt;
    }
    void click_on_map(QPointF metres)
    {
        QLabel* label = carte().pictureBox_Carte;
        const am::MapView view = carte().vue();
        const QPointF at = am::pixel_of(metres.x(), metres.y(), view.grid, am::cell_pixels(view.pixels, view.grid.side())) +
                           QPointF(label->width() - label->pixmap().width(), 0.0);
        for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
            QMouseEvent e(type, at, label->mapToGlobal(at), Qt::LeftButton,
                          type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
            QApplication::sendEvent(label, &e);
        }
    }
};

TEST_F(CarteCamera, MapMaximumLandsOnTheFilmedSourceAndMirrorAndRotationTurnThePicture)
{
    open_on_the_camera();
    ASSERT_TRUE(testsupport::wait_for([&] { return carte().camera()->pictures > 5; }, 10000))
        << carte().label_Camera->text().toStdString();
    ASSERT_TRUE(disc_near({0.20, 0.10})) << "the live picture shows the source before any run";
    // Three places of the scene: the map's maximum and the filmed source
    // within a degree of each other, seen from the array. Then mirrored, the
    // picture turns about the lens's vertical; upside down, about its centre.
    const std::vector<QPointF> places = {{0.20, 0.10}, {-0.30, -0.15}, {0.40, -0.30}};
    std::vector<double> angles;
    std::optional<QPointF> disc;
    std::vector<testsupport::Steps::Step> steps;
    for (std::size_t i = 0; i < places.size(); ++i) {
        const QPointF place = places[i];
        steps.push_back({[] { return true; }, [this, place] { unit.set_point_source(place.x(), place.y(), 1.0, tone_hz, amplitude); }});
        steps.push_back({[this, place, &disc] { return map_on(place) && disc_at(place, 0.05, &disc); },
                         [this, &angles, &disc] { angles.push_back(am::angle_between_deg(carte().maximum, *disc, 1.0)); }});
    }
    const QPointF lens(sim::camera::offset_x_m, sim::camera::offset_y_m);
    const QPointF last = places.back();
    steps.push_back({[] { return true; }, [this] { carte().checkBox_Miroir->setChecked(true); }});
    steps.push_back({[&] { return disc_at({2 * lens.x() - last.x(), last.y()}, 0.01); }, [] {}});
    steps.push_back({[] { return true; }, [this] {
                         carte().checkBox_Miroir->setChecked(false);
                         carte().comboBox_Rotation->setCurrentIndex(carte().comboBox_Rotation->findData(180));
                     }});
    steps.push_back({[&] { return disc_at(2 * lens - last, 0.01); }, [] {}});
    run_through(std::move(steps));
    ASSERT_EQ(angles.size(), places.size());
    for (double angle : angles)
        EXPECT_LT(angle, 1.0);
}

TEST_F(CarteCamera, AlignerCorrectsAMisplacedCameraAndAnUnpluggedOneLeavesTheRunGoing)
{
    open_on_the_camera();
    am::CameraGeometry wrong = carte().geometrie_camera();
    wrong.offset_x_mm += 100.0;
    carte().set_geometrie_camera(wrong);
    const QPointF source(0.20, 0.10);
    std::optional<QPointF> seen;
    std::uint64_t maps = 0;
    run_through({
        // The picture shows the source 100 mm off; a click on it aligns.
        {[&] { return map_on(source) && disc_at(source + QPointF(0.10, 0.0), 0.02, &seen); },
         [&] {
             carte().button_Aligner->click();
             click_on_map(*seen);
             EXPECT_TRUE(carte().label_Camera->text().contains(QStringLiteral("\nÉcart entre la carte et l'image : ")))
                 << carte().label_Camera->text().toStdString();
         }},
        {[&] { return disc_at(source, 0.02); }, [] {}},
        // Pulled out mid-run: named, the maps go on; plugged back: taken up.
        {[] { return true; }, [&] { camera.unplug(); }},
        {[&] { return carte().label_Camera->text().contains(QStringLiteral("débranchée")); },
         [&] {
             EXPECT_EQ(carte().comboBox_Camera->currentIndex(), 0);
             maps = carte().cartes;
         }},
        {[&] { return carte().cartes > maps + 5; }, [&] { camera.plug(); }},
        {[&] { return carte().camera()->active() && carte().camera()->pictures > 3; }, [] {}},
    });
    EXPECT_NEAR(carte().geometrie_camera().offset_x_mm, sim::camera::offset_x_m * 1000.0, 10.0);
    EXPECT_NEAR(carte().geometrie_camera().offset_y_mm, sim::camera::offset_y_m * 1000.0, 10.0);
    // The map had the source where it is, the picture 100 mm to its right.
    EXPECT_NEAR(carte().ecart_alignement_deg, am::angle_between_deg(source, source + QPointF(0.10, 0.0), 1.0), 0.6);
    EXPECT_EQ(carte().comboBox_Camera->currentText(), QStringLiteral("Caméra de scène (simulée)"));
    EXPECT_TRUE(carte().label_Camera->text().startsWith(QStringLiteral("Caméra « Caméra de scène (simulée) »")))
        << carte().label_Camera->text().toStdString();
}

// A recorded run with the camera on: every picture the camera gave is in
// NAME.mkv, stamped with its .dat frame; the source jumps at 1 s, and the
// pictures stamped before and after show it where it was then.
TEST_F(CarteCamera, RecordedRunKeepsEachPictureStampedWithItsDatFrame)
{
    open_on_the_camera();
    const QPointF before(-0.30, 0.10), after(0.30, -0.20);
    unit.set_point_source(before.x(), before.y(), 1.0, tone_hz, amplitude);
    const double rate = 50000.0;
    unit.move_source_at(static_cast<std::uint64_t>(rate), after.x(), after.y(), 1.0);
    QTemporaryDir dir;
    dialogs.answers.push_back(dir.filePath(QStringLiteral("essai.dat")));
    w.checkBox_Record->setChecked(true);
    w.checkBox_Definie->setChecked(true);
    w.numericUpDown_Duree->setValue(2.0);
    ASSERT_TRUE(testsupport::wait_for([&] { return carte().camera()->pictures > 5; }, 10000));
    w.button_Start->click();
    ASSERT_TRUE(testsupport::wait_for([&] { return carte().label_Etat->text().startsWith(QStringLiteral("Vidéo de la caméra : essai.mkv")); }))
        << carte().label_Etat->text().toStdString();

    const std::string mkv = dir.filePath(QStringLiteral("essai.mkv")).toStdString();
    std::string error;
    const auto video = SonivarACQ32::picture::read_camera_video(mkv, error);
    ASSERT_TRUE(video) << error;
    EXPECT_EQ(video->frames.size(), carte().enregistreur_camera()->written());
    EXPECT_GE(video->frames.size(), 40u);  // 25 a second over the 2 s, less the wait for the first piece
    EXPECT_TRUE(std::is_sorted(video->frames.begin(), video->frames.end()));
    EXPECT_LE(video->frames.back(), static_cast<std::uint64_t>(2.0 * rate));
    for (std::uint64_t frame : video->frames)
        EXPECT_LE(frame, static_cast<std::uint64_t>(2.0 * rate));

    // Reviewed: at each of four instants the picture under the map is the
    // one recorded there (within one picture's time), showing the source
    // where the scene had it then.
    ASSERT_TRUE(carte().ouvre_enregistrement(dir.filePath(QStringLiteral("essai.dat"))));
    carte().numericUpDown_Fenetre->setValue(0.1);
    const double picture_s = 1.0 / sim::camera::frames_per_second;
    for (const double instant : {0.5, 0.8, 1.2, 1.6}) {
        carte().set_instant(instant);
        const double shown_s = static_cast<double>(carte().trame_image_revue) / rate;
        EXPECT_LE(shown_s, instant + 1e-9);
        EXPECT_GT(shown_s, instant - 1.5 * picture_s) << instant;
        const QPointF place = instant < 1.0 ? before : after;
        ASSERT_TRUE(testsupport::wait_for([&] { return disc_at(place, 0.02); }, 10000)) << instant;
    }

    // Exported as a video over those pictures: stopped at once it leaves no
    // file; let run, one image per 40 ms of the recording, as ffprobe reads.
    const QString mp4 = dir.filePath(QStringLiteral("essai.mp4"));
    const auto files = [&] { return QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(); };
    const qsizetype recorded = files();
    ASSERT_TRUE(carte().exporte_video(mp4));
    carte().button_Exporter_Video->click();
    ASSERT_TRUE(testsupport::wait_for([&] { return !carte().export_video()->running(); }, 60000));
    EXPECT_TRUE(carte().label_Video->text().startsWith(QStringLiteral("Export de la vidéo arrêté")));
    EXPECT_EQ(files(), recorded);
    ASSERT_TRUE(carte().exporte_video(mp4));
    ASSERT_TRUE(testsupport::wait_for([&] { return !carte().export_video()->running(); }, 120000));
    const QRegularExpressionMatch said =
        QRegularExpression(QStringLiteral("^Vidéo exportée : essai.mp4, (\\d+) images \\(25 par seconde\\), sur (\\d+) images de la caméra$"))
            .match(carte().label_Video->text());
    ASSERT_TRUE(said.hasMatch()) << carte().label_Video->text().toStdString();
    EXPECT_GE(said.captured(1).toInt(), 45);
    EXPECT_GE(said.captured(2).toInt(), said.captured(1).toInt() / 2);  // the pictures follow the images
    EXPECT_EQ(testsupport::ffprobe_frames(mp4, "h264"), said.captured(1).toInt());
}

} // namespace
