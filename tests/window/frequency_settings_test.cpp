// Choosing a frequency, the delay and the sample count, against the
// simulated unit.
#include "app/format.h"
#include "app/principale.h"
#include "platform/clock.h"
#include "recording/header_record.h"
#include "simulated_unit.h"
#include "test_dialogs.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QListWidget>

#include <cstdint>
#include <vector>

using SonivarACQ32::Principale;
namespace fmt = SonivarACQ32::fmt;
using Bytes = std::vector<std::uint8_t>;

namespace {

struct Sent {
    std::uint8_t request;
    Bytes data;
    bool operator==(const Sent&) const = default;
};

std::vector<Sent> sent(const sim::SimulatedUnit& unit)
{
    std::vector<Sent> out;
    for (const auto& r : unit.requests())
        out.push_back({r.request, r.data});
    return out;
}

void PrintTo(const Sent& s, std::ostream* os)
{
    *os << std::hex << "0x" << int(s.request) << " [";
    for (auto b : s.data)
        *os << ' ' << int(b);
    *os << " ]";
}

// Frequency list entries as the operator sees them, and what the unit must
// be sent for them.
struct Entry {
    int index;
    std::uint8_t division;  // FREQ - 1
    std::uint8_t delay;
    double frequency;       // Hz
};

const Entry entries[] = {{0, 9, 10, 50000}, {2, 11, 9, 41666}, {7, 19, 8, 25000},
                         {16, 249, 7, 2000}};

class FrequencyChoice : public testing::Test {
protected:
    void SetUp() override
    {
        SonivarACQ32::platform::set_clock(&clock);
        fmt::set_locale(QLocale(QLocale::French));
        // An initialised unit without the presence test: link, then B0/00.
        w.button_Reset_FX3_Click();
        w.button_Reset_Micros_Click();
        ASSERT_TRUE(w.initialisation);
        unit.clear_requests();
        Principale::pane_text.clear();
    }
    void TearDown() override
    {
        SonivarACQ32::platform::set_clock(nullptr);
        fmt::reset_locale();
    }

    // The operator scrolls entry `index` into the list's one line and
    // clicks it, while another entry may be highlighted.
    void scroll_to(int index)
    {
        w.listBox_Freq->scrollToItem(w.listBox_Freq->item(index),
                                     QAbstractItemView::PositionAtTop);
    }
    void click_shown(int index)
    {
        scroll_to(index);
        emit w.listBox_Freq->itemClicked(w.listBox_Freq->item(index));
    }

    // The longest duration is kept as a float: 2 147 483.75 s at 2 000 Hz.
    static double longest_for(double frequency)
    {
        return static_cast<float>(4294967296.0 / frequency);
    }
    static QString report_for(double frequency)
    {
        const QLocale fr(QLocale::French);
        return QStringLiteral("Fréquence : %1 Hz.  Durée max d'acquisition (si le disque le "
                              "supporte) : %2 s \r\n")
            .arg(fr.toString(frequency, 'f', 0), fr.toString(longest_for(frequency), 'f', 1));
    }

