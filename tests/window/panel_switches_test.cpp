// The enablement switches at each moment the operator reaches, and the
// small handlers that show and hide parts of the panel.
#include "window_harness.h"
#include "app/principale.h"
#include "run_test_support.h"

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

// Every control the enablement switches govern (directly, or through the
// container holding it).
struct Governed {
    const char* name;
    std::function<QWidget*(Principale&)> control;
};

const std::vector<Governed>& governed()
{
    static const std::vector<Governed> table = {
        {"Init", [](Principale& w) { return w.button_Init; }},
        {"frequency list", [](Principale& w) { return w.listBox_Freq; }},
        {"duration box", [](Principale& w) { return w.numericUpDown_Duree; }},
        {"Durée définie", [](Principale& w) { return w.checkBox_Definie; }},
        {"Compteur", [](Principale& w) { return w.checkBox_Compteur; }},
        {"Float", [](Principale& w) { return w.radioButton_Float; }},
        {"Enregistrement", [](Principale& w) { return w.checkBox_Record; }},
        {"Fichier", [](Principale& w) { return w.button_Fichier; }},
        {"Commentaire", [](Principale& w) { return w.button_Comment; }},
        {"microphone box", [](Principale& w) { return w.grid[2][3]; }},
        {"Mode avancé box", [](Principale& w) { return w.checkBox_Test; }},
        {"Reset PH", [](Principale& w) { return w.button_Reset_PH; }},
        {"delay", [](Principale& w) { return w.numericUpDown_Delay; }},
        {"Start", [](Principale& w) { return w.button_Start; }},
        {"Trig1", [](Principale& w) { return w.radioButton_Start_Trig1; }},
        {"Stop", [](Principale& w) { return w.button_Stop; }},
        {"information pane", [](Principale& w) { return w.textBox_Info; }},
    };
    return table;
}

std::vector<bool> enabled_states(Principale& w)
{
    std::vector<bool> states;
    for (const Governed& g : governed())
        states.push_back(g.control(w)->isEnabled());
    return states;
}

// Which controls respond at each moment the operator reaches: after Init,
// while the comment box is open, during a run and once it is over.
struct Moment {
    const char* name;
    std::function<std::vector<bool>(Principale&)> reach;  // the states there
    std::function<bool(const std::string&)> on;           // which controls respond
};

void PrintTo(const Moment& moment, std::ostream* os) { *os << moment.name; }

std::vector<bool> during_a_run(Principale& w)
{
    std::vector<bool> seen;
    w.checkBox_Record->setChecked(false);
    w.numericUpDown_Duree->setValue(1.0);
    testsupport::When running([&w] { return w.run_active && !w.button_Stop->isHidden(); },
                          [&] { seen = enabled_states(w); });
    w.button_Start->click();
    EXPECT_TRUE(running.fired);
    return seen;
}

std::vector<bool> after_a_run(Principale& w)
{
    w.checkBox_Record->setChecked(false);
    w.numericUpDown_Duree->setValue(0.1);
    w.button_Start->click();
    return enabled_states(w);
}

class EnablementByMoment : public testsupport::WindowTestWithParam<Moment> {
protected:
    EnablementByMoment() : WindowTestWithParam({.fast_clock = true}) {}
};

TEST_P(EnablementByMoment, EachControlRespondsOnlyWhenItShould)
{
    w.button_Init->click();
    ASSERT_TRUE(dialogs.alerts.empty());
    const std::vector<bool> states = GetParam().reach(w);
    ASSERT_EQ(states.size(), governed().size());
    for (std::size_t i = 0; i < states.size(); ++i)
        EXPECT_EQ(states[i], GetParam().on(governed()[i].name)) << governed()[i].name;
}

INSTANTIATE_TEST_SUITE_P(
    Panel, EnablementByMoment,
    ::testing::Values(
        Moment{"after Init", enabled_states, [](const std::string&) { return true; }},
        Moment{"comment open",
               [](Principale& w) {
                   w.button_Comment->click();
                   return enabled_states(w);
               },
               [](const std::string& name) { return name == "Commentaire"; }},
        Moment{"during a run", during_a_run, [](const std::string& name) { return name == "Stop"; }},
        Moment{"after a run", after_a_run, [](const std::string& name) { return name != "Stop"; }}),
    [](const auto& info) {
        std::string name = info.param.name;
        for (char& c : name)
            if (c == ' ')
                c = '_';
        return name;
    });

using PanelSwitches = testsupport::AbsentUnitTest;

TEST_F(PanelSwitches, AtStartTheGreyedPaneStillReceivesMessagesAndRunControlsAreHidden)
{
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
