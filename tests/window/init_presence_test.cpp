// The Init button on a unit that is absent, answering, or failing its
// presence test (255 samples of beam 0 must come back as 8160 bytes).
#include "window_harness.h"
#include "stream/stream_format.h"
#include "app/format.h"
#include "app/principale.h"
#include "platform/clock.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QPushButton>

#include <functional>
#include <ostream>
#include <string>
#include <vector>

using SonivarACQ32::Principale;
namespace fmt = SonivarACQ32::fmt;

namespace {

const QString alerte_absent = QStringLiteral("Alerte : Pas de détection de Sonivar !\r\n");
const QString alerte_muet = QStringLiteral("Alerte : Sonivar 32 ne répond pas ! \r\n");
const QString detecte = QStringLiteral("Sonivar 32 détecté `\r\n\r\n");

// The lines the completion routine shows for a passing unit: the short
// packet in slot 0, the seven other slots cancelled in order, then each
// cancellation coming back.
QString lignes_test_reussi()
{
    QString t = QStringLiteral(" 0 ");
    t += QStringLiteral(" - %1 octets de moins qu'un paquet\r\n").arg(fmt::N(SonivarACQ32::stream::packet_bytes - 8160, 0));
    t += QStringLiteral("   fin en cours \r\n");
    for (int i = 1; i <= 7; ++i)
        t += QStringLiteral("Arrêt du transfert %1 retour 0 \r\n").arg(i);
    for (int k = 1; k <= 7; ++k) {
        t += QStringLiteral(" %1 ").arg(k);
        t += QStringLiteral(
                 " status == LIBUSB_TRANSFER_CANCELLED -> Tâche %1 annulée, test_fini : 8 \r\n")
                 .arg(k);
        t += QStringLiteral("   fini\r\n");
    }
    return t;
}

struct Sent {
    std::uint8_t request;
    std::vector<std::uint8_t> data;
};

// Three resets 10 ms apart, then the presence test's programming and start.
const std::vector<Sent> sequence_init = {
    {0xC0, {}},
    {0xC4, {}},
    {0xB0, {0x00}},
    {0xB1, {0x01, 0x09}},
    {0xB4, {0x04, 0xFF, 0x00, 0x00, 0x00}},
    {0xB3, {0x05, 0x00, 0x00, 0xFF}},
    {0xB3, {0x05, 0x00, 0x01, 0x00}},
    {0xB3, {0x05, 0x00, 0x02, 0x00}},
    {0xB3, {0x05, 0x00, 0x03, 0x00}},
    {0xB3, {0x05, 0x00, 0xFF, 0x00}},
    {0xB1, {0x02, 0x00}},
};

using testsupport::expect_ring_freed;
using InitTest = testsupport::FastClockTest;

class InitWithoutUnit : public testsupport::WindowTest {
protected:
    InitWithoutUnit() : WindowTest({.unit_attached = false, .fast_clock = true}) {}
};

} // namespace

TEST_F(InitWithoutUnit, AnAbsentUnitLeavesOnlyInitEnabled)
{
    w.button_Init->click();
    ASSERT_EQ(dialogs.alerts.size(), 1u);
    EXPECT_EQ(dialogs.alerts[0].text, alerte_absent);
    EXPECT_TRUE(Principale::enabled[SonivarACQ32::sw::init]);
    for (std::size_t i = 1; i < Principale::enabled.size(); ++i)
        EXPECT_FALSE(Principale::enabled[i]) << i;
    EXPECT_FALSE(w.initialisation_FX3);
}

TEST_F(InitTest, AnAnsweringUnitPassesAndEverythingIsEnabled)
{
    w.button_Init->click();

    EXPECT_TRUE(dialogs.alerts.empty());
    EXPECT_EQ(Principale::own.pane_text,
              QStringLiteral("Liaison USB activée !\r\n") + lignes_test_reussi() + detecte);
    for (std::size_t i = 0; i < Principale::enabled.size(); ++i)
        EXPECT_TRUE(Principale::enabled[i]) << i;

    const std::vector<sim::Request> got = unit.requests();
    ASSERT_EQ(got.size(), sequence_init.size());
    for (std::size_t i = 0; i < got.size(); ++i) {
        EXPECT_EQ(got[i].request, sequence_init[i].request) << i;
        EXPECT_EQ(got[i].data, sequence_init[i].data) << i;
    }

    // Advanced mode back to its box, recording and counter check restored,
    // the clock and the count to be programmed again by the next Start.
    EXPECT_EQ(Principale::test, w.checkBox_Test->isChecked());
    EXPECT_EQ(Principale::record, w.checkBox_Record->isChecked());
    EXPECT_TRUE(Principale::compteur);
    EXPECT_EQ(Principale::ntr, 8160u);
    EXPECT_FALSE(w.clock_def);
    EXPECT_FALSE(w.count_def);
    EXPECT_EQ(w.num_freq, -1);
    EXPECT_TRUE(w.initialisation);
    expect_ring_freed();
}