    SonivarACQ32::platform::FastClock clock;
    testsupport::TestDialogs dialogs;
    sim::SimulatedUnit unit;
    Principale w;
};

TEST_F(FrequencyChoice, ShownEntrySendsDivisionAndDelayReportsAndBoundsTheDuration)
{
    for (const Entry& e : entries) {
        SCOPED_TRACE(e.index);
        unit.clear_requests();
        Principale::pane_text.clear();
        // Highlight another entry: the one shown is the one chosen.
        w.listBox_Freq->setCurrentRow(e.index == 3 ? 4 : 3);
        const std::uint32_t before = SonivarACQ32::platform::tick_count();
        click_shown(e.index);

        EXPECT_EQ(sent(unit), (std::vector<Sent>{{0xB1, {1, e.division}}, {0xB1, {7, e.delay}}}));
        EXPECT_GE(SonivarACQ32::platform::tick_count() - before, 500u);
        EXPECT_EQ(w.num_freq, e.index);
        EXPECT_TRUE(w.listBox_Freq->selectedItems().isEmpty());
        EXPECT_EQ(w.frequence, e.frequency);
        EXPECT_EQ(SonivarACQ32::header_file.freq, e.frequency);
        EXPECT_EQ(Principale::pane_text, report_for(e.frequency));
        EXPECT_TRUE(w.clock_def);
        EXPECT_FALSE(w.count_def);

        const double longest = longest_for(e.frequency);
        EXPECT_NEAR(w.numericUpDown_Duree->maximum(), longest, 0.05);
        w.numericUpDown_Duree->setValue(longest * 2);
        EXPECT_LE(w.numericUpDown_Duree->value(), longest + 0.05);
        EXPECT_GT(w.numericUpDown_Duree->value(), longest - 0.1);
    }
}

TEST_F(FrequencyChoice, ScrollingWithoutAClickSendsNothing)
{
    click_shown(0);
    unit.clear_requests();
    scroll_to(5);
    EXPECT_TRUE(unit.requests().empty());
    EXPECT_EQ(w.num_freq, 0);
    EXPECT_EQ(w.list_top_index(), 5);
}

TEST_F(FrequencyChoice, AdvancedModeDelayReplacesTheTableValue)
{
    w.checkBox_Test->setChecked(true);
    w.numericUpDown_Delay->setValue(16);
    EXPECT_EQ(sent(unit), (std::vector<Sent>{{0xB1, {7, 16}}}));
    EXPECT_EQ(Principale::pane_text, QStringLiteral("N_DELAY : 16  \r\n"));

    unit.clear_requests();
    Principale::pane_text.clear();
    click_shown(2);
    EXPECT_EQ(sent(unit), (std::vector<Sent>{{0xB1, {1, 11}}, {0xB1, {7, 16}}}));
    // The division message has no line end: the report follows on its line.
    EXPECT_EQ(Principale::pane_text, QStringLiteral("Clock division : 11.  ") +
                                         report_for(41666) + QStringLiteral("N_DELAY : 16  \r\n"));
}

TEST_F(FrequencyChoice, SampleCountFollowsTheDurationAndTheFixedDurationBox)
{
    // The clock is not programmed since the reset: it goes first.
    scroll_to(1);
    w.checkBox_Definie->setChecked(true);
    w.numericUpDown_Duree->setValue(2.5);
    w.calcul_count();
    EXPECT_EQ(sent(unit), (std::vector<Sent>{{0xB1, {1, 10}},
                                             {0xB1, {7, 9}},
                                             {0xB4, {4, 0xE3, 0xBB, 0x01, 0x00}}}));
    EXPECT_EQ(w.count, 113635u);
    EXPECT_TRUE(w.count_def);

    // Open-ended: the count is 0, and the clock is not sent again.
    unit.clear_requests();
    w.checkBox_Definie->setChecked(false);
    w.calcul_count();
    EXPECT_EQ(sent(unit), (std::vector<Sent>{{0xB4, {4, 0, 0, 0, 0}}}));
    EXPECT_EQ(w.count, 0u);
}

TEST_F(FrequencyChoice, LongestDurationAtTheSlowestClockIsNotCutShort)
{
    click_shown(16);
    w.checkBox_Definie->setChecked(true);
    w.numericUpDown_Duree->setValue(w.numericUpDown_Duree->maximum());
    unit.clear_requests();
    w.calcul_count();
    // 2 147 483.75 s at 2 000 Hz is 2^32 samples: the largest count is sent.
    EXPECT_EQ(sent(unit), (std::vector<Sent>{{0xB4, {4, 0xFF, 0xFF, 0xFF, 0xFF}}}));
}

TEST(FrequencyWithoutUnit, FailedInitialisationSendsNothingAndKeepsTheBounds)
{
    SonivarACQ32::platform::FastClock clock;
    SonivarACQ32::platform::set_clock(&clock);
    testsupport::TestDialogs dialogs;
    sim::SimulatedUnit unit(false);
    Principale w;
    const double maximum = w.numericUpDown_Duree->maximum();
    w.listBox_Freq_Click();
    EXPECT_EQ(w.num_freq, 0);
    EXPECT_EQ(w.frequence, 0.0f);
    EXPECT_FALSE(w.clock_def);
    EXPECT_EQ(w.numericUpDown_Duree->maximum(), maximum);
    EXPECT_TRUE(unit.requests().empty());
    SonivarACQ32::platform::set_clock(nullptr);
}

} // namespace
