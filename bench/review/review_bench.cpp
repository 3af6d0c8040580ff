// The map window reviewing a 10-minute recording at the top rate (50 kHz,
// 32 microphones, the counter and the status word): the slider dragged
// from one end to the other in 3 s as a hand would (one move per 10 ms),
// then released. Measured: how long after the release the map of the
// final position shows (41 x 41, delay-and-sum), and the longest gap
// between two passes of the window's event processing during the drag and
// until that map. Three drags, the recording in the page cache as it is
// right after a run.
#include "carte/carte_acoustique.h"
#include "point_source_signals.h"
#include "recording_maker.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QSlider>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
namespace am = SonivarACQ32::acoustic_map;

constexpr double rate = 50000.0;
constexpr std::uint32_t seconds = 600;

// One second of a tone from a point in front of the array, repeated.
fs::path make_recording(const fs::path& dir)
{
    testsupport::RecordingPlan plan;
    plan.micros.clear();
    for (int m = 0; m < 32; ++m)
        plan.micros.push_back(m);
    plan.status = true;
    plan.frames = seconds * static_cast<std::uint32_t>(rate);
    const fs::path dat = testsupport::write_recording(dir, "revue", plan, {});
    const auto mics = am::read_geometry(am::example_geometry_path).geometry->positions;
    const auto frames = testsupport::point_source_frames({{0.3, -0.2, 1.0}, 3150.0, 1e6}, mics, rate,
                                                         static_cast<std::size_t>(rate), 1e4);
    std::vector<std::uint32_t> words;
    for (std::size_t f = 0; f < static_cast<std::size_t>(rate); ++f) {
        words.push_back(static_cast<std::uint32_t>(f));
        for (int m = 0; m < 32; ++m)
            words.push_back(static_cast<std::uint32_t>(static_cast<std::int32_t>(frames[f * 32 + m])));
        words.push_back(0);
    }
    std::ofstream out(dat, std::ios::binary | std::ios::trunc);
    for (std::uint32_t s = 0; s < seconds; ++s)
        out.write(reinterpret_cast<const char*>(words.data()), static_cast<std::streamsize>(words.size() * 4));
    return dat;
}

struct GapMeter {
    GapMeter()
    {
        clock.start();
        timer.setInterval(0);
        QObject::connect(&timer, &QTimer::timeout, [this] {
            const qint64 t = clock.nsecsElapsed();
            longest = std::max(longest, t - last);
            last = t;
        });
        timer.start();
    }
    double longest_ms() const { return longest / 1e6; }
    QElapsedTimer clock;
    QTimer timer;
    qint64 last = 0, longest = 0;
};

void drag(SonivarACQ32::CarteAcoustique& carte, bool forwards)
{
    QSlider& slider = *carte.trackBar_Instant;
    const int moves = 300;
    GapMeter gaps;
    QElapsedTimer release;  // from the last move, the hand at rest
    for (int i = 1; i <= moves; ++i) {
        const int at = slider.maximum() / moves * i;
        release.start();
        slider.setValue(forwards ? at : slider.maximum() - at);
        if (i == moves)
            break;
        while (release.elapsed() < 10)
            QApplication::processEvents(QEventLoop::AllEvents, 1);
    }
    const double target = slider.value() / 1000.0;
    while (std::abs(carte.instant_carte - target) > 1.0 / rate && release.elapsed() < 10000)
        QApplication::processEvents(QEventLoop::AllEvents, 1);
    std::printf("drag %s: map of the released position after %.1f ms, longest gap between event passes %.1f ms, "
                "maximum at x = %.2f m, y = %.2f m\n",
                forwards ? "forwards " : "backwards", release.nsecsElapsed() / 1e6, gaps.longest_ms(),
                carte.maximum.x(), carte.maximum.y());
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const fs::path base = argc > 1 ? fs::path(argv[1]) : fs::temp_directory_path();
    const fs::path dir = base / ("sonivar-review-bench-" + std::to_string(getpid()));
    fs::create_directories(dir);
    const fs::path dat = make_recording(dir);
    std::printf("recording: %.0f MB, %u s\n", fs::file_size(dat) / 1e6, seconds);
    int status = 0;
    {
        SonivarACQ32::CarteAcoustique carte;
        carte.set_frequence(3150.0);
        carte.show();
        if (!carte.ouvre_enregistrement(QString::fromStdString(dat.string())))
            status = 1;
        for (bool forwards : {true, false, true})
            if (status == 0)
                drag(carte, forwards);
    }
    fs::remove_all(dir);
    return status;
}
