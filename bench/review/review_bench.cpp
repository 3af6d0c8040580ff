// The map window reviewing a 10-minute recording at the top rate (50 kHz,
// 32 microphones, the counter and the status word): the slider dragged
// from one end to the other in 3 s as a hand would (one move per 10 ms),
// then released. Measured: how long after the release the map of the
// final position shows (41 x 41, delay-and-sum), and the longest gap
// between two passes of the window's event processing during the drag and
// until that map. Three drags, the recording in the page cache as it is
// right after a run.
#include "carte/carte_acoustique.h"
#include "top_rate_recording.h"

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
    while (std::abs(carte.instant_carte - target) > 1.0 / top_rate_hz && release.elapsed() < 10000)
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
    const fs::path dat = top_rate_recording(dir);
    std::printf("recording: %.0f MB, %u s\n", fs::file_size(dat) / 1e6, top_rate_seconds);
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
