// The stream as a PipeWire source, on a private sound server: a paced run at
// the top rate with pw-record reading the node, the delay from the unit to
// the node (median, worst), the CPU it costs and what was dropped.
#include "bench_run.h"
#include "diffusion/diffusion.h"
#include "pipewire_session.h"

#include <QCheckBox>
#include <QTimer>

#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>

namespace bench_run {

namespace {

double process_cpu_s()
{
    rusage use{};
    getrusage(RUSAGE_SELF, &use);
    return static_cast<double>(use.ru_utime.tv_sec + use.ru_stime.tv_sec) +
           static_cast<double>(use.ru_utime.tv_usec + use.ru_stime.tv_usec) / 1e6;
}

// A paced run of `seconds` at 50 kHz, every microphone and the counter; its
// process CPU in percent of one core.
double run_for(Principale& w, double seconds, const char* label)
{
    choose(w, 0, seconds, true);
    all_microphones(w, false);
    w.checkBox_Record->setChecked(false);
    const double c0 = process_cpu_s(), t0 = now_s();
    paced_run(w, label, true);
    return 100.0 * (process_cpu_s() - c0) / (now_s() - t0);
}

} // namespace

void diffusion(Principale& w, sim::SimulatedUnit& unit, double seconds)
{
    testsupport::PipeWireSession session;
    if (!session.ready()) {
        std::fprintf(stderr, "no PipeWire session (pipewire, wireplumber, dbus-daemon)\n");
        return;
    }
    for (const std::string& variable : session.environment())
        putenv(strdup(variable.c_str()));  // this process's own client finds the session
    unit.set_paced(true);
    const double without = run_for(w, 20.0, "paced, 33 channels at 50 kHz, no diffusion");
    w.checkBox_Diffusion->setChecked(true);
    std::unique_ptr<testsupport::Spawned> reader;
    QTimer start_reader;
    QObject::connect(&start_reader, &QTimer::timeout, [&] {
        if (reader || !w.diffusion->node().is_open())
            return;
        reader = session.start({"/usr/bin/pw-record", "--target", "sonivar-32", "--channels", "32", "--format", "f32",
                                "--rate", "48000", session.folder() + "/direct.wav"},
                               "pw-record");
    });
    start_reader.start(20);
    const double with = run_for(w, seconds, "the same, streamed to the node and recorded by pw-record");
    const auto& node = w.diffusion->node();
    std::printf("  process CPU %.1f %% of one core with the diffusion, %.1f %% without\n", with, without);
    std::printf("  delay from the unit to the node: median %d ms, 99.9 %% under %d ms, worst %d ms (%llu cycles)\n",
                node.latency().quantile_ms(0.5), node.latency().quantile_ms(0.999), node.latency().quantile_ms(1.0),
                static_cast<unsigned long long>(node.latency().count()));
    std::printf("  frames taken by the server %llu, dropped %llu, cycles that found the ring dry %llu\n",
                static_cast<unsigned long long>(node.frames_read()), static_cast<unsigned long long>(node.dropped()),
                static_cast<unsigned long long>(node.dry_cycles()));
    const auto t = node.timeliness();
    std::printf("  server cycles late (over three quanta apart) %llu, longest gap %.1f ms; longest gap between "
                "pieces written %.1f ms; backlogs dropped %llu\n",
                static_cast<unsigned long long>(t.late_cycles), t.longest_cycle_gap_ms, t.longest_write_gap_ms,
                static_cast<unsigned long long>(t.backlogs));
    if (reader) {
        reader->signal(SIGINT);
        reader->wait();
    }
}

} // namespace bench_run
