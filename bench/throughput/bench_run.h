#pragma once
// What the whole-run measurements share: the clocks, the panel's settings as
// an operator sets them, a paced run with its CPU and event gaps, and the
// wait for the map worker to catch up.
#include "app/principale.h"
#include "simulated_unit.h"

#include <QTimer>

namespace bench_run {

using SonivarACQ32::Principale;

double now_s();
// CPU seconds of the calling thread (the window's thread).
double thread_cpu_s();

void choose(Principale& w, int list_index, double seconds, bool defined);
void all_microphones(Principale& w, bool status);
void one_microphone(Principale& w);

// Longest gap between two passes of window-event processing: a zero timer
// fires once per pass.
struct GapMeter {
    GapMeter();
    QTimer timer;
    double last = 0;
    double longest = 0;
};

// Clicks Start and prints the run's time, bytes, the window thread's CPU
// (when asked) and the longest gap between event passes.
void paced_run(Principale& w, const char* label, bool measure_cpu);

// The map worker has had every piece handed to it: mapped or skipped.
void map_caught_up(Principale& w);

// Maps at video rate (video_rate.cpp): maps per second of stream for each
// method and rate, and the delay from a source's jump to its map on screen.
void video_rate(Principale& w, sim::SimulatedUnit& unit);

// The stream as a PipeWire source (diffusion_bench.cpp): a paced top-rate
// run of `seconds` read by pw-record on a private server.
void diffusion(Principale& w, sim::SimulatedUnit& unit, double seconds);

} // namespace bench_run
