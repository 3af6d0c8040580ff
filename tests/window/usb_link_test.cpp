// The USB link and the vendor command channel, against the simulated unit:
// what reaches the unit for each reset and command, and what the pane shows.
#include "window_harness.h"
#include "app/principale.h"

#include <gtest/gtest.h>

#include <QCheckBox>

#include <vector>

using SonivarACQ32::Principale;

namespace {

const QString liaison = QStringLiteral("Liaison USB activée !\r\n");

struct ResetCase {
    const char* name;
    void (Principale::*handler)();
    std::uint8_t request;
    QString advanced_line;
};

using UsbLink = testsupport::WindowTest;

const ResetCase reset_cases[] = {
    {"FX3", &Principale::button_Reset_FX3_Click, 0xC0, QStringLiteral("Reset FX3\r\n")},
    {"PH", &Principale::button_Reset_PH_Click, 0xC4, QStringLiteral("Reset Pseudo Hard (C4)\r\n")},
};

TEST(UsbLinkResets, ResetButtonsOpenTheLinkAndSendTheirRequestWithoutData)
{
    for (const ResetCase& c : reset_cases) {
        for (bool advanced : {false, true}) {
            SCOPED_TRACE(testing::Message() << c.name << (advanced ? " advanced" : ""));
            testsupport::WindowHarness h;
            Principale& w = *h.window;
            sim::SimulatedUnit& unit = h.unit;
            testsupport::TestDialogs& dialogs = h.dialogs;
            Principale::test = advanced;

            (w.*c.handler)();

            EXPECT_TRUE(w.initialisation_FX3);
            EXPECT_EQ(Principale::own.pane_text, liaison + (advanced ? c.advanced_line : QString()));
            EXPECT_EQ(unit.requests(), (std::vector<sim::Request>{{c.request, {}}}));
            EXPECT_TRUE(unit.stalled().empty());
            EXPECT_EQ(unit.opens(), 1);
            EXPECT_EQ(unit.claims(), 1);
            EXPECT_TRUE(dialogs.alerts.empty());
        }
    }
}

TEST_F(UsbLink, ResetMicrosWithTheLinkClosedDoesNothing)
{
    Principale::test = true;

    w.button_Reset_Micros_Click();

    EXPECT_FALSE(w.initialisation_FX3);
    EXPECT_FALSE(w.initialisation);
    EXPECT_TRUE(Principale::own.pane_text.isEmpty());
    EXPECT_EQ(unit.opens(), 0);
    EXPECT_TRUE(unit.requests().empty());
}

TEST(UsbLinkResets, ResetMicrosSendsB0AndInAdvancedModeSaysSoTwice)
{
    for (bool advanced : {false, true}) {
        SCOPED_TRACE(advanced ? "advanced" : "ordinary");
        testsupport::WindowHarness h;
        Principale& w = *h.window;
        sim::SimulatedUnit& unit = h.unit;
        w.button_Reset_FX3_Click();  // opens the link
        w.checkBox_Test->setChecked(advanced);
        unit.clear_requests();
        const QString before = Principale::own.pane_text;
        w.clock_def = w.count_def = true;

        w.button_Reset_Micros_Click();

        EXPECT_EQ(unit.requests(), (std::vector<sim::Request>{{0xB0, {0x00}}}));
        EXPECT_EQ(Principale::own.pane_text,
                  before + (advanced ? QStringLiteral("Reset B0\r\nReset B0\r\n") : QString()));
        EXPECT_TRUE(w.initialisation);
        EXPECT_FALSE(w.clock_def);
        EXPECT_FALSE(w.count_def);
        EXPECT_EQ(unit.opens(), 1);  // the open link is reused
    }
}

struct CommandCase {
    int n;
    std::vector<std::uint8_t> bytes;
};

TEST_F(UsbLink, CommandeSendsRequestB0PlusNWithNPlusOneBytes)
{
    const CommandCase cases[] = {
        {0, {0x00}},
        {1, {0x01, 0x09}},
        {1, {0x02, 0x81}},
        {3, {0x05, 0x00, 0x02, 0x0F}},
        {4, {0x04, 0xFF, 0x00, 0x00, 0x00}},
        {4, {0x04, 0x78, 0x56, 0x34, 0x12}},
    };
    w.button_Reset_FX3_Click();
    for (const CommandCase& c : cases) {
        unit.clear_requests();
        w.buf.fill(0xEE);  // bytes past n + 1 must not travel
        std::copy(c.bytes.begin(), c.bytes.end(), w.buf.begin());

        EXPECT_EQ(w.commande(c.n), c.n + 1);

        const std::vector<sim::Request> expected{{std::uint8_t(0xB0 + c.n), c.bytes}};
        EXPECT_EQ(unit.requests(), expected) << "commande(" << c.n << ")";
    }
    EXPECT_TRUE(unit.stalled().empty());
}

TEST_F(UsbLink, ARefusedCommandReturnsLibusbsError)
{
    w.button_Reset_FX3_Click();
    w.buf[0] = 0x01;
    w.buf[1] = 8;  // below the fastest clock division

    EXPECT_EQ(w.commande(1), LIBUSB_ERROR_PIPE);
    EXPECT_EQ(unit.stalled().size(), 1u);
}

using UsbLinkWithoutUnit = testsupport::AbsentUnitTest;

TEST_F(UsbLinkWithoutUnit, AnAbsentUnitGivesOneAlertAndLeavesTheLinkClosed)
{
    w.button_Reset_FX3_Click();

    ASSERT_EQ(dialogs.alerts.size(), 1u);
    EXPECT_EQ(dialogs.alerts[0].title, QStringLiteral("Erreur"));
    EXPECT_EQ(dialogs.alerts[0].text, QStringLiteral("Alerte : Pas de détection de Sonivar !\r\n"));
    EXPECT_EQ(dialogs.alerts[0].pane, QStringLiteral("Pas de détection de Sonivar !\r\n"));
    EXPECT_EQ(Principale::own.pane_text, QStringLiteral("Pas de détection de Sonivar !\r\n"));
    EXPECT_FALSE(w.initialisation_FX3);
    EXPECT_EQ(w.handle, nullptr);
}

TEST_F(UsbLink, ReopeningReleasesAndClosesTheOldHandleFirst)
{
    EXPECT_EQ(w.init_USB(), 0);
    EXPECT_EQ(w.init_USB(), 0);

    EXPECT_EQ(Principale::own.pane_text, liaison + liaison);
    EXPECT_EQ(unit.opens(), 2);
    EXPECT_EQ(unit.closes(), 1);
    EXPECT_EQ(unit.claims(), 2);
    EXPECT_EQ(unit.releases(), 1);
    EXPECT_TRUE(w.initialisation_FX3);
}

TEST_F(UsbLink, AReopenThatFailsLeavesTheLinkClosed)
{
    ASSERT_EQ(w.init_USB(), 0);
    unit.detach();

    EXPECT_EQ(w.init_USB(), -1);

    EXPECT_FALSE(w.initialisation_FX3);
    EXPECT_EQ(w.handle, nullptr);
    EXPECT_EQ(unit.closes(), 1);  // the old handle, by the failed reopen
    EXPECT_EQ(dialogs.alerts.size(), 1u);

    // Closing the window then makes no USB call at all.
    unit.clear_requests();
    h.window.reset();
    EXPECT_TRUE(unit.requests().empty());
    EXPECT_EQ(unit.opens(), 1);
    EXPECT_EQ(unit.closes(), 1);
}

} // namespace
