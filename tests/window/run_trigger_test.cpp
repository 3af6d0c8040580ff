// Runs started by an external input: the start byte, a trigger that comes,
// Abort, and a trigger that never comes.
#include "window_harness.h"
#include "run_test_support.h"

#include "app/format.h"
#include "platform/clock.h"

#include <QApplication>
#include <QCheckBox>
#include <QKeyEvent>
#include <QDoubleSpinBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using SonivarACQ32::Principale;
using testsupport::When;

namespace {

struct TriggerFixture : testsupport::WindowTest {

    QString path(const char* ext) const
    {
        return dir.filePath(QStringLiteral("declenche.") + QLatin1String(ext));
    }
    QTemporaryDir dir;
};

bool waiting_with_abort(const Principale& w)
{
    return w.run.waiting && !w.button_Abort->isHidden();
}

void expect_panel_back(const Principale& w)
{
    for (std::size_t i = 0; i < SonivarACQ32::sw::count; ++i)
        EXPECT_EQ(Principale::enabled[i], i != SonivarACQ32::sw::stop) << "switch " << i;
    EXPECT_TRUE(w.button_Abort->isHidden());
    EXPECT_FALSE(w.run.waiting);
    EXPECT_FALSE(w.run_active);
}

} // namespace

// Each condition's start byte; the operator aborts each wait, recording on
// for the first so that its abandoned files are checked.
TEST_F(TriggerFixture, StartByteForEachConditionAndAbort)
{
    struct Case {
        QRadioButton* Principale::*mode;
        std::uint8_t byte;
    };
    const Case cases[] = {{&Principale::radioButton_Start_FD, 0x41},
                          {&Principale::radioButton_Start_EB, 0xC1},
                          {&Principale::radioButton_Start_EH, 0x81},
                          {&Principale::radioButton_Start_FM, 0x01}};
    w.button_Init->click();
    w.radioButton_Start_Trig1->setChecked(true);
    dialogs.answers.push_back(path("dat"));
    bool first = true;
    for (const Case& c : cases) {
        SCOPED_TRACE(int{c.byte});
        (w.*c.mode)->setChecked(true);
        unit.clear_requests();
        Principale::own.pane_text.clear();
        When abort([&] { return waiting_with_abort(w); }, [&] { w.button_Abort->click(); });
        w.button_Start->click();

        ASSERT_TRUE(abort.fired);
        const auto requests = unit.requests();
        const long start = testsupport::find_request(requests, 0xB1, {0x02, c.byte});
        ASSERT_GE(start, 0);
        EXPECT_GT(testsupport::find_request(requests, 0xB0, {0x00}, start), start);
        EXPECT_TRUE(Principale::own.pane_text.contains(
            QStringLiteral("Le déclenchement doit intervenir avant 30 s \r\n")));
        EXPECT_TRUE(Principale::own.pane_text.endsWith(
            QStringLiteral("Acquisition arrêtée avant le déclenchement \r\n")));
        EXPECT_EQ(Principale::own.ring.in_flight(), 0);
        expect_panel_back(w);
        if (first) {
            // The abandoned set stays on disk, header and description empty.
            EXPECT_TRUE(QFile::exists(path("Zv")));
            EXPECT_EQ(QFileInfo(path("Zv")).size(), 0);
            EXPECT_EQ(QFileInfo(path("log")).size(), 0);
            EXPECT_FALSE(w.file_open);
            w.checkBox_Record->setChecked(false);
            first = false;
        }
    }
}

TEST_F(TriggerFixture, RunStartsWhenTheInputRisesAndRecordsFromTheFirstFrame)
{
    unit.set_input(1, false);
    w.button_Init->click();
    dialogs.answers.push_back(path("dat"));
    w.numericUpDown_Duree->setValue(1.0);
    w.radioButton_Start_Trig1->setChecked(true);
    When rise([&] { return waiting_with_abort(w); }, [&] { unit.set_input(1, true); });
    w.button_Start->click();

    ASSERT_TRUE(rise.fired);
    EXPECT_GE(testsupport::find_request(unit.requests(), 0xB1, {0x02, 0x01}), 0);
    const QByteArray data = testsupport::read_all(path("dat"));
    EXPECT_EQ(data.size(), 33 * 4 * 50000);
    EXPECT_EQ(testsupport::first_counter_break(data, 33), -1);
    const auto header = testsupport::read_header(path("Zv"));
    ASSERT_TRUE(header.has_value());
    EXPECT_EQ(header->nb_ech, 50000u);
    EXPECT_FALSE(Principale::own.pane_text.contains(QStringLiteral("Manquent")));
    EXPECT_FALSE(Principale::own.pane_text.contains(QStringLiteral("avant le déclenchement")));
    // Back at the run's own time-out once the trigger has come.
    EXPECT_EQ(Principale::TimeOut, w.run.base_timeout);
}

