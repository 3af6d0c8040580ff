// Whole acquisitions on the simulated unit, measured:
//  1. throughput of recorded runs (32 microphones and the counter at 50 kHz,
//     30 s of data, unpaced unit) against a bare libusb reader on the same
//     unit (eight 1 MiB transfers, fwrite, nothing else), both in plain
//     memory, then both in zero-copy memory;
//  2. CPU use of the window thread at the top rate, paced (34 channels at
//     50 kHz, 20 s);
//  3. CPU use while waiting for an external trigger;
//  4. the longest gap between two passes of window-event processing during
//     paced runs at 2 channels / 2 kHz and 34 channels / 50 kHz.
//  5. maps at video rate: maps a second per method and rate, and the delay
//     from a source's jump to its map on screen (video_rate.cpp).
// Usage: run_throughput_bench [repetitions]. Re-executes itself under the
// umockdev preload when needed.
//   run_throughput_bench --video: only the maps at video rate.
//   run_throughput_bench --throughput: only the throughput (3 runs each).
//   run_throughput_bench --window: only the window thread's CPU, paced at
//   the top rate: alone, with the map, with the map and the spectrum, and
//   with the simulated camera's live pictures under the map as well.
//   run_throughput_bench --soak MINUTES: only an open-ended paced run in
//   advanced mode (32 microphones and the counter at 50 kHz, no recording),
//   the window thread's CPU printed minute by minute, first against last.
//   run_throughput_bench --diffusion SECONDS: a paced top-rate run streamed
//   to a PipeWire node on a private server and read by pw-record: the delay
//   from the unit to the node, the CPU and the frames dropped
//   (diffusion_bench.cpp).
#include "bench_run.h"
#include "stream/stream_format.h"
#include "app/principale.h"
#include "carte/carte_acoustique.h"
#include "spectre/spectre_acoustique.h"
#include "platform/dialogs.h"
#include "simulated_unit.h"
#include "camera/live_camera.h"
#include "camera/simulated_camera.h"
#include "platform/multimedia.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QFrame>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

using SonivarACQ32::Principale;
using namespace bench_run;

