// The microphone grid in the window: its controls, the operator's clicks
// and the switch between the selection view and the level view.
#include "window_harness.h"
#include "app/principale.h"
#include "selection/grid_rules.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QProgressBar>

#include <string>
#include <vector>

using SonivarACQ32::Principale;

namespace {

struct GridFixture : testsupport::AbsentUnitTest {
    GridFixture()
    {
        // The grid responds once the panel is ready.
        h.enable_panel();
    }

    int checked_micros() const
    {
        int n = 0;
        for (const auto& beam : w.grid)
            for (const QCheckBox* box : beam)
                n += box->isChecked() ? 1 : 0;
        return n;
    }
};

// The widget the operator's pointer finds at the middle of a grid place.
QWidget* under(Principale& w, SonivarACQ32::grid_rules::Point at)
{
    const int half = SonivarACQ32::grid_rules::box_size / 2;
    return w.groupBox_Micros->childAt(at.x + half, at.y + half);
}

// Each box, cell and heading lies where the grid puts it, uncovered: the
// operator's click at a microphone's place reaches that microphone.
TEST_F(GridFixture, EachBoxIsWhereTheOperatorLooksForIt)
{
    namespace rules = SonivarACQ32::grid_rules;
    w.show();
    for (int k = 0; k < 4; ++k) {
        SCOPED_TRACE(k);
        for (int j = 0; j < 8; ++j)
            EXPECT_EQ(under(w, rules::micro_position(k, j)), w.grid[k][j]) << j;
        EXPECT_EQ(under(w, rules::beam_position(k)), w.faisceaux_T[k]);
        EXPECT_EQ(under(w, rules::beam_heading_position(k)), w.num_faisceaux[k]);
        EXPECT_EQ(w.num_faisceaux[k]->text(), QString::number(k));
    }
    for (int j = 0; j < 8; ++j)
        EXPECT_EQ(under(w, rules::micro_heading_position(j)), w.num_micros[j]) << j;
    EXPECT_EQ(under(w, rules::beam_row_heading_position), w.num_micros[8]);
    EXPECT_EQ(w.num_micros[8]->text(), QStringLiteral("T"));
    EXPECT_EQ(under(w, rules::all_position), w.paq_T);

    // Everything starts checked; in the level view each cell takes its
    // microphone's place.
    EXPECT_EQ(checked_micros(), 32);
    EXPECT_TRUE(w.paq_T->isChecked());
    w.affiche_cases(true);
    for (int k = 0; k < 4; ++k)
        for (int j = 0; j < 8; ++j)
            EXPECT_EQ(under(w, rules::micro_position(k, j)), w.grid_n[k][j]) << k << ", " << j;
}

TEST_F(GridFixture, MicrophoneClicksKeepBeamAndAllBoxesConsistent)
{
    w.grid[1][4]->click();
    EXPECT_FALSE(w.faisceaux_T[1]->isChecked());
    EXPECT_FALSE(w.paq_T->isChecked());
    EXPECT_TRUE(w.faisceaux_T[0]->isChecked());
    EXPECT_EQ(checked_micros(), 31);

    w.grid[3][0]->click();
    w.grid[1][4]->click();
    EXPECT_TRUE(w.faisceaux_T[1]->isChecked()) << "its other seven are checked";
    EXPECT_FALSE(w.paq_T->isChecked()) << "beam 3 is incomplete";
    w.grid[3][0]->click();
    EXPECT_TRUE(w.faisceaux_T[3]->isChecked());
    EXPECT_TRUE(w.paq_T->isChecked());
}

TEST_F(GridFixture, BeamAndAllClicksSetWholeGroups)
{
    w.faisceaux_T[2]->click();
    EXPECT_EQ(checked_micros(), 24);
    EXPECT_FALSE(w.paq_T->isChecked());
    w.grid[0][7]->click();
    w.faisceaux_T[2]->click();
    EXPECT_EQ(checked_micros(), 31);
    EXPECT_TRUE(w.faisceaux_T[2]->isChecked());
    EXPECT_FALSE(w.paq_T->isChecked()) << "beam 0 is still incomplete";

    w.paq_T->click();
    EXPECT_EQ(checked_micros(), 32);
    for (const QCheckBox* beam : w.faisceaux_T)
        EXPECT_TRUE(beam->isChecked());
    w.paq_T->click();
    EXPECT_EQ(checked_micros(), 0);
    for (const QCheckBox* beam : w.faisceaux_T)
        EXPECT_FALSE(beam->isChecked());
}

TEST_F(GridFixture, LevelViewComesAndGoesLeavingTheSelectionAndWhiteCells)
{
    w.grid[0][2]->click();
    w.faisceaux_T[3]->click();
    w.progressBar_Progress->setValue(40);
    w.affiche_cases(true);
    EXPECT_FALSE(w.panel_dB->isHidden());
    EXPECT_TRUE(w.paq_T->isHidden());
    EXPECT_TRUE(w.num_micros[8]->isHidden());
    EXPECT_FALSE(w.num_micros[7]->isHidden());
    EXPECT_EQ(w.progressBar_Progress->value(), 0);
    for (int k = 0; k < 4; ++k) {
        EXPECT_TRUE(w.faisceaux_T[k]->isHidden());
        for (int j = 0; j < 8; ++j) {
            EXPECT_TRUE(w.grid[k][j]->isHidden());
            EXPECT_FALSE(w.grid_n[k][j]->isHidden());
        }
    }
    // A run paints some cells; the way back makes them white again.
    w.grid_n[1][1]->setStyleSheet(QStringLiteral("background-color: rgb(0, 0, 143)"));
    QPalette red = w.grid_n[2][6]->palette();
    red.setColor(QPalette::Window, Qt::red);
    w.grid_n[2][6]->setPalette(red);

    w.affiche_cases(false);
    EXPECT_TRUE(w.panel_dB->isHidden());
    EXPECT_FALSE(w.paq_T->isHidden());
    EXPECT_EQ(checked_micros(), 23);
    EXPECT_FALSE(w.grid[0][2]->isChecked());
    EXPECT_FALSE(w.faisceaux_T[3]->isChecked());
    for (int k = 0; k < 4; ++k) {
        EXPECT_FALSE(w.faisceaux_T[k]->isHidden());
        for (int j = 0; j < 8; ++j) {
            EXPECT_FALSE(w.grid[k][j]->isHidden());
            EXPECT_TRUE(w.grid_n[k][j]->isHidden());
            const QImage cell = w.grid_n[k][j]->grab().toImage();
            EXPECT_EQ(cell.pixelColor(8, 8), QColor(Qt::white)) << k << ", " << j;
        }
    }
}

// The elapsed-time label and the progress panel during the level view.
struct ViewCase {
    std::uint32_t count;
    float duree;
    bool label_shown;     // in the level view, from a hidden start
    bool progress_shown;
};

void PrintTo(const ViewCase& c, std::ostream* os) { *os << c.count << " samples, " << c.duree << " s"; }

class ViewLabels : public GridFixture, public ::testing::WithParamInterface<ViewCase> {};

TEST_P(ViewLabels, FollowTheRunKind)
{
    const ViewCase& c = GetParam();
    w.count = c.count;
    w.duree = c.duree;
    w.affiche_cases(true);
    EXPECT_EQ(!w.label_Duree_Ecoulee->isHidden(), c.label_shown);
    EXPECT_EQ(!w.panel_Progress->isHidden(), c.progress_shown);
    // Whatever the run showed is hidden on return, unless the rule leaves
    // the label alone, and then a label shown by the run stays.
    w.label_Duree_Ecoulee->show();
    w.affiche_cases(false);
    EXPECT_EQ(w.label_Duree_Ecoulee->isHidden(), c.label_shown);
    EXPECT_TRUE(w.panel_Progress->isHidden());
}

INSTANTIATE_TEST_SUITE_P(Grid, ViewLabels,
                         ::testing::Values(ViewCase{0, 5.0f, true, false},
                                           ViewCase{250000, 5.0f, false, true},
                                           ViewCase{2995000, 59.9f, false, true},
                                           ViewCase{3500000, 70.0f, true, true}),
                         [](const auto& info) {
                             const ViewCase& c = info.param;
                             return "count_" + std::to_string(c.count) + "_tenths_" +
                                    std::to_string(static_cast<int>(c.duree * 10.0f + 0.5f));
                         });

} // namespace