TEST_F(TriggerFixture, TriggerThatNeverComesAbortsAfterThirtySeconds)
{
    w.button_Init->click();
    w.checkBox_Test->setChecked(true);
    dialogs.answers.push_back(path("dat"));
    w.radioButton_Start_Trig1->setChecked(true);
    unit.clear_requests();
    Principale::own.pane_text.clear();
    h.use_fast_clock();
    std::uint32_t waited = 0;
    When watch([&] { return waiting_with_abort(w); },
               [&] { waited = SonivarACQ32::platform::tick_count(); });
    w.button_Start->click();
    waited = SonivarACQ32::platform::tick_count() - waited;

    EXPECT_GE(waited, 30000u);
    const QString& pane = Principale::own.pane_text;
    const qsizetype late = pane.indexOf(QStringLiteral("Temps d'attente dépassé...    "));
    ASSERT_GE(late, 0);
    const qsizetype abandoned =
        pane.indexOf(QStringLiteral("Acquisition arrêtée avant le déclenchement \r\n"));
    EXPECT_GT(abandoned, late);
    for (int i = 0; i < 8; ++i)
        EXPECT_TRUE(pane.contains(QStringLiteral("Annulation du transfert %1 retour 0 \r\n").arg(i)))
            << "transfer " << i;
    EXPECT_EQ(pane.count(QStringLiteral("LIBUSB_TRANSFER_CANCELLED")), 8);
    EXPECT_GE(testsupport::find_request(unit.requests(), 0xB0, {0x00}), 0);
    EXPECT_EQ(QFileInfo(path("Zv")).size(), 0);
    EXPECT_EQ(QFileInfo(path("log")).size(), 0);
    EXPECT_FALSE(w.file_open);
    EXPECT_EQ(Principale::TimeOut, w.run.base_timeout + 30000);
    for (auto* t : Principale::transfert)
        EXPECT_EQ(t, nullptr);
    expect_panel_back(w);
}

// Unplugging the unit during the wait ends every transfer: the wait gives up
// at once instead of waiting out its limit, and the panel comes back.
TEST_F(TriggerFixture, UnplugDuringTheWaitAbandonsIt)
{
    w.button_Init->click();
    dialogs.answers.push_back(path("dat"));
    w.radioButton_Start_Trig1->setChecked(true);
    Principale::own.pane_text.clear();
    h.use_fast_clock();
    std::uint32_t unplugged_at = 0;
    When unplug([&] { return waiting_with_abort(w); }, [&] {
        unplugged_at = SonivarACQ32::platform::tick_count();
        unit.detach();
    });
    w.button_Start->click();

    ASSERT_TRUE(unplug.fired);
    EXPECT_LT(SonivarACQ32::platform::tick_count() - unplugged_at, 30000u);
    const QString& pane = Principale::own.pane_text;
    EXPECT_FALSE(pane.contains(QStringLiteral("Temps d'attente dépassé")));
    EXPECT_TRUE(pane.contains(QStringLiteral("Plus aucun transfert en cours : attente abandonnée\r\n")));
    EXPECT_TRUE(pane.contains(QStringLiteral("Acquisition arrêtée avant le déclenchement \r\n")));
    EXPECT_EQ(QFileInfo(path("Zv")).size(), 0);
    EXPECT_FALSE(w.file_open);
    for (auto* t : Principale::transfert)
        EXPECT_EQ(t, nullptr);
    EXPECT_TRUE(w.button_Abort->isHidden());
    EXPECT_TRUE(testsupport::left_for_a_new_init(w, dialogs.alerts));
}

// Started from the keyboard, the next key stops the run, or abandons the
// trigger's wait, instead of landing on the control after Start.
TEST_F(TriggerFixture, AKeyboardStartLeavesTheFocusOnStopOrAbort)
{
    w.button_Init->click();
    w.checkBox_Record->setChecked(false);
    w.show();
    QApplication::setActiveWindow(&w);
    const auto space_on = [](QWidget* button) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, QStringLiteral(" "));
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_Space, Qt::NoModifier, QStringLiteral(" "));
        QApplication::sendEvent(button, &press);
        QApplication::sendEvent(button, &release);
    };
    QWidget* focused = nullptr;
    w.radioButton_Start_Trig1->setChecked(true);
    w.button_Start->setFocus();
    ASSERT_TRUE(w.button_Start->hasFocus());
    When waiting([&] { return waiting_with_abort(w); },
                 [&] { focused = QApplication::focusWidget(); w.button_Abort->click(); });
    space_on(w.button_Start);
    ASSERT_TRUE(waiting.fired);
    EXPECT_EQ(focused, w.button_Abort);

    w.radioButton_Start_Soft->setChecked(true);
    w.button_Start->setFocus();
    When running([&] { return w.run_active; }, [&] { focused = QApplication::focusWidget(); w.button_Stop->click(); });
    space_on(w.button_Start);
    ASSERT_TRUE(running.fired);
    EXPECT_EQ(focused, w.button_Stop);
}
