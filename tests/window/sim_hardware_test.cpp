// The window against a simulated unit that behaves as the hardware does:
// memory that stays flat through a long paced run, a cable pulled and put
// back at any pace, zero-copy buffers that show the trigger in place.
#include "run_test_support.h"

#include "app/format.h"
#include "simulated_unit.h"
#include "test_dialogs.h"

#include <QCheckBox>
#include <QPushButton>

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>

using SonivarACQ32::Principale;
using runtest::When;
using Clock = std::chrono::steady_clock;

namespace {

long resident_kb()
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stol(line.substr(6));
    return -1;
}

bool running(const Principale& w) { return w.run_active && !w.run.waiting && !w.button_Stop->isHidden(); }

const QString detected = QStringLiteral("Sonivar 32 détecté `\r\n\r\n");

} // namespace

// The cable comes out during a run and goes straight back in, ten times:
// each Init that follows finds the unit and passes its presence test.
TEST(SimHardware, ReplugAtOnceAfterAnUnplugTenTimes)
{
    testsupport::TestDialogs dialogs;
    sim::SimulatedUnit unit;
    Principale w;
    w.checkBox_Definie->setChecked(false);
    w.checkBox_Record->setChecked(false);
    w.button_Init->click();
    for (int i = 0; i < 10; ++i) {
        SCOPED_TRACE(i);
        unit.unplug_after(1048576 + 4000 * static_cast<unsigned>(i));
        Principale::pane_text.clear();
        w.button_Start->click();
        EXPECT_TRUE(Principale::pane_text.contains(QStringLiteral("Plus aucun transfert en cours")));
        unit.attach();
        Principale::pane_text.clear();
        w.button_Init->click();
        EXPECT_TRUE(Principale::pane_text.endsWith(detected)) << Principale::pane_text.toStdString();
    }
    EXPECT_TRUE(dialogs.alerts.empty());
}

// 20 s of paced streaming at the top rate (every channel at 50 kHz): what
// the unit and the window keep per transfer must not pile up.
TEST(SimHardware, MemoryStaysFlatThroughALongPacedRun)
{
    testsupport::TestDialogs dialogs;
    sim::SimulatedUnit unit;
    unit.set_paced(true);
    Principale w;
    w.button_Init->click();
    w.checkBox_Status->setChecked(true);
    w.checkBox_Definie->setChecked(false);
    w.checkBox_Record->setChecked(false);

    Clock::time_point begun;
    long before = 0, after = 0;
    std::uint64_t streamed = 0;
    When settle([&] { return running(w); }, [&] { begun = Clock::now(); });
    // The first seconds settle the allocators; the next twenty must not grow.
    When first([&] { return settle.fired && Clock::now() - begun > std::chrono::seconds(3); },
               [&] {
                   before = resident_kb();
                   streamed = unit.bytes_sent();
               });
    When last([&] { return first.fired && Clock::now() - begun > std::chrono::seconds(23); },
              [&] {
                  after = resident_kb();
                  streamed = unit.bytes_sent() - streamed;
                  w.button_Stop->click();
              });
    w.button_Start->click();

    ASSERT_TRUE(last.fired);
    EXPECT_GT(streamed, 20u * 1048576u);  // it did stream all along
    EXPECT_LT(after - before, 64 * 1024) << before << " kB, then " << after << " kB";
}
