// The selection sent to the simulated unit at a start, and the bookkeeping
// the stream and the header record take from it.
#include "window_harness.h"
#include "app/principale.h"
#include "platform/clock.h"
#include "recording/header_record.h"

#include <gtest/gtest.h>

#include <QCheckBox>

#include <cstdint>
#include <vector>

using SonivarACQ32::Principale;
using SonivarACQ32::header_file;
using Bytes = std::vector<std::uint8_t>;

namespace {

class Activation : public testsupport::FastClockTest {
protected:
    void SetUp() override
    {
        w.button_Reset_FX3_Click();
        w.button_Reset_Micros_Click();
        ASSERT_TRUE(w.initialisation_FX3);
        // The panel as an initialisation leaves it: every group usable.
        h.enable_panel();
        unit.clear_requests();
    }

    // The data bytes of the five activation messages, which must be the only
    // requests sent.
    std::vector<Bytes> activation_messages() const
    {
        std::vector<Bytes> out;
        for (const auto& r : unit.requests()) {
            EXPECT_EQ(r.request, 0xB3);
            out.push_back(r.data);
        }
        return out;
    }

    void run_activation()
    {
        unit.clear_requests();
        const std::uint32_t before = SonivarACQ32::platform::tick_count();
        w.choix_micros();
        EXPECT_GE(SonivarACQ32::platform::tick_count() - before, 300u);
    }
};

TEST_F(Activation, EverythingWithTheCounterAsAfterStartUp)
{
    run_activation();
    EXPECT_EQ(activation_messages(),
              (std::vector<Bytes>{{5, 0, 0, 0xFF}, {5, 0, 1, 0xFF}, {5, 0, 2, 0xFF},
                                  {5, 0, 3, 0xFF}, {5, 0, 255, 0x80}}));
    EXPECT_EQ(w.nb_micros, 32);
    EXPECT_EQ(Principale::nb_voies, 33);
    EXPECT_TRUE(Principale::compteur);
    for (int m = 0; m < 32; ++m) {
        EXPECT_EQ(w.num_mic_valid[m], m);
        EXPECT_EQ(header_file.micros_actifs[m], 1) << m;
    }
    EXPECT_EQ(header_file.micros_actifs[32], 0);
    EXPECT_EQ(header_file.compteurs_actifs[0], 1);
}

TEST_F(Activation, OneMicrophoneOfBeamTwoAfterAFullRun)
{
    run_activation();
    // The operator clears everything, then ticks microphone 3 of beam 2.
    w.paq_T->click();
    w.grid[2][3]->click();
    ASSERT_FALSE(w.grid[0][0]->isChecked());
    ASSERT_TRUE(w.grid[2][3]->isChecked());

    run_activation();
    EXPECT_EQ(activation_messages(),
              (std::vector<Bytes>{{5, 0, 0, 0x00}, {5, 0, 1, 0x00}, {5, 0, 2, 0x08},
                                  {5, 0, 3, 0x00}, {5, 0, 255, 0x80}}));
    EXPECT_EQ(w.nb_micros, 1);
    EXPECT_EQ(w.num_mic_valid[0], 19);
    EXPECT_EQ(Principale::nb_voies, 2);
    // The earlier run's flags are gone from the header's map.
    for (int m = 0; m < 32; ++m)
        EXPECT_EQ(header_file.micros_actifs[m], m == 19 ? 1 : 0) << m;
}

TEST_F(Activation, StatusChannelWithoutTheCounter)
{
    w.checkBox_Test->setChecked(true);
    w.checkBox_Compteur->setChecked(false);
    w.checkBox_Status->setChecked(true);
    run_activation();
    const auto messages = activation_messages();
    ASSERT_EQ(messages.size(), 5u);
    EXPECT_EQ(messages[4], (Bytes{5, 0, 255, 0x40}));
    EXPECT_FALSE(Principale::compteur);
    EXPECT_EQ(header_file.compteurs_actifs[0], 0);
    EXPECT_EQ(Principale::nb_voies, 33);
}

} // namespace
