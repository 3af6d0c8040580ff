// The control panel as the operator finds it: texts, fonts, ranges, the
// one-line frequency list, the comment's limit and the window's resizing.
#include "window_harness.h"
#include "app/principale.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QFontInfo>
#include <QGroupBox>
#include <QKeyEvent>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QWheelEvent>

#include <algorithm>
#include <vector>

using SonivarACQ32::Principale;

namespace {

using PanelControls = testsupport::AbsentUnitTest;

TEST_F(PanelControls, WindowTitleAndClientArea)
{
    EXPECT_EQ(w.windowTitle(),
              QStringLiteral("Corvalle - Institut Rameaux - Sonivar ACQ_32 V3.2.0 (décembre 2022)"));
    EXPECT_FALSE(w.windowIcon().isNull());
    EXPECT_EQ(w.size(), QSize(1062, 681));
}

TEST_F(PanelControls, ButtonsReadAndLookAsSpecified)
{
    struct Face {
        QPushButton* button;
        const char* text;
        int points;
    };
    const Face faces[] = {
        {w.button_Init, "Init", 16},        {w.button_Start, "Start", 16},
        {w.button_Abort, "Abort", 16},      {w.button_Stop, "Stop", 16},
        {w.button_Fichier, "Fichier", 16},  {w.button_Comment, "Commentaire", 15},
        {w.button_Reset_Micros, "Reset Micros (B0/00)", 12},
        {w.button_Reset_PH, "Reset PH (C4)", 12}, {w.button_Reset_FX3, "Reset FX3 (C0)", 12},
    };
    for (const Face& f : faces) {
        SCOPED_TRACE(f.text);
        EXPECT_EQ(f.button->text(), QString::fromUtf8(f.text));
        EXPECT_EQ(f.button->font().pointSize(), f.points);
        EXPECT_TRUE(f.button->font().bold());
        // The text fits its button with the substituted face.
        EXPECT_LE(QFontMetrics(f.button->font()).horizontalAdvance(f.button->text()),
                  f.button->width() - 6);
    }
    EXPECT_TRUE(QFontInfo(w.button_Init->font()).family().startsWith(QStringLiteral("URW Gothic")));
}

TEST_F(PanelControls, NumericBoxesStartWithTheirRanges)
{
    EXPECT_DOUBLE_EQ(w.numericUpDown_Duree->value(), 5.0);
    EXPECT_DOUBLE_EQ(w.numericUpDown_Duree->minimum(), 0.0);
    EXPECT_DOUBLE_EQ(w.numericUpDown_Duree->singleStep(), 0.1);
    EXPECT_EQ(w.numericUpDown_Duree->decimals(), 1);
    // The duration cannot pass its first maximum, 300 s.
    w.numericUpDown_Duree->setValue(1000.0);
    EXPECT_DOUBLE_EQ(w.numericUpDown_Duree->value(), 300.0);
    w.numericUpDown_Duree->stepUp();
    EXPECT_DOUBLE_EQ(w.numericUpDown_Duree->value(), 300.0);

    EXPECT_DOUBLE_EQ(w.numericUpDown_Delay->value(), 10.0);
    w.numericUpDown_Delay->setValue(20.0);
    EXPECT_DOUBLE_EQ(w.numericUpDown_Delay->value(), 16.0);
    EXPECT_EQ(w.numericUpDown_Delay->decimals(), 0);
}

// Typing "12" then Enter is one change, not one per keystroke (each change
// of the delay is a command to the unit).
TEST_F(PanelControls, TypedValueCountsOnceEntered)
{
    h.enable_panel();
    QDoubleSpinBox* delay = w.numericUpDown_Delay;
    int changes = 0;
    QObject::connect(delay, &QDoubleSpinBox::valueChanged, [&changes] { ++changes; });
    delay->selectAll();
    for (const char* key : {"1", "2"}) {
        QKeyEvent typed(QEvent::KeyPress, key[0], Qt::NoModifier, QString::fromLatin1(key));
        QApplication::sendEvent(delay, &typed);
    }
    EXPECT_EQ(changes, 0);
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(delay, &enter);
    EXPECT_EQ(changes, 1);
    EXPECT_DOUBLE_EQ(delay->value(), 12.0);
}

TEST_F(PanelControls, FrequencyListHoldsTheSeventeenEntriesWithTheirSpacing)
{
    const char* expected[] = {" 50 000", " 45 454", " 41 667", " 38 461", " 35 714", " 33 333",
                              " 31 250   ", " 25 000   ", " 20 000   ", " 12 500   ",
                              " 10 000   ", " 6 250   ", " 5 000   ", " 4 000   ", " 3 125   ",
                              " 2 500   ", " 2 000"};
    ASSERT_EQ(w.listBox_Freq->count(), 17);
    for (int i = 0; i < 17; ++i)
        EXPECT_EQ(w.listBox_Freq->item(i)->text(), QString::fromLatin1(expected[i])) << i;
}

// Scrolling by one step moves one entry, whatever entry is highlighted;
// the box is too short for a second entry. Works before the window shows.
TEST_F(PanelControls, FrequencyListShowsOneEntryAndItsTopIndexFollowsScrolling)
{
    QScrollBar* bar = w.listBox_Freq->verticalScrollBar();
    EXPECT_EQ(w.list_top_index(), 0);
    EXPECT_EQ(bar->maximum(), 16);
    EXPECT_LT(w.listBox_Freq->viewport()->height(), 2 * 19);
    EXPECT_EQ(w.listBox_Freq->visualItemRect(w.listBox_Freq->item(0)).height(), 19);

    bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(w.list_top_index(), 1);
    w.listBox_Freq->item(1)->setSelected(true);
    bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(w.list_top_index(), 2);

    w.listBox_Freq->scrollToItem(w.listBox_Freq->item(16));
    EXPECT_EQ(w.list_top_index(), 16);

    // One wheel notch, one entry.
    QWheelEvent notch(QPointF(5, 5), QPointF(5, 5), QPoint(), QPoint(0, 120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(w.listBox_Freq->viewport(), &notch);
    EXPECT_EQ(w.list_top_index(), 15);
}

TEST_F(PanelControls, CommentKeepsAtMost1024CharactersLineBreaksCountingTwo)
{
    QPlainTextEdit* box = w.textBox_Comment;
    box->insertPlainText(QString(1100, QLatin1Char('a')));
    EXPECT_EQ(box->toPlainText(), QString(1024, QLatin1Char('a')));

    // Typing once full changes nothing; Enter makes a line break, which
    // costs two characters.
    QKeyEvent key(QEvent::KeyPress, Qt::Key_B, Qt::NoModifier, QStringLiteral("b"));
    QApplication::sendEvent(box, &key);
    EXPECT_EQ(box->toPlainText().size(), 1024);

    box->setPlainText(QString(1021, QLatin1Char('c')));
    box->moveCursor(QTextCursor::End);
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"));
    QApplication::sendEvent(box, &enter);
    EXPECT_EQ(box->toPlainText(), QString(1021, QLatin1Char('c')) + QLatin1Char('\n'));
    QApplication::sendEvent(box, &enter);
    EXPECT_EQ(box->toPlainText().size(), 1022) << "a second line break would make 1025";

    // A paste in the middle keeps what fits and the text after it.
    box->setPlainText(QStringLiteral("debut fin"));
    QTextCursor cursor = box->textCursor();
    cursor.setPosition(6);
    box->setTextCursor(cursor);
    box->insertPlainText(QString(2000, QLatin1Char('x')));
    EXPECT_EQ(box->toPlainText(),
              QStringLiteral("debut ") + QString(1015, QLatin1Char('x')) + QStringLiteral("fin"));
}

TEST_F(PanelControls, OnlyTheInformationPaneFollowsTheWindowWidth)
{
    w.show();
    QApplication::processEvents();
    const QRect pane = w.textBox_Info->geometry();
    const QRect micros = w.groupBox_Micros->geometry();
    const QRect comment = w.button_Comment->geometry();
    EXPECT_EQ(pane.right(), 1062 - 1 - 12);

    w.resize(1262, 781);
    QApplication::processEvents();
    EXPECT_EQ(w.textBox_Info->geometry(), pane.adjusted(0, 0, 200, 0));
    EXPECT_EQ(w.groupBox_Micros->geometry(), micros);
    EXPECT_EQ(w.button_Comment->geometry(), comment);
}

// Tab goes through the panel as an operator works: Init, frequency,
// duration, trigger, Start, file and comment, then the grid, then the map.
TEST_F(PanelControls, TabFollowsTheOperatorsWork)
{
    std::vector<QWidget*> chain;
    QWidget* at = w.button_Init;
    do {
        chain.push_back(at);
        at = at->nextInFocusChain();
    } while (at != w.button_Init && chain.size() < 500);
    const auto place = [&](QWidget* control) {
        return std::find(chain.begin(), chain.end(), control) - chain.begin();
    };
    const std::vector<QWidget*> expected = {
        w.button_Init, w.listBox_Freq, w.numericUpDown_Duree, w.radioButton_Start_Soft, w.button_Start,
        w.button_Fichier, w.button_Comment, w.grid[0][0], w.grid[3][7], w.button_Carte};
    for (std::size_t i = 1; i < expected.size(); ++i)
        EXPECT_LT(place(expected[i - 1]), place(expected[i])) << expected[i]->objectName().toStdString();
    EXPECT_LT(place(w.button_Carte), static_cast<std::ptrdiff_t>(chain.size()));
}

} // namespace
