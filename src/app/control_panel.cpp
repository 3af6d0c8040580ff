// The control panel: every fixed control, the enablement switches and the
// small handlers that only show, hide or set flags.
#include "app/panel_layout.h"
#include "app/principale.h"

#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QFrame>
#include <QGroupBox>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QResizeEvent>
#include <QScrollBar>

#include <utility>

namespace SonivarACQ32 {

namespace {

// Buttons use `clicked`, so programmatic clicks fire them as the operator's
// do; check boxes, radio buttons and numeric boxes report every change.
void connect_buttons(Principale& w)
{
    const std::pair<QPushButton*, void (Principale::*)()> buttons[] = {
        {w.button_Init, &Principale::button_Init_Click},
        {w.button_Start, &Principale::button_Start_Click},
        {w.button_Abort, &Principale::button_Abort_Click},
        {w.button_Stop, &Principale::button_Stop_Click},
        {w.button_Fichier, &Principale::button_Fichier_Click},
        {w.button_Comment, &Principale::button_Comment_Click},
        {w.button_Reset_Micros, &Principale::button_Reset_Micros_Click},
        {w.button_Reset_PH, &Principale::button_Reset_PH_Click},
        {w.button_Reset_FX3, &Principale::button_Reset_FX3_Click},
    };
    for (auto [button, handler] : buttons)
        QObject::connect(button, &QPushButton::clicked, &w, [&w, handler = handler] { (w.*handler)(); });
    QObject::connect(w.listBox_Freq, &QListWidget::itemClicked, &w, [&w] { w.listBox_Freq_Click(); });
}

void connect_switches(Principale& w)
{
    const std::pair<QAbstractButton*, void (Principale::*)()> toggles[] = {
        {w.checkBox_Record, &Principale::checkBox_Record_CheckedChanged},
        {w.checkBox_Test, &Principale::checkBox_Test_CheckedChanged},
        {w.checkBox_Definie, &Principale::checkBox_Definie_CheckedChanged},
        {w.radioButton_Start_Soft, &Principale::radioButton_Start_Soft_CheckedChanged},
    };
    for (auto [box, handler] : toggles)
        QObject::connect(box, &QAbstractButton::toggled, &w, [&w, handler = handler] { (w.*handler)(); });
    QObject::connect(w.numericUpDown_Duree, &QDoubleSpinBox::valueChanged, &w,
                     [&w] { w.numericUpDown_Duree_ValueChanged(); });
    QObject::connect(w.numericUpDown_Delay, &QDoubleSpinBox::valueChanged, &w,
                     [&w] { w.numericUpDown_Delay_ValueChanged(); });
}

} // namespace

void Principale::InitializeComponent()
{
    panel::build_window(*this);
    panel::build_frequency_and_duration(*this);
    panel::build_start(*this);
    panel::build_recording(*this);
    panel::build_advanced_group(*this);
    panel::build_micros_group(*this);
    panel::build_right_column(*this);
    panel::build_information_pane(*this);
    // Handlers come last, so the initial values set above fire none of them.
    connect_buttons(*this);
    connect_switches(*this);
    keys_follow_the_run();
    creation_carte();
    creation_spectre();
    creation_diffusion();
}

void Principale::enable()
{
    const std::pair<std::size_t, QWidget*> governed[] = {
        {sw::init, button_Init},         {sw::init_panel, panel_Init},
        {sw::duration, panel_Duree},     {sw::duration, checkBox_Definie},
        {sw::counter, checkBox_Compteur}, {sw::data_type, groupBox_Data_Type},
        {sw::record, checkBox_Record},   {sw::file, button_Fichier},
        {sw::file, button_Comment},      {sw::micros, groupBox_Micros},
        {sw::advanced, checkBox_Test},   {sw::advanced, groupBox_Test},
        {sw::start, button_Start},       {sw::start, panel_Start},
        {sw::stop, button_Stop},         {sw::information, textBox_Info},
    };
    if (button_Start->hasFocus() && !enabled[sw::start])
        own.started_from_keyboard = true;
    else if (enabled[sw::start])
        own.started_from_keyboard = false;
    for (auto [index, control] : governed)
        control->setEnabled(enabled[index]);
}

namespace {

// Gives the focus to the button it watches when it appears while `wanted`.
class FocusOnShow : public QObject {
public:
    FocusOnShow(QWidget* button, const bool& wanted) : QObject(button), wanted_(wanted)
    {
        button->installEventFilter(this);
    }
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Show && wanted_)
            static_cast<QWidget*>(watched)->setFocus(Qt::TabFocusReason);
        return false;
    }

private:
    const bool& wanted_;
};

} // namespace

// Started from the keyboard, the next key abandons the trigger's wait or
// stops the run, rather than landing on whatever follows Start.
void Principale::keys_follow_the_run()
{
    new FocusOnShow(button_Abort, own.started_from_keyboard);
    new FocusOnShow(button_Stop, own.started_from_keyboard);
}

void Principale::set_all_enabled(bool value) { enabled.fill(value); }

void Principale::enable_only(std::size_t on)
{
    set_all_enabled(false);
    enabled[on] = true;
    enable();
}

void Principale::enable_all_but(std::size_t off)
{
    set_all_enabled(true);
    enabled[off] = false;
    enable();
}

void Principale::checkBox_Test_CheckedChanged()
{
    test = checkBox_Test->isChecked();
    if (test) {
        groupBox_Test->show();
        return;
    }
    // Leaving advanced mode restores the ordinary frame layout: counter on,
    // no status word, integer samples. The delay keeps its value.
    groupBox_Test->hide();
    checkBox_Status->setChecked(false);
    checkBox_Compteur->setChecked(true);
    radioButton_Integer->setChecked(true);
}

void Principale::checkBox_Definie_CheckedChanged()
{
    panel_Duree->setVisible(checkBox_Definie->isChecked());
    count_def = false;  // the sample count is sent again at the next start
}

void Principale::radioButton_Start_Soft_CheckedChanged()
{
    groupBox_Start_Trig_Mode->setVisible(!radioButton_Start_Soft->isChecked());
}

void Principale::numericUpDown_Duree_ValueChanged()
{
    count_def = false;
    duree = static_cast<float>(numericUpDown_Duree->value());
}

int Principale::list_top_index() const
{
    // The list scrolls by whole entries, so the scroll position is the
    // index of the entry in its one visible line.
    return listBox_Freq->verticalScrollBar()->value();
}

void Principale::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (textBox_Info != nullptr)
        panel::stretch_information_pane(*this);
}

} // namespace SonivarACQ32