// A unit that does not deliver the presence test's 8160 bytes in time fails
// Init with one alert, but every control is still enabled and the
// advanced-mode messages the test switched on stay on.
struct Failing {
    const char* name;
    std::function<void(sim::SimulatedUnit&)> arrange;
};

void PrintTo(const Failing& f, std::ostream* os) { *os << f.name; }

class InitFailTest : public testsupport::WindowTestWithParam<Failing> {
protected:
    InitFailTest() : WindowTestWithParam({.fast_clock = true}) {}
};

TEST_P(InitFailTest, AUnitFailingThePresenceTestIsReported)
{
    GetParam().arrange(unit);
    w.button_Init->click();

    ASSERT_EQ(dialogs.alerts.size(), 1u);
    EXPECT_EQ(dialogs.alerts[0].text, alerte_muet);
    EXPECT_FALSE(Principale::own.pane_text.contains(detecte));
    // No time-out message while the presence test runs.
    EXPECT_FALSE(Principale::own.pane_text.contains(QStringLiteral("TIMEOUT")));
    for (std::size_t i = 0; i < Principale::enabled.size(); ++i)
        EXPECT_TRUE(Principale::enabled[i]) << i;
    EXPECT_FALSE(w.checkBox_Test->isChecked());
    EXPECT_TRUE(Principale::test);
    EXPECT_TRUE(w.initialisation);
    // Whatever the unit did send was counted: the byte count or a time-out
    // decided, not lost data.
    EXPECT_EQ(Principale::ntr, unit.bytes_sent());
    expect_ring_freed();
}

INSTANTIATE_TEST_SUITE_P(
    Units, InitFailTest,
    testing::Values(
        Failing{"Silent", [](sim::SimulatedUnit& u) { u.set_silent(true); }},
        Failing{"FirstTransferTimesOut",
                [](sim::SimulatedUnit& u) { u.fail_transfer(0, sim::Failure::TimedOut); }},
        Failing{"OneByteShort", [](sim::SimulatedUnit& u) { u.set_length_error(-1); }},
        Failing{"OneByteOver", [](sim::SimulatedUnit& u) { u.set_length_error(1); }}),
    [](const testing::TestParamInfo<Failing>& info) { return std::string(info.param.name); });

using InitReplug = testsupport::WindowTest;

// A first Start after a failed Init programs the clock and says the real
// frequency.
TEST_F(InitReplug, FirstStartAfterAFailedInitGivesTheRealFrequency)
{
    unit.set_silent(true);
    w.button_Init->click();
    ASSERT_EQ(dialogs.alerts.size(), 1u);
    unit.set_silent(false);
    w.numericUpDown_Duree->setValue(0.1);
    w.button_Start->click();

    EXPECT_FALSE(Principale::own.pane_text.contains(QStringLiteral("Fréquence : 0 Hz")));
    EXPECT_TRUE(Principale::own.pane_text.contains(QStringLiteral("Fréquence : %1 Hz").arg(fmt::N(50000, 0))))
        << Principale::own.pane_text.right(400).toStdString();
}

// The cable pulled during the presence test: the loss is named as during a
// run, and only Init is left enabled.
TEST_F(InitReplug, UnpluggedDuringThePresenceTest)
{
    unit.unplug_after(4000);
    w.button_Init->click();

    ASSERT_EQ(dialogs.alerts.size(), 1u);
    EXPECT_EQ(dialogs.alerts[0].text, QStringLiteral("Alerte : Sonivar 32 déconnecté !\r\n"));
    EXPECT_FALSE(Principale::own.pane_text.contains(detecte));
    EXPECT_TRUE(w.button_Init->isEnabled());
    EXPECT_FALSE(w.button_Start->isEnabled());
    EXPECT_FALSE(w.initialisation);
    expect_ring_freed();
}


TEST_F(InitReplug, InitAfterTheCableCameBackFindsTheUnitAgain)
{
    w.button_Init->click();
    ASSERT_EQ(Principale::own.pane_text.count(detecte), 1);
    unit.detach();
    unit.attach();
    w.button_Init->click();

    EXPECT_EQ(Principale::own.pane_text.count(detecte), 2);
    EXPECT_TRUE(dialogs.alerts.empty());
    EXPECT_TRUE(w.initialisation_FX3);
    expect_ring_freed();
}
