// What the operator sees holding up through a run: the colour key, the
// frequency entries, the group headings, the save dialog, the pane's bound,
// and a recording cut short by the file-size limit.
#include "run_test_support.h"

#include "stream/stream_format.h"
#include "app/info_pane.h"
#include "recording/companion_names.h"
#include "recording/system_errors.h"
#include "file_size_limit.h"
#include "window_harness.h"

#include <QCheckBox>
#include <QDir>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QListWidget>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>
#include <QTemporaryDir>
#include <QDoubleSpinBox>

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <sys/resource.h>

using SonivarACQ32::Principale;
using testsupport::When;
namespace pane = SonivarACQ32::pane;

namespace {

// An initialised window on the simulated unit, running without a file.
struct Initialised : testsupport::WindowTest {
    void SetUp() override
    {
        w.button_Init->click();
        w.checkBox_Record->setChecked(false);
        w.checkBox_Definie->setChecked(false);
    }
};

using PanelLayout = testsupport::AbsentUnitTest;
using SaveDialog = testsupport::AbsentUnitTest;

} // namespace

TEST_F(Initialised, ColourKeyShowsEveryLevelDuringARun)
{
    QImage bar;
    When grab([&] { return Principale::num_pkt >= 2 && !w.button_Stop->isHidden(); }, [&] {
        bar = w.pictureBox_ColorBar->grab().toImage();
        w.button_Stop->click();
    });
    w.button_Start->click();

    ASSERT_TRUE(grab.fired);
    ASSERT_EQ(bar.height(), 128);
    for (int y = 0; y < bar.height(); ++y) {
        const int i = 127 - y;
        ASSERT_EQ(bar.pixel(bar.width() / 2, y), qRgb(w.R_jet[i], w.V_jet[i], w.B_jet[i])) << "row " << y;
    }
}

TEST_F(Initialised, PaneKeepsItsNewestCharactersThroughAnAdvancedRun)
{
    w.checkBox_Test->setChecked(true);
    Principale::own.pane_text.clear();
    w.textBox_Info->clear();
    // The pane 200 characters short of full, in lines of 100.
    const QString oldest = QStringLiteral("premier message\r\n");
    const QString line = QString(98, QLatin1Char('x')) + QStringLiteral("\r\n");
    Principale::call_verb(oldest + line.repeated((pane::max_chars - 200) / line.size()), 0);
    ASSERT_TRUE(Principale::own.pane_text.startsWith(oldest));
    // Each completed transfer adds its number to the pane.
    When stop([&] { return Principale::num_pkt >= 80 && !w.button_Stop->isHidden(); },
              [&] { w.button_Stop->click(); });
    w.button_Start->click();

    ASSERT_TRUE(stop.fired);
    const QString& kept = Principale::own.pane_text;
    EXPECT_EQ(kept.size(), pane::max_chars);
    EXPECT_FALSE(kept.contains(oldest));
    EXPECT_TRUE(kept.endsWith(QStringLiteral(" échantillons\r\n"))) << kept.right(80).toStdString();
    const QString shown = w.textBox_Info->toPlainText();
    EXPECT_LE(shown.size(), pane::max_chars);
    EXPECT_FALSE(shown.contains(QStringLiteral("premier message")));
    EXPECT_TRUE(shown.endsWith(QStringLiteral(" échantillons\n")));
}

TEST_F(PanelLayout, FrequencyEntriesShowTheirDigitsWhole)
{
    QListWidget* list = w.listBox_Freq;
    const QFontMetrics metrics(list->font());
    const int margins = 2 * (list->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, list) + 1);
    for (int i = 0; i < list->count(); ++i) {
        const QString text = list->item(i)->text();
        SCOPED_TRACE(text.toStdString());
        const int room = list->visualItemRect(list->item(i)).width() - margins;
        const QString drawn = metrics.elidedText(text, list->textElideMode(), room);
        EXPECT_EQ(drawn, text) << "the entry is elided";
        qsizetype digits_end = text.size();
        while (digits_end > 0 && text[digits_end - 1] == QLatin1Char(' '))
            --digits_end;
        EXPECT_LE(metrics.horizontalAdvance(text.left(digits_end)), room) << "digits clipped";
    }
}

TEST_F(PanelLayout, BeamHeadingCaptionIsClearOfTheGroupBorder)
{
    EXPECT_GE(w.label_Faisceaux->geometry().top(), w.groupBox_Micros->contentsRect().top());
}

TEST_F(SaveDialog, OffersDataFilesInTheFolderLastChosen)
{
    h.enable_panel();
    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("mesures")));
    const QString folder = dir.filePath(QStringLiteral("mesures"));
    dialogs.answers = {folder + QStringLiteral("/essai.dat"), QString(), QString()};
    for (int i = 0; i < 3; ++i)
        w.button_Fichier->click();

    // A cancelled choice keeps the folder of the last file chosen; the
    // first opens in the home folder, never the program's.
    EXPECT_EQ(dialogs.folders_asked, (QStringList{QDir::homePath(), folder, folder}));
    EXPECT_EQ(dialogs.filters_asked, QStringList(3, SonivarACQ32::data_file_filter));
    EXPECT_TRUE(SonivarACQ32::data_file_filter.endsWith(QStringLiteral(" (*.dat)")));
    // The next session opens where this one chose.
    w.acqui_name.clear();
    dialogs.answers = {QString()};
    w.button_Fichier->click();
    EXPECT_EQ(dialogs.folders_asked.back(), folder);
}

TEST(FileSizeLimit, EndsTheRecordedRunWithItsCauseAndWritesTheCompanions)
{
    // The signal at its default would kill the process at the limit: the
    // program must set it aside itself.
    std::signal(SIGXFSZ, SIG_DFL);
    constexpr rlim_t limit = 5 * SonivarACQ32::stream::packet_bytes / 2;
    testsupport::FileSizeLimit disk;
    QTemporaryDir dir;
    // The window is built after the signal is back at its default.
    testsupport::WindowHarness h;
    Principale& w = *h.window;
    w.button_Init->click();
    h.dialogs.answers.push_back(dir.filePath(QStringLiteral("essai.dat")));
    w.numericUpDown_Duree->setValue(1.0);
    ASSERT_TRUE(disk.set(limit));
    w.button_Start->click();
    disk.lift();

    const QString& pane = Principale::own.pane_text;
    EXPECT_TRUE(pane.contains(SonivarACQ32::raison_erreur(EFBIG))) << pane.right(300).toStdString();
    EXPECT_FALSE(pane.contains(QStringLiteral("erreur système")));
    EXPECT_TRUE(testsupport::read_header(dir.filePath(QStringLiteral("essai.Zv"))).has_value());
    EXPECT_FALSE(testsupport::read_all(dir.filePath(QStringLiteral("essai.log"))).isEmpty());
    EXPECT_FALSE(w.file_open);
}
