// Start-up and shut-down of the window as the unit sees them: nothing
// touches USB until asked; closing resets, releases and closes an open link
// exactly once and leaves a closed one alone.
#include "window_harness.h"
#include "app/cadre_principal.h"
#include "app/principale.h"
#include "recording/header_record.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>

#include <memory>
#include <string>
#include <vector>

using SonivarACQ32::Principale;

namespace {

using AppLifecycle = testsupport::WindowTest;

TEST_F(AppLifecycle, StartUpEnablesOnlyInitAndTouchesNoUsb)
{
    for (std::size_t i = 0; i < Principale::enabled.size(); ++i)
        EXPECT_EQ(Principale::enabled[i], i == SonivarACQ32::sw::init) << "switch " << i;
    EXPECT_TRUE(w.button_Init->isEnabled());
    EXPECT_FALSE(w.button_Start->isEnabled());
    EXPECT_FALSE(w.button_Reset_Micros->isEnabled());
    EXPECT_TRUE(Principale::own.pane_text.isEmpty());
    EXPECT_FALSE(w.initialisation_FX3);
    EXPECT_FALSE(w.initialisation);
    EXPECT_EQ(Principale::TimeOut, 2000);
    EXPECT_EQ(unit.opens(), 0);
    EXPECT_TRUE(unit.requests().empty());
    EXPECT_TRUE(dialogs.alerts.empty());

    // Before any comment the header's comment area is 1024 spaces; the
    // channel flag areas are zeros.
    const auto* record = reinterpret_cast<const unsigned char*>(&SonivarACQ32::header_file);
    for (std::size_t i = 0; i < 2097; ++i) {
        const bool comment = i >= 1073;
        ASSERT_EQ(record[i], comment ? 0x20 : 0x00) << "byte " << i;
    }
}

// Only mode 1 alerts, and only once the text is in the pane; any other mode
// just appends the text as it stands.
TEST_F(AppLifecycle, MessageRoutineAppendsAndAlertsOnlyInMode1)
{
    const QString texts[] = {QStringLiteral("un\r\n"), QStringLiteral("deux"),
                             QStringLiteral("trois\r\n"), QStringLiteral("quatre\r\n")};
    const int modes[] = {0, 2, -1, 1};
    QString expected;
    for (std::size_t i = 0; i < 4; ++i) {
        Principale::call_verb(texts[i], modes[i]);
        expected += texts[i];
        EXPECT_EQ(Principale::own.pane_text, expected) << "mode " << modes[i];
        EXPECT_EQ(dialogs.alerts.size(), modes[i] == 1 ? 1u : 0u) << "mode " << modes[i];
    }
    ASSERT_EQ(dialogs.alerts.size(), 1u);
    EXPECT_EQ(dialogs.alerts[0].title, QStringLiteral("Erreur"));
    EXPECT_EQ(dialogs.alerts[0].text, QStringLiteral("Alerte : quatre\r\n"));
    EXPECT_EQ(dialogs.alerts[0].pane, expected);
    EXPECT_EQ(w.textBox_Info->toPlainText(), QStringLiteral("un\ndeuxtrois\nquatre\n"));
}

enum class Ending { Close, Destroy, CloseThenDestroy };

struct ShutDownCase {
    Ending ending;
    bool advanced;
};

void PrintTo(const ShutDownCase& c, std::ostream* os) { *os << "ending " << int(c.ending); }

using AppShutDown = testsupport::WindowTestWithParam<ShutDownCase>;

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
    w.button_Reset_PH_Click();  // opens the link
    Principale::test = c.advanced;
    unit.clear_requests();
    const QString before = Principale::own.pane_text;

    end_window(h.window, c.ending);

    EXPECT_EQ(unit.requests(), (std::vector<sim::Request>{{0xB0, {0x00}}}));
    EXPECT_EQ(unit.releases(), 1);
    EXPECT_EQ(unit.opens(), 1);
    EXPECT_EQ(unit.closes(), 1);
    EXPECT_EQ(Principale::own.pane_text, before + (c.advanced ? QStringLiteral("Reset B0\r\n") : QString()));
}

INSTANTIATE_TEST_SUITE_P(Endings, AppShutDown,
                         testing::Values(ShutDownCase{Ending::Close, false},
                                         ShutDownCase{Ending::Destroy, false},
                                         ShutDownCase{Ending::CloseThenDestroy, false},
                                         ShutDownCase{Ending::Destroy, true}),
                         shut_down_name);

TEST_F(AppLifecycle, ClosingWithTheLinkNeverOpenedMakesNoUsbCall)
{
    w.close();
    h.window.reset();
    EXPECT_EQ(unit.opens(), 0);
    EXPECT_TRUE(unit.requests().empty());
}

// On a screen narrower than the panel (the offscreen one is 800 pixels wide)
// the frame shows part of it and scrolls; closing the frame closes the panel.
TEST_F(AppLifecycle, FrameScrollsOnASmallScreenAndClosesThePanel)
{
    Principale* panel = h.window.release();
    auto frame = std::make_unique<SonivarACQ32::CadrePrincipal>(panel);
    const QSize room = frame->screen()->availableGeometry().size();
    ASSERT_LT(room.width(), panel->minimumWidth());
    EXPECT_LE(frame->sizeHint().width(), room.width());
    EXPECT_LE(frame->sizeHint().height(), room.height());
    EXPECT_EQ(frame->widget(), panel);
    frame->show();
    // The far corner of the pane can be brought into view.
    frame->horizontalScrollBar()->setValue(frame->horizontalScrollBar()->maximum());
    frame->verticalScrollBar()->setValue(frame->verticalScrollBar()->maximum());
    const QPoint corner = panel->textBox_Info->geometry().bottomRight();
    EXPECT_TRUE(frame->viewport()->rect().contains(panel->mapTo(frame->viewport(), corner)));
    EXPECT_TRUE(frame->close());
    EXPECT_TRUE(panel->disposed);
}

} // namespace
