// Choosing a frequency, the delay and the sample count, against the
// simulated unit.
#include "window_harness.h"
#include "app/format.h"
#include "app/principale.h"
#include "platform/clock.h"
#include "recording/header_record.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QListWidget>

#include <cstdint>
#include <vector>

using SonivarACQ32::Principale;
namespace fmt = SonivarACQ32::fmt;

namespace {

using Requests = std::vector<sim::Request>;

// Every entry of the frequency list as the unit's documentation gives it,
// and what the unit must be sent for it.
struct Entry {
    int index;
    std::uint8_t division;  // FREQ - 1
    std::uint8_t delay;
    double frequency;       // Hz
};

const Entry entries[] = {
    {0, 9, 10, 50000},   {1, 10, 9, 45454},   {2, 11, 9, 41666},   {3, 12, 9, 38461},
    {4, 13, 9, 35714},   {5, 14, 9, 33333},   {6, 15, 9, 31250},   {7, 19, 8, 25000},
    {8, 24, 8, 20000},   {9, 39, 7, 12500},   {10, 49, 7, 10000},  {11, 79, 7, 6250},
    {12, 99, 7, 5000},   {13, 124, 7, 4000},  {14, 159, 7, 3125},  {15, 199, 7, 2500},
    {16, 249, 7, 2000},
};

class FrequencyChoice : public testsupport::FastClockTest {
protected:
    void SetUp() override
    {
        // An initialised unit without the presence test: link, then B0/00.
        w.button_Reset_FX3_Click();
        w.button_Reset_Micros_Click();
        ASSERT_TRUE(w.initialisation);
        unit.clear_requests();
        Principale::own.pane_text.clear();
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
};

TEST_F(FrequencyChoice, ShownEntrySendsDivisionAndDelayReportsAndBoundsTheDuration)
{
    for (const Entry& e : entries) {
        SCOPED_TRACE(e.index);
        unit.clear_requests();
        Principale::own.pane_text.clear();
        // Highlight another entry: the one shown is the one chosen.
        w.listBox_Freq->setCurrentRow(e.index == 3 ? 4 : 3);
        const std::uint32_t before = SonivarACQ32::platform::tick_count();
        click_shown(e.index);

        EXPECT_EQ(unit.requests(), (Requests{{0xB1, {1, e.division}}, {0xB1, {7, e.delay}}}));
        EXPECT_GE(SonivarACQ32::platform::tick_count() - before, 500u);
        EXPECT_EQ(w.num_freq, e.index);
        EXPECT_TRUE(w.listBox_Freq->selectedItems().isEmpty());
        EXPECT_EQ(w.frequence, e.frequency);
        EXPECT_EQ(SonivarACQ32::header_file.freq, e.frequency);
        EXPECT_EQ(Principale::own.pane_text, report_for(e.frequency));
        EXPECT_TRUE(w.clock_def);
        EXPECT_FALSE(w.count_def);

        // The box holds one decimal: its maximum is the longest duration
        // rounded to a tenth.
        const double longest = longest_for(e.frequency);
        const double tenth_rounding = 0.05 + 1e-6;
        EXPECT_NEAR(w.numericUpDown_Duree->maximum(), longest, tenth_rounding);
        w.numericUpDown_Duree->setValue(longest * 2);
        EXPECT_LE(w.numericUpDown_Duree->value(), longest + tenth_rounding);
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
    EXPECT_EQ(unit.requests(), (Requests{{0xB1, {7, 16}}}));
    EXPECT_EQ(Principale::own.pane_text, QStringLiteral("N_DELAY : 16  \r\n"));

    unit.clear_requests();
    Principale::own.pane_text.clear();
    click_shown(2);
    EXPECT_EQ(unit.requests(), (Requests{{0xB1, {1, 11}}, {0xB1, {7, 16}}}));
    // The division message has no line end: the report follows on its line.
    EXPECT_EQ(Principale::own.pane_text, QStringLiteral("Clock division : 11.  ") +
                                         report_for(41666) + QStringLiteral("N_DELAY : 16  \r\n"));
}

TEST_F(FrequencyChoice, SampleCountFollowsTheDurationAndTheFixedDurationBox)
{
    // The clock is not programmed since the reset: it goes first.
    scroll_to(1);
    w.checkBox_Definie->setChecked(true);
    w.numericUpDown_Duree->setValue(2.5);
    w.calcul_count();
    EXPECT_EQ(unit.requests(), (Requests{{0xB1, {1, 10}},
                                             {0xB1, {7, 9}},
                                             {0xB4, {4, 0xE3, 0xBB, 0x01, 0x00}}}));
    EXPECT_EQ(w.count, 113635u);
    EXPECT_TRUE(w.count_def);

    // Open-ended: the count is 0, and the clock is not sent again.
    unit.clear_requests();
    w.checkBox_Definie->setChecked(false);
    w.calcul_count();
    EXPECT_EQ(unit.requests(), (Requests{{0xB4, {4, 0, 0, 0, 0}}}));
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
    EXPECT_EQ(unit.requests(), (Requests{{0xB4, {4, 0xFF, 0xFF, 0xFF, 0xFF}}}));
}

class FrequencyWithoutUnit : public testsupport::WindowTest {
protected:
    FrequencyWithoutUnit() : WindowTest({.unit_attached = false, .fast_clock = true}) {}
};

TEST_F(FrequencyWithoutUnit, FailedInitialisationSendsNothingAndKeepsTheBounds)
{
    const double maximum = w.numericUpDown_Duree->maximum();
    w.listBox_Freq_Click();
    EXPECT_EQ(w.num_freq, 0);
    EXPECT_EQ(w.frequence, 0.0f);
    EXPECT_FALSE(w.clock_def);
    EXPECT_EQ(w.numericUpDown_Duree->maximum(), maximum);
    EXPECT_TRUE(unit.requests().empty());
}

} // namespace
