// The keyboard's order through the panel, as an operator works: Init, the
// frequency, the duration, the trigger, Start and Stop, the file and the
// comment, then the microphone grid, advanced mode and the map.
#include "app/principale.h"

#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>

#include <vector>

namespace SonivarACQ32 {

std::vector<QWidget*> Principale::tab_order() const
{
    std::vector<QWidget*> order = {
        button_Init, listBox_Freq, numericUpDown_Duree, checkBox_Definie,
        radioButton_Start_Soft, radioButton_Start_Trig1, radioButton_Start_Trig2,
        radioButton_Start_FM, radioButton_Start_FD, radioButton_Start_EH, radioButton_Start_EB,
        button_Start, button_Stop, button_Abort,
        checkBox_Record, button_Fichier, button_Comment, textBox_Comment};
    for (QCheckBox* all : faisceaux_T)
        order.push_back(all);
    for (const auto& beam : grid)
        for (QCheckBox* box : beam)
            order.push_back(box);
    order.push_back(paq_T);
    for (QWidget* w : std::initializer_list<QWidget*>{
             checkBox_Test, button_Reset_Micros, button_Reset_PH, button_Reset_FX3, numericUpDown_Delay,
             radioButton_Integer, radioButton_Float, checkBox_Compteur, checkBox_Status, checkBox_Diffusion,
             checkBox_Pascal, button_Carte, button_Spectre,
             textBox_Info})
        order.push_back(w);
    std::erase(order, nullptr);
    return order;
}

void Principale::set_tab_order()
{
    const std::vector<QWidget*> order = tab_order();
    for (std::size_t i = 1; i < order.size(); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);
}

} // namespace SonivarACQ32
