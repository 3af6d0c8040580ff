// Start-up and shut-down of the window as the unit sees them: nothing
// touches USB until asked; closing resets, releases and closes an open link
// exactly once and leaves a closed one alone.
#include "app/principale.h"
#include "simulated_unit.h"
#include "test_dialogs.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QPushButton>

#include <memory>
#include <string>
#include <vector>

using SonivarACQ32::Principale;

namespace {

TEST(AppLifecycle, StartUpEnablesOnlyInitAndTouchesNoUsb)
{
    testsupport::TestDialogs dialogs;
    sim::SimulatedUnit unit;
    Principale w;

    for (std::size_t i = 0; i < Principale::enabled.size(); ++i)
        EXPECT_EQ(Principale::enabled[i], i == 0) << "switch " << i;
    EXPECT_TRUE(w.button_Init->isEnabled());
    EXPECT_FALSE(w.button_Start->isEnabled());
    EXPECT_FALSE(w.button_Reset_Micros->isEnabled());
    EXPECT_TRUE(Principale::pane_text.isEmpty());
    EXPECT_FALSE(w.initialisation_FX3);
    EXPECT_FALSE(w.initialisation);
    EXPECT_EQ(Principale::TimeOut, 2000);
    EXPECT_EQ(unit.opens(), 0);
    EXPECT_TRUE(unit.requests().empty());
    EXPECT_TRUE(dialogs.alerts.empty());
}

enum class Ending { Close, Destroy, CloseThenDestroy };

struct ShutDownCase {
    Ending ending;
    bool advanced;
};

void PrintTo(const ShutDownCase& c, std::ostream* os) { *os << "ending " << int(c.ending); }

class AppShutDown : public testing::TestWithParam<ShutDownCase> {};

std::string shut_down_name(const testing::TestParamInfo<ShutDownCase>& info)
{
    const char* how[] = {"Close", "Destroy", "CloseThenDestroy"};
    return std::string(how[int(info.param.ending)]) + (info.param.advanced ? "Advanced" : "");
}

void end_window(std::unique_ptr<Principale>& w, Ending ending)
{
    if (ending != Ending::Destroy)
        w->close();
    if (ending != Ending::Close)
        w.reset();
}

TEST_P(AppShutDown, AnOpenLinkGetsB0ThenReleaseAndOneClose)
{
    const ShutDownCase c = GetParam();
    testsupport::TestDialogs dialogs;
    sim::SimulatedUnit unit;
    auto w = std::make_unique<Principale>();
    w->button_Reset_PH_Click();  // opens the link
    Principale::test = c.advanced;
    unit.clear_requests();
    const QString before = Principale::pane_text;

    end_window(w, c.ending);

    EXPECT_EQ(unit.requests(), (std::vector<sim::Request>{{0xB0, {0x00}}}));
    EXPECT_EQ(unit.releases(), 1);
    EXPECT_EQ(unit.opens(), 1);
    EXPECT_EQ(unit.closes(), 1);
    EXPECT_EQ(Principale::pane_text, before + (c.advanced ? QStringLiteral("Reset B0\r\n") : QString()));
}

INSTANTIATE_TEST_SUITE_P(Endings, AppShutDown,
                         testing::Values(ShutDownCase{Ending::Close, false},
                                         ShutDownCase{Ending::Destroy, false},
                                         ShutDownCase{Ending::CloseThenDestroy, false},
                                         ShutDownCase{Ending::Destroy, true}),
                         shut_down_name);

TEST(AppLifecycle, ClosingWithTheLinkNeverOpenedMakesNoUsbCall)
{
    testsupport::TestDialogs dialogs;
    sim::SimulatedUnit unit;
    {
        Principale w;
        w.close();
    }
    EXPECT_EQ(unit.opens(), 0);
    EXPECT_TRUE(unit.requests().empty());
}

TEST(AppLifecycle, ClosingAfterAFailedReopenMakesNoUsbCall)
{
    testsupport::TestDialogs dialogs;
    sim::SimulatedUnit unit;
    {
        Principale w;
        ASSERT_EQ(w.init_USB(), 0);
        unit.detach();
        ASSERT_EQ(w.init_USB(), -1);  // closes the old handle, finds nothing
        unit.clear_requests();
    }
    EXPECT_TRUE(unit.requests().empty());
    EXPECT_EQ(unit.opens(), 1);
    EXPECT_EQ(unit.closes(), 1);  // the old handle, by the failed reopen
}

} // namespace