namespace {

class FixedDialogs : public SonivarACQ32::platform::Dialogs {
public:
    void alert(QWidget*, const QString& title, const QString& text) override
    {
        std::fprintf(stderr, "alert: %s %s\n", qPrintable(title), qPrintable(text));
    }
    QString save_file(QWidget*, const QString&, const QString&) override { return path; }
    // The runs reuse one name: the companions of the previous one go.
    bool question(QWidget*, const QString&, const QString&) override { return true; }
    QString path;
};

// ------------------------------------------------------------ bare reader
struct Bare {
    std::FILE* file = nullptr;
    std::uint64_t bytes = 0;
    int pending = 0;
    bool done = false;
    std::vector<libusb_transfer*> transfers;
};

void LIBUSB_CALL bare_callback(libusb_transfer* t)
{
    auto* bare = static_cast<Bare*>(t->user_data);
    --bare->pending;
    if (t->status != LIBUSB_TRANSFER_COMPLETED) {
        bare->done = true;
        return;
    }
    bare->bytes += std::fwrite(t->buffer, 1, t->actual_length, bare->file);
    if (t->actual_length < t->length) {
        bare->done = true;
        for (libusb_transfer* other : bare->transfers)
            if (other != t)
                libusb_cancel_transfer(other);
        return;
    }
    if (!bare->done && libusb_submit_transfer(t) == 0)
        ++bare->pending;
}

// The unit is already programmed by the window (channels, clock, count).
// With `zero_copy`, the buffers come from the system's zero-copy memory as
// the program's do (plain memory where it is refused).
std::uint64_t bare_read(Principale& w, const QString& path, bool zero_copy)
{
    Bare bare;
    bare.file = std::fopen(QFile::encodeName(path).constData(), "wb");
    std::vector<unsigned char*> buffers;
    std::vector<bool> mapped;
    for (int i = 0; i < 8; ++i) {
        auto* t = libusb_alloc_transfer(0);
        auto* b = zero_copy ? libusb_dev_mem_alloc(w.handle, SonivarACQ32::stream::packet_bytes) : nullptr;
        mapped.push_back(b != nullptr);
        if (b == nullptr)
            b = new unsigned char[SonivarACQ32::stream::packet_bytes];
        libusb_fill_bulk_transfer(t, w.handle, 0x81, b, SonivarACQ32::stream::packet_bytes,
                                  bare_callback, &bare, 5000);
        bare.transfers.push_back(t);
        buffers.push_back(b);
    }
    for (auto* t : bare.transfers)
        if (libusb_submit_transfer(t) == 0)
            ++bare.pending;
    w.buf[0] = 0x02;
    w.buf[1] = 0x00;
    w.commande(1);
    timeval tv{0, 100000};
    while (bare.pending > 0)
        libusb_handle_events_timeout_completed(nullptr, &tv, nullptr);
    std::fclose(bare.file);
    for (int i = 0; i < 8; ++i) {
        libusb_free_transfer(bare.transfers[i]);
        if (mapped[i])
            libusb_dev_mem_free(w.handle, buffers[i], SonivarACQ32::stream::packet_bytes);
        else
            delete[] buffers[i];
    }
    return bare.bytes;
}

// ----------------------------------------------------------- measurements
// The program's recorded run, from the sizing to the closed files (the
// channel settings and their 300 ms settle come first, untimed): MB/s.
double program_run(Principale& w)
{
    w.run_active = true;
    if (!w.prepare_run())
        return 0.0;
    const double t0 = now_s();
    w.size_run();
    w.launch_run();
    w.run_begins();
    w.run_loop();
    w.end_of_run();
    w.run_active = false;
    return Principale::ntw / 1e6 / (now_s() - t0);
}

// Like against like: the program and the bare reader in the same memory,
// plain, then zero-copy.
void throughput(Principale& w, sim::SimulatedUnit& unit, FixedDialogs& dialogs, int reps)
{
    unit.set_paced(false);
    all_microphones(w, false);
    choose(w, 0, 30.0, true);
    w.checkBox_Record->setChecked(true);
    const QString program_path = QDir::temp().filePath(QStringLiteral("bench_program.dat"));
    const QString bare_path = QDir::temp().filePath(QStringLiteral("bench_bare.dat"));
    dialogs.path = program_path;
    auto median = [](std::vector<double> v) {
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
    };
    for (const bool zero_copy : {false, true}) {
        unit.set_zero_copy(zero_copy);
        const char* memory = zero_copy ? "zero-copy memory" : "plain memory";
        std::vector<double> program, bare, ratio;
        for (int r = 0; r < reps; ++r) {
            const double mbp = program_run(w);
            // The same settings for the bare reader: the window programs them.
            w.choix_micros();
            w.calcul_count();
            const double t0 = now_s();
            const std::uint64_t bytes = bare_read(w, bare_path, zero_copy);
            const double mbb = bytes / 1e6 / (now_s() - t0);
            std::printf("  %s, run %d: program %.1f MB/s (%llu bytes), bare %.1f MB/s (%llu bytes)\n", memory,
                        r + 1, mbp, static_cast<unsigned long long>(Principale::ntw), mbb,
                        static_cast<unsigned long long>(bytes));
            program.push_back(mbp);
            bare.push_back(mbb);
            ratio.push_back(mbp / mbb);
            QFile::remove(program_path);
            QFile::remove(bare_path);
        }
        std::printf("throughput, %s: program %.1f MB/s, bare reader %.1f MB/s, ratio %.2f (medians of %d)\n",
                    memory, median(program), median(bare), median(ratio), reps);
    }
    unit.set_zero_copy(true);
}

// How long after the run's start the first level colour and the first map
// show, polled once per pass of window-event processing.
struct FirstShow {
    explicit FirstShow(Principale& w) : w(w), maps_before(w.carte != nullptr ? w.carte->cartes : 0)
    {
        timer.setInterval(0);
        QObject::connect(&timer, &QTimer::timeout, [this] { poll(); });
        timer.start();
    }
    void poll()
    {
        if (!this->w.run_active || this->w.button_Stop->isHidden())
            return;
        const double t = now_s();
        if (start == 0)
            start = t;
        const QFrame* cell = this->w.grid_n[0][0];
        if (colours < 0 && cell->palette().color(QPalette::Window).rgb() != qRgb(255, 255, 255))
            colours = t - start;
        if (map < 0 && this->w.carte != nullptr && this->w.carte->cartes > maps_before)
            map = t - start;
        if (colours >= 0 && map >= 0 && stop_when_seen) {
            stop_when_seen = false;
            this->w.button_Stop->click();
        }
    }
    Principale& w;
    std::uint64_t maps_before;
    QTimer timer;
    double start = 0, colours = -1, map = -1;
    bool stop_when_seen = true;
};

void trigger_wait(Principale& w)
{
    w.checkBox_Record->setChecked(false);
    all_microphones(w, false);
    choose(w, 0, 1.0, true);
    w.radioButton_Start_Trig1->setChecked(true);
    double c0 = 0, t0 = 0, cpu = 0, wall = 0;
    QTimer::singleShot(0, [&] { c0 = thread_cpu_s(); t0 = now_s(); });
    QTimer::singleShot(10000, [&] {
        cpu = thread_cpu_s() - c0;
        wall = now_s() - t0;
        w.button_Abort->click();
    });
    w.button_Start->click();
    std::printf("trigger wait: %.1f s, window thread CPU %.2f %% of one core\n", wall,
                100.0 * cpu / wall);
    w.radioButton_Start_Soft->setChecked(true);
}

// Advanced mode writes a few characters per packet into the pane for as long
// as the run lasts: the CPU per minute must stay flat.
void soak(Principale& w, sim::SimulatedUnit& unit, int minutes)
{
    unit.set_paced(true);
    w.checkBox_Record->setChecked(false);
    all_microphones(w, false);
    w.checkBox_Test->setChecked(true);
    choose(w, 0, 1.0, false);
    std::vector<double> per_minute;
    double c0 = 0, t0 = 0;
    QTimer minute;
    minute.setInterval(60000);
    QObject::connect(&minute, &QTimer::timeout, [&] {
        const double c = thread_cpu_s(), t = now_s();
        per_minute.push_back(100.0 * (c - c0) / (t - t0));
        std::printf("  minute %zu: window thread CPU %.2f %% of one core, pane %lld characters\n",
                    per_minute.size(), per_minute.back(),
                    static_cast<long long>(Principale::own.pane_text.size()));
        std::fflush(stdout);
        c0 = c;
        t0 = t;
        if (static_cast<int>(per_minute.size()) == minutes)
            w.button_Stop->click();
    });
    QTimer::singleShot(0, [&] {
        c0 = thread_cpu_s();
        t0 = now_s();
        minute.start();
    });
    w.button_Start->click();
    if (per_minute.size() < 2)
        return;
    std::printf("soak: %zu minutes, first %.2f %%, last %.2f %%, difference %+.2f %% of one core\n",
                per_minute.size(), per_minute.front(), per_minute.back(),
                per_minute.back() - per_minute.front());
}

// Each method of the map during a paced, recorded run: the maps it keeps
// up with, and the recording whole whatever the method.
void every_method_recorded(Principale& w, FixedDialogs& dialogs)
{
    namespace am = SonivarACQ32::acoustic_map;
    dialogs.path = QDir::temp().filePath(QStringLiteral("bench_methods.dat"));
    w.checkBox_Record->setChecked(true);
    choose(w, 0, 10.0, true);
    for (std::size_t i = 0; i < am::all_methods().size(); ++i) {
        w.carte->set_methode(static_cast<int>(i));
        map_caught_up(w);
        const std::uint64_t maps = w.carte->cartes, skipped = w.carte->paquets_sautes;
        const std::string label = "paced, 34 channels at 50 kHz, recorded, map open, " +
                                  am::method_name(am::all_methods()[i]);
        paced_run(w, label.c_str(), true);
        map_caught_up(w);  // the last packet's map comes after the run's end
        const std::uint64_t packets = (Principale::ntr + SonivarACQ32::stream::packet_bytes - 1) /
                                      SonivarACQ32::stream::packet_bytes;
        std::printf("  maps: %llu (%.1f a second), skipped: %llu, for %llu packets; file %lld of %llu bytes received\n",
                    static_cast<unsigned long long>(w.carte->cartes - maps), (w.carte->cartes - maps) / 10.0,
                    static_cast<unsigned long long>(w.carte->paquets_sautes - skipped),
                    static_cast<unsigned long long>(packets), static_cast<long long>(QFileInfo(dialogs.path).size()),
                    static_cast<unsigned long long>(Principale::ntr));
        QFile::remove(dialogs.path);
    }
    w.carte->set_methode(0);
    // The spectrum beside the map: both one update per packet.
    w.button_Spectre->click();
    map_caught_up(w);
    const std::uint64_t maps = w.carte->cartes, spectra = w.spectre->spectres;
    const std::uint64_t pieces_before = Principale::own.feed.pieces;  // the spectrum was not open then
    paced_run(w, "paced, 34 channels at 50 kHz, recorded, map and spectrum open", true);
    map_caught_up(w);
    const double limit = now_s() + 60.0;
    while (w.spectre->spectres + w.spectre->paquets_sautes < Principale::own.feed.pieces - pieces_before &&
           now_s() < limit)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    std::printf("  maps: %llu, spectra: %llu, for %llu packets; file %lld of %llu bytes received\n",
                static_cast<unsigned long long>(w.carte->cartes - maps),
                static_cast<unsigned long long>(w.spectre->spectres - spectra),
                static_cast<unsigned long long>((Principale::ntr + SonivarACQ32::stream::packet_bytes - 1) /
                                                SonivarACQ32::stream::packet_bytes),
                static_cast<long long>(QFileInfo(dialogs.path).size()), static_cast<unsigned long long>(Principale::ntr));
    QFile::remove(dialogs.path);
    w.spectre->close();
    w.checkBox_Record->setChecked(false);
    choose(w, 0, 20.0, true);
}

// 20 s paced at the top rate, no recording, no live window.
void paced_top_rate(Principale& w, sim::SimulatedUnit& unit)
{
    unit.set_paced(true);
    w.checkBox_Record->setChecked(false);
    all_microphones(w, true);
    choose(w, 0, 20.0, true);
    paced_run(w, "paced, 34 channels at 50 kHz", true);
}

void window_thread(Principale& w, sim::SimulatedUnit& unit)
{
    paced_top_rate(w, unit);
    w.button_Carte->click();
    paced_run(w, "paced, 34 channels at 50 kHz, map open", true);
    w.button_Spectre->click();
    paced_run(w, "paced, 34 channels at 50 kHz, map and spectrum open", true);
    // A webcam's 640 x 480 pictures at 25 a second under the map.
    sim::camera::SimulatedCamera camera(unit);
    const double limit = now_s() + 10.0;
    while (w.carte->comboBox_Camera->count() < 2 && now_s() < limit)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    w.carte->choisit_camera(QStringLiteral("Caméra de scène (simulée)"));
    const std::uint64_t pictures = w.carte->camera() != nullptr ? w.carte->camera()->pictures : 0;
    paced_run(w, "paced, 34 channels at 50 kHz, map, spectrum and camera open", true);
    const auto* live = w.carte->camera();
    std::printf("  camera pictures shown: %llu in 20 s (%.1f a second), left out: %llu\n",
                static_cast<unsigned long long>(live != nullptr ? live->pictures - pictures : 0),
                live != nullptr ? (live->pictures - pictures) / 20.0 : 0.0,
                static_cast<unsigned long long>(live != nullptr ? live->left_out : 0));
    w.carte->choisit_camera(QStringLiteral("Aucune"));
    w.spectre->close();
    w.carte->close();
}

} // namespace

