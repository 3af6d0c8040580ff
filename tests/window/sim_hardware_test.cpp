// The window against a simulated unit that behaves as the hardware does:
// memory that stays flat through a long paced run, a cable pulled and put
// back at any pace, zero-copy buffers that show the trigger in place.
#include "run_test_support.h"
#include "window_harness.h"

#include "stream/stream_format.h"

#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <fstream>

using SonivarACQ32::Principale;
using testsupport::When;
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

bool waiting_with_abort(const Principale& w) { return w.run.waiting && !w.button_Abort->isHidden(); }
bool begun(const Principale& w) { return !w.button_Stop->isHidden() && w.button_Abort->isHidden(); }

bool all_zero_copy()
{
    return std::all_of(Principale::own.buffer_is_dev_mem.begin(), Principale::own.buffer_is_dev_mem.end(),
                       [](bool b) { return b; });
}

// The frequency entry shown at the top of the list, clicked.
void choose_frequency(Principale& w, int index)
{
    w.listBox_Freq->scrollToItem(w.listBox_Freq->item(index), QAbstractItemView::PositionAtTop);
    emit w.listBox_Freq->itemClicked(w.listBox_Freq->item(index));
}

// The counter and microphone 0 of beam 0: two channels.
void only_first_microphone(Principale& w)
{
    for (auto& beam : w.grid)
        for (QCheckBox* box : beam)
            box->setChecked(box == w.grid[0][0]);
}

bool running(const Principale& w) { return w.run_active && !w.run.waiting && !w.button_Stop->isHidden(); }

// The file the next Start records into, answered by the save dialog.
struct Recorded {
    explicit Recorded(testsupport::TestDialogs& dialogs) { dialogs.answers.push_back(dat); }
    QTemporaryDir dir;
    const QString dat = dir.filePath(QStringLiteral("run.dat"));
};

const QString detected = QStringLiteral("Sonivar 32 détecté `\r\n\r\n");

} // namespace

using SimHardware = testsupport::WindowTest;

// The cable comes out during a run and goes straight back in, ten times:
// each Init that follows finds the unit and passes its presence test.
TEST_F(SimHardware, ReplugAtOnceAfterAnUnplugTenTimes)
{
    w.checkBox_Definie->setChecked(false);
    w.checkBox_Record->setChecked(false);
    w.button_Init->click();
    for (int i = 0; i < 10; ++i) {
        SCOPED_TRACE(i);
        unit.unplug_after(SonivarACQ32::stream::packet_bytes + 4000 * static_cast<unsigned>(i));
        Principale::own.pane_text.clear();
        w.button_Start->click();
        EXPECT_TRUE(Principale::own.pane_text.contains(QStringLiteral("Plus aucun transfert en cours")));
        unit.attach();
        Principale::own.pane_text.clear();
        w.button_Init->click();
        EXPECT_TRUE(Principale::own.pane_text.endsWith(detected)) << Principale::own.pane_text.toStdString();
    }
    // One loss named per run.
    ASSERT_EQ(dialogs.alerts.size(), 10u);
    for (const auto& alert : dialogs.alerts)
        EXPECT_EQ(alert.text, QStringLiteral("Alerte : Sonivar 32 déconnecté !\r\n"));
}

// A Trig1 start at the slowest stream (2 kHz, 2 channels, 16 kB/s: a
// transfer would take 65 s to fill): with zero-copy memory the trigger shows
// in buffer 0 within a packet, so the run begins within 100 ms of the input
// change, and its recording starts with the frame of the trigger.
TEST_F(SimHardware, TriggerSeenInPlaceBeginsTheRunAtOnce)
{
    Recorded run(dialogs);
    unit.set_paced(true);
    w.button_Init->click();
    choose_frequency(w, w.listBox_Freq->count() - 1);
    ASSERT_EQ(w.frequence, 2000.0);
    only_first_microphone(w);
    w.numericUpDown_Duree->setValue(1.0);
    w.radioButton_Start_Trig1->setChecked(true);
    w.radioButton_Start_FM->setChecked(true);

    Clock::time_point changed, seen;
    bool zero_copy = false;
    When rise([&] { return waiting_with_abort(w); }, [&] {
        zero_copy = all_zero_copy();
        changed = Clock::now();
        unit.set_input(1, true);
    });
    When start([&] { return rise.fired && begun(w); }, [&] { seen = Clock::now(); });
    w.button_Start->click();

    ASSERT_TRUE(start.fired);
    EXPECT_TRUE(zero_copy);
    RecordProperty("trigger_to_run_ms",
                   std::to_string(std::chrono::duration<double, std::milli>(seen - changed).count()));
    EXPECT_LT(seen - changed, std::chrono::milliseconds(100))
        << std::chrono::duration<double, std::milli>(seen - changed).count() << " ms";
    const QByteArray data = testsupport::read_all(run.dat);
    EXPECT_EQ(data.size(), 2 * 4 * 2000);
    EXPECT_EQ(testsupport::first_counter_break(data, 2), -1);  // frame 0 of the stream first, none lost
}

// A normal run records the same bytes whichever memory the transfers have.
TEST(SimHardwareMemoryKinds, RecordingIsTheSameInZeroCopyAndPlainMemory)
{
    QByteArray recorded[2];
    for (const bool zero_copy : {true, false}) {
        SCOPED_TRACE(zero_copy ? "zero-copy" : "plain");
        testsupport::WindowHarness h;
        Principale& w = *h.window;
        Recorded run(h.dialogs);
        h.unit.set_zero_copy(zero_copy);
        w.button_Init->click();
        w.numericUpDown_Duree->setValue(0.5);
        bool dev_mem = !zero_copy;
        When look([&] { return begun(w); }, [&] { dev_mem = all_zero_copy(); });
        w.button_Start->click();

        EXPECT_EQ(dev_mem, zero_copy);
        EXPECT_EQ(h.unit.zero_copy_transfers() > 0, zero_copy);
        recorded[zero_copy ? 0 : 1] = testsupport::read_all(run.dat);
        EXPECT_EQ(recorded[zero_copy ? 0 : 1].size(), 33 * 4 * 25000);
    }
    EXPECT_TRUE(recorded[0] == recorded[1]);
    EXPECT_EQ(testsupport::first_counter_break(recorded[0], 33), -1);
}

// 20 s of paced streaming at the top rate (every channel at 50 kHz): what
// the unit and the window keep per transfer must not pile up. Plain memory:
// every transfer's data then goes through umockdev.
TEST_F(SimHardware, MemoryStaysFlatThroughALongPacedRun)
{
    unit.set_paced(true);
    unit.set_zero_copy(false);
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
    EXPECT_GT(streamed, 20u * SonivarACQ32::stream::packet_bytes);  // it did stream all along
    EXPECT_LT(after - before, 64 * 1024) << before << " kB, then " << after << " kB";
}
