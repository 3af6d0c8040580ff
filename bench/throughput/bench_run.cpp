#include "bench_run.h"

#include "carte/carte_acoustique.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDoubleSpinBox>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <sys/resource.h>

namespace bench_run {

double now_s()
{
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

double thread_cpu_s()
{
    rusage u{};
    getrusage(RUSAGE_THREAD, &u);
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

void choose(Principale& w, int list_index, double seconds, bool defined)
{
    w.listBox_Freq->verticalScrollBar()->setValue(list_index);
    w.checkBox_Definie->setChecked(defined);
    w.numericUpDown_Duree->setValue(seconds);
}

void all_microphones(Principale& w, bool status)
{
    if (!w.paq_T->isChecked())
        w.paq_T->click();
    w.checkBox_Test->setChecked(status);
    w.checkBox_Status->setChecked(status);
}

void one_microphone(Principale& w)
{
    if (w.paq_T->isChecked())
        w.paq_T->click();
    w.grid[0][0]->click();
    w.checkBox_Test->setChecked(false);
}

GapMeter::GapMeter()
{
    timer.setInterval(0);
    QObject::connect(&timer, &QTimer::timeout, [this] {
        const double t = now_s();
        if (last > 0)
            longest = std::max(longest, t - last);
        last = t;
    });
    timer.start();
}

void paced_run(Principale& w, const char* label, bool measure_cpu)
{
    GapMeter gaps;
    const double c0 = thread_cpu_s();
    const double t0 = now_s();
    w.button_Start->click();
    const double wall = now_s() - t0;
    const double cpu = thread_cpu_s() - c0;
    std::printf("%s: %.1f s, %llu bytes", label, wall, static_cast<unsigned long long>(Principale::ntr));
    if (measure_cpu)
        std::printf(", window thread CPU %.2f %% of one core", 100.0 * cpu / wall);
    std::printf(", longest gap between event passes %.1f ms\n", 1000.0 * gaps.longest);
}

void map_caught_up(Principale& w)
{
    const double limit = now_s() + 60.0;
    while (w.carte->cartes + w.carte->paquets_sautes < Principale::own.feed.pieces && now_s() < limit)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
}

} // namespace bench_run