int main(int argc, char** argv)
{
    const char* preload = std::getenv("LD_PRELOAD");
    if (preload == nullptr || std::strstr(preload, "umockdev") == nullptr) {
        setenv("LD_PRELOAD", SONIVAR_ZERO_COPY_PRELOAD ":libumockdev-preload.so.0", 1);
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
        execv("/proc/self/exe", argv);
        std::perror("execv");
        return 1;
    }
    std::setvbuf(stdout, nullptr, _IOLBF, 0);  // each figure as soon as it is measured
    const bool soak_only = argc > 2 && std::strcmp(argv[1], "--soak") == 0;
    const bool video_only = argc > 1 && std::strcmp(argv[1], "--video") == 0;
    const bool throughput_only = argc > 1 && std::strcmp(argv[1], "--throughput") == 0;
    const bool window_only = argc > 1 && std::strcmp(argv[1], "--window") == 0;
    const bool diffusion_only = argc > 1 && std::strcmp(argv[1], "--diffusion") == 0;
    const int reps = argc > 1 && !soak_only && !video_only && !throughput_only && !window_only && !diffusion_only
                         ? std::max(1, std::atoi(argv[1]))
                         : 3;
    SonivarACQ32::platform::prepare_multimedia();
    QApplication app(argc, argv);
    FixedDialogs dialogs;
    SonivarACQ32::platform::dialogs_seam().install(&dialogs);
    sim::SimulatedUnit unit;
    Principale w;
    w.button_Init->click();
    if (!w.initialisation) {
        std::fprintf(stderr, "the simulated unit did not initialise\n");
        return 1;
    }

    if (soak_only) {
        soak(w, unit, std::max(2, std::atoi(argv[2])));
        SonivarACQ32::platform::dialogs_seam().restore();
        return 0;
    }
    if (window_only) {
        window_thread(w, unit);
        SonivarACQ32::platform::dialogs_seam().restore();
        return 0;
    }
    if (diffusion_only) {
        diffusion(w, unit, argc > 2 ? std::max(5.0, std::atof(argv[2])) : 60.0);
        SonivarACQ32::platform::dialogs_seam().restore();
        return 0;
    }
    if (video_only) {
        video_rate(w, unit);
        SonivarACQ32::platform::dialogs_seam().restore();
        return 0;
    }
    throughput(w, unit, dialogs, reps);
    if (throughput_only) {
        SonivarACQ32::platform::dialogs_seam().restore();
        return 0;
    }

    paced_top_rate(w, unit);
    // The same with the acoustic map open: one map per packet.
    w.button_Carte->click();
    const std::uint64_t maps_before = w.carte->cartes;
    paced_run(w, "paced, 34 channels at 50 kHz, map open", true);
    std::printf("  maps: %llu for %llu packets\n",
                static_cast<unsigned long long>(w.carte->cartes - maps_before),
                static_cast<unsigned long long>((Principale::ntr + SonivarACQ32::stream::packet_bytes - 1) /
                                                SonivarACQ32::stream::packet_bytes));
    // The finest grid the window allows: the maps fall behind, the packets
    // they have not begun are skipped, the acquisition is not slowed.
    w.carte->numericUpDown_Pas->setValue(0.005);
    const std::uint64_t finest_before = w.carte->cartes;
    const std::uint64_t skipped_before = w.carte->paquets_sautes;
    paced_run(w, "paced, 34 channels at 50 kHz, map open at the finest grid (401 x 401)", true);
    std::printf("  maps: %llu, skipped: %llu, for %llu packets\n",
                static_cast<unsigned long long>(w.carte->cartes - finest_before),
                static_cast<unsigned long long>(w.carte->paquets_sautes - skipped_before),
                static_cast<unsigned long long>((Principale::ntr + SonivarACQ32::stream::packet_bytes - 1) /
                                                SonivarACQ32::stream::packet_bytes));
    w.carte->numericUpDown_Pas->setValue(0.05);
    every_method_recorded(w, dialogs);
    w.carte->close();
    video_rate(w, unit);

    one_microphone(w);
    choose(w, 16, 10.0, true);
    paced_run(w, "paced, 2 channels at 2 kHz", false);

    // Two microphones at 2 kHz, map open: a transfer takes 43 s to fill.
    w.grid[2][3]->click();
    w.button_Carte->click();
    w.carte->set_frequence(500.0);
    w.checkBox_Definie->setChecked(false);
    {
        FirstShow first(w);
        w.button_Start->click();
        std::printf("paced, 2 microphones at 2 kHz, map open: first level colours after %.2f s, "
                    "first map after %.2f s\n", first.colours, first.map);
    }
    w.carte->close();

    trigger_wait(w);
    SonivarACQ32::platform::dialogs_seam().restore();
    return 0;
}
