// The live map at video rate: how many maps a second of stream each method
// makes at each rate down to 10 kHz (the default grid, 32 microphones and
// the counter, paced), and how long after a source jumps, on the unit's
// clock, its map shows the maximum at the new place (20 jumps per method at
// the top rate: median and worst).
#include "bench_run.h"

#include "carte/carte_acoustique.h"
#include "map/method.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDoubleSpinBox>
#include <QPushButton>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <optional>
#include <vector>

namespace bench_run {

namespace {

namespace am = SonivarACQ32::acoustic_map;

constexpr double run_s = 5.0;
constexpr int jumps = 20;
// The frequency list's entries: 50 000, 25 000, 12 500 and 10 000 Hz.
constexpr int rate_entries[] = {0, 7, 9, 10};
constexpr double rate_hz[] = {50000.0, 25000.0, 12500.0, 10000.0};

struct Place {
    double x, y;
};
constexpr Place places[] = {{0.3, -0.2}, {-0.3, 0.2}};
constexpr double source_hz = 3150.0, source_amplitude = 1.0e6;

void maps_per_second(Principale& w, std::size_t method)
{
    for (std::size_t r = 0; r < std::size(rate_entries); ++r) {
        choose(w, rate_entries[r], run_s, true);
        map_caught_up(w);
        const std::uint64_t maps = w.carte->cartes, skipped = w.carte->paquets_sautes;
        w.button_Start->click();
        map_caught_up(w);
        std::printf("  %s, %.0f Hz: %.1f maps a second of stream, %llu pieces without a map of their own\n",
                    am::method_name(am::all_methods()[method]).c_str(), rate_hz[r],
                    static_cast<double>(w.carte->cartes - maps) / run_s,
                    static_cast<unsigned long long>(w.carte->paquets_sautes - skipped));
    }
}

// One jump after another during an open-ended run: each scheduled 0.3 s
// ahead on the unit's clock, timed from the instant its first frame falls
// due to the first map on screen whose maximum is at the new place.
struct JumpTimer {
    JumpTimer(Principale& w, sim::SimulatedUnit& unit) : w(w), unit(unit)
    {
        // Through the timer, so that the connection goes with this object.
        QObject::connect(w.carte, &SonivarACQ32::CarteAcoustique::carte_montree, &tick, [this] { seen(); });
        tick.setInterval(10);
        QObject::connect(&tick, &QTimer::timeout, [this] { next(); });
        tick.start();
    }
    void next()
    {
        if (!this->w.run_active || this->w.button_Stop->isHidden())
            return;
        const auto now = std::chrono::steady_clock::now();
        if (due && now - *due < std::chrono::seconds(2))
            return;  // waiting for its map (a jump unseen after 2 s is missed)
        if (due)
            ++missed;
        if (static_cast<int>(delays.size() + missed) >= jumps) {
            this->w.button_Stop->click();
            return;
        }
        const auto start = unit.frame_due(0);
        if (!start)
            return;
        const double rate = rate_hz[0];
        const auto frame = static_cast<std::uint64_t>(std::chrono::duration<double>(now - *start).count() * rate + 0.3 * rate);
        target = places[(delays.size() + missed + 1) % 2];
        unit.move_source_at(frame, target.x, target.y, 1.0);
        due = unit.frame_due(frame);
    }
    void seen()
    {
        if (!due || std::chrono::steady_clock::now() < *due)
            return;
        if (std::abs(this->w.carte->maximum.x() - target.x) > 0.05 || std::abs(this->w.carte->maximum.y() - target.y) > 0.05)
            return;
        delays.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - *due).count());
        due.reset();
    }
    Principale& w;
    sim::SimulatedUnit& unit;
    QTimer tick;
    std::optional<std::chrono::steady_clock::time_point> due;
    Place target{};
    std::vector<double> delays;
    int missed = 0;
};

void jump_delays(Principale& w, sim::SimulatedUnit& unit, std::size_t method)
{
    unit.set_point_source(places[0].x, places[0].y, 1.0, source_hz, source_amplitude);
    choose(w, rate_entries[0], run_s, false);
    JumpTimer timer(w, unit);
    w.button_Start->click();
    map_caught_up(w);
    std::vector<double> d = timer.delays;
    std::sort(d.begin(), d.end());
    if (d.empty()) {
        std::printf("  %s: no jump seen (%d missed)\n", am::method_name(am::all_methods()[method]).c_str(), timer.missed);
        return;
    }
    std::printf("  %s: from a jump to its map %.0f ms median, %.0f ms worst, of %zu jumps (%d missed)\n",
                am::method_name(am::all_methods()[method]).c_str(), 1000.0 * d[d.size() / 2], 1000.0 * d.back(),
                d.size(), timer.missed);
}

} // namespace

void video_rate(Principale& w, sim::SimulatedUnit& unit)
{
    unit.set_paced(true);
    unit.set_point_source(places[0].x, places[0].y, 1.0, source_hz, source_amplitude);
    w.checkBox_Record->setChecked(false);
    all_microphones(w, false);
    w.button_Carte->click();
    w.carte->set_frequence(source_hz);
    std::printf("maps at video rate (window %.2f s, default grid):\n", w.carte->numericUpDown_Fenetre->value());
    for (std::size_t m = 0; m < am::all_methods().size(); ++m) {
        w.carte->set_methode(static_cast<int>(m));
        maps_per_second(w, m);
    }
    for (std::size_t m = 0; m < am::all_methods().size(); ++m) {
        w.carte->set_methode(static_cast<int>(m));
        jump_delays(w, unit, m);
    }
    w.carte->set_methode(0);
    w.carte->close();
    choose(w, 0, 20.0, true);
}

} // namespace bench_run
