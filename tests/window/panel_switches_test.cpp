// The twelve enablement switches at each moment of the program, and the
// small handlers that show and hide parts of the panel.
#include "app/principale.h"
#include "simulated_unit.h"
#include "test_dialogs.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>

#include <functional>
#include <vector>

using SonivarACQ32::Principale;

namespace {

// Every control that responds to a switch, with the switch governing it
// (directly, or through the container holding it).
struct Governed {
    const char* name;
    int switch_index;
    std::function<QWidget*(Principale&)> control;
};

const std::vector<Governed>& governed()
{
    static const std::vector<Governed> table = {
        {"Init", 0, [](Principale& w) { return w.button_Init; }},
        {"frequency list", 1, [](Principale& w) { return w.listBox_Freq; }},
        {"duration box", 2, [](Principale& w) { return w.numericUpDown_Duree; }},
        {"Durée définie", 2, [](Principale& w) { return w.checkBox_Definie; }},
        {"Compteur", 3, [](Principale& w) { return w.checkBox_Compteur; }},
        {"Float", 4, [](Principale& w) { return w.radioButton_Float; }},
        {"Enregistrement", 5, [](Principale& w) { return w.checkBox_Record; }},
        {"Fichier", 6, [](Principale& w) { return w.button_Fichier; }},
        {"Commentaire", 6, [](Principale& w) { return w.button_Comment; }},
        {"microphone box", 7, [](Principale& w) { return w.grid[2][3]; }},
        {"Mode avancé box", 8, [](Principale& w) { return w.checkBox_Test; }},
        {"Reset PH", 8, [](Principale& w) { return w.button_Reset_PH; }},
        {"delay", 8, [](Principale& w) { return w.numericUpDown_Delay; }},
        {"Start", 9, [](Principale& w) { return w.button_Start; }},
        {"Trig1", 9, [](Principale& w) { return w.radioButton_Start_Trig1; }},
        {"Stop", 10, [](Principale& w) { return w.button_Stop; }},
        {"information pane", 11, [](Principale& w) { return w.textBox_Info; }},
    };
    return table;
}

struct Moment {
    const char* name;
    std::function<void(Principale&)> set;  // as the callers set the switches
    std::function<bool(int)> on;           // which switches are then on
};

void PrintTo(const Moment& moment, std::ostream* os) { *os << moment.name; }

class EnablementByMoment : public ::testing::TestWithParam<Moment> {
protected:
    testsupport::TestDialogs dialogs;
    sim::SimulatedUnit unit{false};
    Principale w;
};

TEST_P(EnablementByMoment, EachControlFollowsItsSwitch)
{
    const Moment& moment = GetParam();
    moment.set(w);
    w.enable();
    for (const Governed& g : governed())
        EXPECT_EQ(g.control(w)->isEnabled(), moment.on(g.switch_index)) << g.name;
}

INSTANTIATE_TEST_SUITE_P(
    Panel, EnablementByMoment,
    ::testing::Values(
        Moment{"constructed", [](Principale&) {}, [](int s) { return s == 0; }},
        Moment{"ready", [](Principale& w) { w.set_all_enabled(true); }, [](int) { return true; }},
        Moment{"running",
               [](Principale& w) {
                   w.set_all_enabled(false);
                   Principale::enabled[10] = true;
               },
               [](int s) { return s == 10; }},
        Moment{"after a run",
               [](Principale& w) {
                   w.set_all_enabled(true);
                   Principale::enabled[10] = false;
               },
               [](int s) { return s != 10; }},
        Moment{"comment open", [](Principale& w) { w.set_all_enabled(false); },
               [](int) { return false; }}),
    [](const auto& info) {
        std::string name = info.param.name;
        for (char& c : name)
            if (c == ' ')
                c = '_';
        return name;
    });

struct PanelSwitches : ::testing::Test {
    testsupport::TestDialogs dialogs;
    sim::SimulatedUnit unit{false};
    Principale w;
};

TEST_F(PanelSwitches, AtStartOnlyInitRespondsAndTheGreyedPaneStillReceivesMessages)
{
    EXPECT_TRUE(w.button_Init->isEnabled());
    EXPECT_FALSE(w.textBox_Info->isEnabled());
    Principale::call_verb(QStringLiteral("Liaison USB activée !\r\n"), 0);
    EXPECT_EQ(w.textBox_Info->toPlainText(), QStringLiteral("Liaison USB activée !\n"));
    // Hidden at start, whatever the switches.
    const std::vector<QWidget*> hidden_at_start = {
        w.button_Abort, w.button_Stop,         w.groupBox_Test,           w.groupBox_Comment,
        w.panel_Progress, w.label_Duree_Ecoulee, w.groupBox_Start_Trig_Mode, w.panel_dB};
    for (QWidget* hidden : hidden_at_start)
        EXPECT_TRUE(hidden->isHidden()) << hidden->objectName().toStdString();
}

TEST_F(PanelSwitches, EnableChangesNeitherVisibilityNorText)
{
    w.checkBox_Test->setChecked(true);
    w.set_all_enabled(false);
    w.enable();
    EXPECT_FALSE(w.groupBox_Test->isHidden());
    EXPECT_TRUE(w.button_Stop->isHidden());
    EXPECT_EQ(w.button_Comment->text(), QStringLiteral("Commentaire"));
}

TEST_F(PanelSwitches, LeavingAdvancedModeRestoresTheOrdinaryFrameButNotTheDelay)
{
    w.checkBox_Test->setChecked(true);
    EXPECT_TRUE(Principale::test);
    EXPECT_FALSE(w.groupBox_Test->isHidden());
    // Entering advanced mode changes none of its settings.
    EXPECT_TRUE(w.checkBox_Compteur->isChecked());
    EXPECT_TRUE(w.radioButton_Integer->isChecked());
    EXPECT_FALSE(w.checkBox_Status->isChecked());

    w.checkBox_Compteur->setChecked(false);
    w.checkBox_Status->setChecked(true);
    w.radioButton_Float->setChecked(true);
    w.numericUpDown_Delay->setValue(3.0);
    w.checkBox_Test->setChecked(false);
    EXPECT_FALSE(Principale::test);
    EXPECT_TRUE(w.groupBox_Test->isHidden());
    EXPECT_TRUE(w.checkBox_Compteur->isChecked());
    EXPECT_FALSE(w.checkBox_Status->isChecked());
    EXPECT_TRUE(w.radioButton_Integer->isChecked());
    EXPECT_FALSE(w.radioButton_Float->isChecked());
    EXPECT_DOUBLE_EQ(w.numericUpDown_Delay->value(), 3.0);
}

TEST_F(PanelSwitches, DefinedDurationShowsTheBoxAndForgetsTheSentCount)
{
    w.numericUpDown_Duree->setValue(12.3);
    EXPECT_FLOAT_EQ(w.duree, 12.3f);
    w.count_def = true;
    w.checkBox_Definie->setChecked(false);
    EXPECT_TRUE(w.panel_Duree->isHidden());
    EXPECT_FALSE(w.count_def);

    w.count_def = true;
    w.checkBox_Definie->setChecked(true);
    EXPECT_FALSE(w.panel_Duree->isHidden());
    EXPECT_FALSE(w.count_def);
    EXPECT_DOUBLE_EQ(w.numericUpDown_Duree->value(), 12.3);

    w.count_def = true;
    w.numericUpDown_Duree->setValue(7.5);
    EXPECT_FALSE(w.count_def);
    EXPECT_FLOAT_EQ(w.duree, 7.5f);
}

TEST_F(PanelSwitches, ExternalTriggerShowsItsConditionsWhichKeepTheirChoice)
{
    w.show();
    w.radioButton_Start_Trig1->setChecked(true);
    EXPECT_TRUE(w.groupBox_Start_Trig_Mode->isVisible());
    EXPECT_TRUE(w.radioButton_Start_FM->isChecked());
    w.radioButton_Start_EB->setChecked(true);

    w.radioButton_Start_Soft->setChecked(true);
    EXPECT_FALSE(w.groupBox_Start_Trig_Mode->isVisible());
    w.radioButton_Start_Trig1->setChecked(true);
    EXPECT_TRUE(w.radioButton_Start_EB->isChecked());
    EXPECT_FALSE(w.radioButton_Start_Trig2->isVisible());
}

} // namespace
