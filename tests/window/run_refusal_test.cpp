// Starts that are refused before anything streams.
#include "window_harness.h"
#include "acquisition/run_sizing.h"
#include "run_test_support.h"

#include "app/format.h"
#include "platform/free_space.h"

#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QPushButton>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using SonivarACQ32::Principale;

namespace {

struct RefusalFixture : testsupport::WindowTest {

    // After a refusal nothing streamed and the panel is as it was.
    // (The presence test of Init streamed 8160 bytes.)
    static void expect_nothing_started(const sim::SimulatedUnit& unit)
    {
        EXPECT_EQ(testsupport::find_request(unit.requests(), 0xB1, {0x09, 0x00}), -1);
        EXPECT_EQ(testsupport::find_request(unit.requests(), 0xB1, {0x02, 0x00}), -1);
        EXPECT_EQ(unit.bytes_sent(), 8160u);
        for (std::size_t i = 0; i < SonivarACQ32::sw::count; ++i)
            EXPECT_TRUE(Principale::enabled[i]) << "switch " << i;
    }

    QTemporaryDir dir;
};

} // namespace

TEST_F(RefusalFixture, NoChannel)
{
    w.button_Init->click();
    w.checkBox_Test->setChecked(true);
    w.checkBox_Compteur->setChecked(false);
    w.paq_T->click();  // every microphone off
    unit.clear_requests();
    w.button_Start->click();

    ASSERT_EQ(dialogs.alerts.size(), 1u);
    EXPECT_EQ(dialogs.alerts[0].text, QStringLiteral("Alerte : Pas de voie choisie !\r\n"));
    EXPECT_TRUE(dialogs.filters_asked.isEmpty());
    expect_nothing_started(unit);
}

TEST_F(RefusalFixture, NoFileChosen)
{
    w.button_Init->click();
    dialogs.answers.push_back(QString());  // the operator cancels
    unit.clear_requests();
    w.button_Start->click();

    ASSERT_EQ(dialogs.alerts.size(), 1u);
    EXPECT_EQ(dialogs.alerts[0].text, QStringLiteral("Alerte : Pas de fichier choisi\r\n"));
    EXPECT_FALSE(w.file_open);
    expect_nothing_started(unit);
}

// Not enough room for a run of defined length, or none past the reserve
// for an open-ended one: the start is refused and the chosen files stay
// open for the next Start.
class NotEnoughDiskSpace : public RefusalFixture, public testing::WithParamInterface<bool> {};

TEST_P(NotEnoughDiskSpace, StartRefused)
{
    const bool open_ended = GetParam();
    w.button_Init->click();
    w.numericUpDown_Duree->setValue(1.0);
    w.checkBox_Definie->setChecked(!open_ended);
    // 1 MiB of room: 1 048 576 / (4 x 33 x 50 000) = 0,16 s.
    SonivarACQ32::platform::free_space_seam().install(
        [open_ended](const std::string&) {
            return std::optional<std::uint64_t>(SonivarACQ32::run_sizing::disk_reserve - (open_ended ? 1 : -1048576));
        });
    dialogs.answers.push_back(dir.filePath(QStringLiteral("plein.dat")));
    unit.clear_requests();
    w.button_Start->click();

    ASSERT_EQ(dialogs.alerts.size(), 1u);
    EXPECT_EQ(dialogs.alerts[0].text,
              QStringLiteral("Alerte : Pas suffisamment de place sur le disque !\r\n"));
    EXPECT_TRUE(Principale::own.pane_text.endsWith(
        QStringLiteral("Pas suffisamment de place sur le disque !\r\n0 Go disponibles sur le disque, soit %1 s\r\n")
            .arg(open_ended ? QStringLiteral("0,0") : QStringLiteral("0,2"))))
        << Principale::own.pane_text.right(120).toStdString();
    EXPECT_TRUE(w.file_open);
    expect_nothing_started(unit);
    // The next Start does not ask for a name again.
    w.button_Start->click();
    EXPECT_EQ(dialogs.filters_asked.size(), 1);
    EXPECT_EQ(dialogs.alerts.size(), 2u);
}

INSTANTIATE_TEST_SUITE_P(DefinedOrOpenEnded, NotEnoughDiskSpace, testing::Bool(),
                         [](const auto& info) { return info.param ? "open_ended" : "defined"; });

// A defined duration of 0 s would run for ever: refused, nothing started.
TEST_F(RefusalFixture, DefinedDurationOfNoSample)
{
    w.button_Init->click();
    w.numericUpDown_Duree->setValue(0.0);
    unit.clear_requests();
    w.button_Start->click();

    ASSERT_EQ(dialogs.alerts.size(), 1u);
    EXPECT_TRUE(dialogs.alerts[0].text.startsWith(QStringLiteral("Alerte : Durée définie trop courte")))
        << dialogs.alerts[0].text.toStdString();
    EXPECT_FALSE(Principale::own.pane_text.contains(QStringLiteral("Durée : 0")));
    expect_nothing_started(unit);
}

TEST_F(RefusalFixture, UnreadableFreeSpace)
{
    w.button_Init->click();
    SonivarACQ32::platform::free_space_seam().install(
        [](const std::string&) { return std::optional<std::uint64_t>(); });
    dialogs.answers.push_back(dir.filePath(QStringLiteral("inconnu.dat")));
    unit.clear_requests();
    w.button_Start->click();

    ASSERT_EQ(dialogs.alerts.size(), 1u);
    EXPECT_TRUE(dialogs.alerts[0].text.contains(QStringLiteral("illisible")));
    EXPECT_TRUE(w.file_open);
    expect_nothing_started(unit);
}
