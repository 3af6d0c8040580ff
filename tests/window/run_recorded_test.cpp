// Whole runs against the simulated unit: a recorded soft start end to end,
// exact packet multiples, and the runs that stop on their own.
#include "file_size_limit.h"
#include "window_harness.h"
#include "acquisition/run_sizing.h"
#include "recording/description.h"
#include "run_test_support.h"

#include "app/format.h"
#include "platform/free_space.h"

#include <QCheckBox>
#include <QDate>
#include <QDir>
#include <QFileInfo>
#include <QDoubleSpinBox>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>

using SonivarACQ32::Principale;
using testsupport::When;

namespace {

constexpr std::uint64_t MiB = SonivarACQ32::stream::packet_bytes;
constexpr std::uint64_t reserve = SonivarACQ32::run_sizing::disk_reserve;

struct RunFixture : testsupport::WindowTest {

    QString data_path() const { return dir.filePath(QStringLiteral("essai.dat")); }
    QString companion(const char* ext) const
    {
        return dir.filePath(QStringLiteral("essai.") + QLatin1String(ext));
    }

    QTemporaryDir dir;
};

bool ends_run_normally(const Principale& w)
{
    // Back to the ready panel: everything but Stop, Stop hidden.
    for (std::size_t i = 0; i < SonivarACQ32::sw::count; ++i)
        if (Principale::enabled[i] != (i != SonivarACQ32::sw::stop))
            return false;
    return !w.run_active && w.button_Stop->isHidden();
}

} // namespace

TEST_F(RunFixture, RecordedSoftRunWritesEveryFrameAndItsHeader)
{
    w.button_Init->click();
    dialogs.answers.push_back(data_path());
    w.numericUpDown_Duree->setValue(1.0);
    const QDate day = QDate::currentDate();
    w.button_Start->click();

    // 32 microphones and the counter, 50 000 frames.
    const QByteArray data = testsupport::read_all(data_path());
    EXPECT_EQ(data.size(), 33 * 4 * 50000);
    EXPECT_EQ(testsupport::first_counter_break(data, 33), -1);

    const auto header = testsupport::read_header(companion("Zv"));
    ASSERT_TRUE(header.has_value()) << "the header file must be 2097 bytes";
    EXPECT_EQ(header->nb_ech, 50000u);
    EXPECT_FLOAT_EQ(header->duree_acq, 1.0f);
    EXPECT_EQ(header->date.wYear, day.year());
    EXPECT_EQ(header->date.wMonth, day.month());
    EXPECT_EQ(header->date.wDay, day.day());
    for (int m = 0; m < 32; ++m)
        EXPECT_EQ(header->micros_actifs[m], 1) << "microphone " << m;
    EXPECT_EQ(header->compteurs_actifs[0], 1);
    EXPECT_EQ(header->type_float, 0);
    EXPECT_FALSE(testsupport::read_all(companion("log")).isEmpty());

    const QString& pane = Principale::own.pane_text;
    EXPECT_TRUE(pane.contains(QRegularExpression(
        QStringLiteral("Fin du transfert : 6,3 Mo en \\d+,\\d s\\r\\n$"))))
        << pane.right(200).toStdString();
    EXPECT_FALSE(pane.contains(QStringLiteral("Manquent")));
    EXPECT_FALSE(w.file_open);
    EXPECT_TRUE(ends_run_normally(w));

    // The sample type goes before the start command, which carries a soft start.
    const auto requests = unit.requests();
    const long type = testsupport::find_request(requests, 0xB1, {0x09, 0x00});
    ASSERT_GE(type, 0);
    EXPECT_GE(testsupport::find_request(requests, 0xB1, {0x02, 0x00}, type), 0);
}

TEST_F(RunFixture, ExactPacketMultipleEndsOnTheEmptyPacket)
{
    w.button_Init->click();
    w.checkBox_Test->setChecked(true);
    w.checkBox_Record->setChecked(false);
    // 31 microphones and the counter: 32 channels; 4 kHz for 51.2 s gives
    // 204 800 frames = 25 packets of 8192 frames.
    w.grid[3][7]->click();
    w.show();  // the list scrolls only once laid out
    w.listBox_Freq->verticalScrollBar()->setValue(13);
    ASSERT_EQ(w.list_top_index(), 13);
    w.numericUpDown_Duree->setValue(51.2);
    Principale::own.pane_text.clear();  // the presence test of Init ends on a short packet
    w.button_Start->click();

    EXPECT_EQ(w.n_pkt, 25u);
    EXPECT_EQ(Principale::ntr, 25 * MiB);
    EXPECT_EQ(Principale::ntw, 0u);
    const QString& pane = Principale::own.pane_text;
    EXPECT_FALSE(pane.contains(QStringLiteral("fin en cours"))) << pane.toStdString();
    EXPECT_FALSE(pane.contains(QStringLiteral("Manquent")));
    EXPECT_FALSE(pane.contains(QStringLiteral("un paquet de")));
    EXPECT_TRUE(pane.contains(QStringLiteral("Fin du transfert : 25,0 Mo en")));
    EXPECT_TRUE(dialogs.filters_asked.isEmpty()) << "no file is asked for without recording";
}

TEST_F(RunFixture, OpenEndedRunWithoutRecordingStopsOnStop)
{
    w.button_Init->click();
    w.checkBox_Test->setChecked(true);
    w.checkBox_Record->setChecked(false);
    w.checkBox_Definie->setChecked(false);
    When stop([&] { return Principale::num_pkt >= 3 && !w.button_Stop->isHidden(); },
              [&] { w.button_Stop->click(); });
    w.button_Start->click();

    ASSERT_TRUE(stop.fired);
    EXPECT_EQ(w.n_pkt, 4294967295u);
    const QString& pane = Principale::own.pane_text;
    EXPECT_TRUE(pane.contains(QStringLiteral("Stopped\r\n")));
    const QString frames = SonivarACQ32::fmt::N(static_cast<double>(Principale::ntr / (4 * 33)), 0);
    EXPECT_TRUE(pane.endsWith(QStringLiteral(" soit ") + frames + QStringLiteral(" échantillons\r\n")))
        << pane.right(120).toStdString();
    EXPECT_FALSE(pane.contains(QStringLiteral("Manquent")));
    EXPECT_EQ(testsupport::count_requests(unit.requests(), 0xB1, {0x03, 0x00}), 1);
    EXPECT_TRUE(dialogs.filters_asked.isEmpty());
    EXPECT_TRUE(ends_run_normally(w));
}

// Open-ended recorded runs stop by themselves 16 packets before the disk
// limit, and at once when there is less room than that, including less
// than one packet's (where the packet limit wraps).
TEST_F(RunFixture, OpenEndedRecordingStopsBeforeTheDiskLimit)
{
    // The space left after the reserve, in MiB.
    const std::uint64_t cases[] = {5, 40};
    w.button_Init->click();
    w.checkBox_Test->setChecked(true);
    w.checkBox_Definie->setChecked(false);
    for (const std::uint64_t usable_mib : cases) {
        SCOPED_TRACE(usable_mib);
        SonivarACQ32::platform::free_space_seam().install(
            [&](const std::string&) { return std::optional<std::uint64_t>(reserve + usable_mib * MiB); });
        Principale::own.pane_text.clear();
        dialogs.answers.push_back(data_path());
        w.button_Start->click();

        EXPECT_EQ(w.n_pkt, static_cast<std::uint32_t>(usable_mib - 1));
        // Stopped once, by the program, saying why: the unit would stream on.
        EXPECT_EQ(Principale::own.pane_text.count(QStringLiteral("Stopped\r\n")), 1);
        EXPECT_TRUE(Principale::own.pane_text.contains(QStringLiteral("Limite du disque atteinte")));
        EXPECT_EQ(testsupport::count_requests(unit.requests(), 0xB1, {0x03, 0x00}), 1);
        unit.clear_requests();
        const QByteArray data = testsupport::read_all(data_path());
        EXPECT_EQ(static_cast<std::uint64_t>(data.size()), Principale::ntw);
        EXPECT_EQ(testsupport::first_counter_break(data, 33), -1);
        const auto header = testsupport::read_header(companion("Zv"));
        ASSERT_TRUE(header.has_value());
        EXPECT_EQ(header->nb_ech, Principale::ntw / 4 / 33);
        EXPECT_FALSE(w.file_open);
    }
}

TEST_F(RunFixture, CounterJumpStopsTheRunAndKeepsItsFiles)
{
    unit.jump_counter_at(20000, 7);
    w.button_Init->click();
    dialogs.answers.push_back(data_path());
    w.numericUpDown_Duree->setValue(1.0);
    w.button_Start->click();

    const QString& pane = Principale::own.pane_text;
    const qsizetype error = pane.indexOf(QStringLiteral("Erreur sur le compteur paquet"));
    ASSERT_GE(error, 0);
    EXPECT_GT(pane.indexOf(QStringLiteral("Acquisition stoppée avant la fin\r\n")), error);
    EXPECT_EQ(pane.count(QStringLiteral("Erreur sur le compteur paquet")), 1);
    EXPECT_FALSE(pane.contains(QStringLiteral("Manquent")));
    EXPECT_EQ(testsupport::count_requests(unit.requests(), 0xB1, {0x03, 0x00}), 1);
    const auto header = testsupport::read_header(companion("Zv"));
    ASSERT_TRUE(header.has_value());
    EXPECT_EQ(header->nb_ech, testsupport::read_all(data_path()).size() / 4 / 33);
    EXPECT_TRUE(ends_run_normally(w));
}

// The folder of the recording removed while the run streams: the files went
// with it, and the end of the run says so.
TEST_F(RunFixture, RemovedFolderIsNamedAtTheEndOfTheRun)
{
    const QString folder = dir.filePath(QStringLiteral("mesures"));
    ASSERT_TRUE(QDir().mkpath(folder));
    w.button_Init->click();
    dialogs.answers.push_back(folder + QStringLiteral("/essai.dat"));
    w.numericUpDown_Duree->setValue(1.0);
    When remove([&] { return !w.button_Stop->isHidden(); },
                [&] { QDir(folder).removeRecursively(); });
    w.button_Start->click();

    ASSERT_TRUE(remove.fired);
    EXPECT_TRUE(Principale::own.pane_text.contains(
        QStringLiteral("Le dossier de l'enregistrement n'existe plus : %1\r\n")
            .arg(QDir::toNativeSeparators(folder))))
        << Principale::own.pane_text.right(300).toStdString();
    EXPECT_TRUE(ends_run_normally(w));
}

// A unit that fails mid-run: each run ends by itself, with what arrived
// written and the header saved.
enum class Fault { Unplug, IgnoreStop, TransferError };

struct FailingUnit : RunFixture, ::testing::WithParamInterface<Fault> {};

TEST_P(FailingUnit, EndsTheRunByItself)
{
    const Fault fault = GetParam();
    w.button_Init->click();
    dialogs.answers.push_back(data_path());
    w.checkBox_Definie->setChecked(false);
    auto stop_when = [&](std::uint32_t packets) {
        return std::make_unique<When>(
            [&w = w, packets] { return Principale::num_pkt >= packets && !w.button_Stop->isHidden(); },
            [&w = w] { w.button_Stop->click(); });
    };
    std::unique_ptr<When> stop;
    switch (fault) {
    case Fault::Unplug: unit.unplug_after(3 * MiB + 1000); break;
    case Fault::IgnoreStop:
        unit.ignore_stop(true);
        stop = stop_when(2);
        break;
    case Fault::TransferError:
        unit.fail_transfer(2, sim::Failure::Error);
        stop = stop_when(6);  // unless the lost packet already stopped it
        break;
    }
    w.button_Start->click();

    EXPECT_FALSE(w.run_active);
    EXPECT_EQ(Principale::own.ring.in_flight(), 0);
    for (auto* t : Principale::transfert)
        EXPECT_EQ(t, nullptr) << "transfers are freed";
    const QByteArray data = testsupport::read_all(data_path());
    EXPECT_EQ(static_cast<std::uint64_t>(data.size()), Principale::ntw);
    const auto header = testsupport::read_header(companion("Zv"));
    ASSERT_TRUE(header.has_value());
    EXPECT_EQ(header->nb_ech, Principale::ntw / 4 / 33);
    if (fault == Fault::Unplug)
        EXPECT_TRUE(testsupport::left_for_a_new_init(w, dialogs.alerts));
    else
        EXPECT_TRUE(ends_run_normally(w));
    const QString& pane = Principale::own.pane_text;
    switch (fault) {
    case Fault::Unplug:
        // Every whole frame that reached the host, the cut transfer's too;
        // the torn frame after them is not kept.
        EXPECT_EQ(Principale::ntw, (3 * MiB + 1000) / (33 * 4) * (33 * 4));
        EXPECT_EQ(testsupport::first_counter_break(data, 33), -1);
        break;
    case Fault::IgnoreStop:
        // Either the program takes the transfers back or they time out.
        EXPECT_TRUE(pane.contains(QStringLiteral("n'a pas terminé l'envoi après Stop")))
            << pane.right(400).toStdString();
        break;
    case Fault::TransferError:
        EXPECT_TRUE(pane.contains(QStringLiteral("Erreur lors du transfert du paquet")));
        break;
    }
}

std::string fault_name(const ::testing::TestParamInfo<Fault>& info)
{
    switch (info.param) {
    case Fault::Unplug: return "Unplug";
    case Fault::IgnoreStop: return "IgnoreStop";
    case Fault::TransferError: return "TransferError";
    }
    return "Unknown";
}

INSTANTIATE_TEST_SUITE_P(Run, FailingUnit,
                         ::testing::Values(Fault::Unplug, Fault::IgnoreStop, Fault::TransferError),
                         fault_name);

// A unit unplugged while the window sat idle: Start names the loss before
// anything is recorded, and after a replug an Init makes the next run whole.
TEST_F(RunFixture, StartOnAUnitUnpluggedWhileIdleAsksForAnInit)
{
    w.button_Init->click();
    dialogs.answers.push_back(data_path());
    w.button_Fichier->click();
    ASSERT_TRUE(w.file_open);
    w.numericUpDown_Duree->setValue(1.0);
    unit.detach();
    w.button_Start->click();

    EXPECT_TRUE(testsupport::left_for_a_new_init(w, dialogs.alerts));
    EXPECT_FALSE(w.file_open);
    EXPECT_EQ(Principale::Filep, nullptr);
    EXPECT_EQ(QFileInfo(data_path()).size(), 0);
    EXPECT_EQ(QFileInfo(companion("Zv")).size(), 0);
    testsupport::expect_ring_freed();

    unit.attach();
    w.button_Init->click();
    dialogs.answers.push_back(data_path());
    w.button_Start->click();
    EXPECT_TRUE(ends_run_normally(w));
    const QByteArray data = testsupport::read_all(data_path());
    EXPECT_EQ(static_cast<std::uint64_t>(data.size()), Principale::ntw);
    EXPECT_EQ(testsupport::first_counter_break(data, 33), -1);
}

TEST_F(RunFixture, FullDiskStopsTheRunAndClosesItsFiles)
{
    // The data file may not grow past 2.5 MiB: the third packet's write
    // comes up short, as on a full disk.
    const rlim_t limit = 5 * MiB / 2;
    testsupport::FileSizeLimit disk;
    w.button_Init->click();
    dialogs.answers.push_back(data_path());
    w.numericUpDown_Duree->setValue(1.0);
    ASSERT_TRUE(disk.set(limit));
    w.button_Start->click();
    disk.lift();

    const QString& pane = Principale::own.pane_text;
    const qsizetype report = pane.indexOf(QStringLiteral("Erreur d'écriture dans le fichier de données"));
    ASSERT_GE(report, 0);
    EXPECT_EQ(pane.count(QStringLiteral("Erreur d'écriture dans le fichier de données")), 1);
    EXPECT_GT(pane.indexOf(QStringLiteral("Acquisition stoppée avant la fin\r\n")), report);
    const QByteArray data = testsupport::read_all(data_path());
    EXPECT_LE(static_cast<rlim_t>(data.size()), limit);
    EXPECT_LT(Principale::ntw, Principale::ntr);
    const auto header = testsupport::read_header(companion("Zv"));
    ASSERT_TRUE(header.has_value());
    EXPECT_EQ(header->nb_ech, Principale::ntw / 4 / 33);
    EXPECT_FALSE(w.file_open);
    EXPECT_TRUE(ends_run_normally(w));
}

// The disk fills once the run streams: data writes fail, and so does the
// final description, which needs new room. The early description stays
// whole beside the final header, and the pane names the file left behind.
TEST_F(RunFixture, FinalDescriptionThatCannotBeWrittenLeavesTheEarlyOne)
{
    testsupport::FileSizeLimit disk;
    // Room for the header record rewritten in place, not for a new description.
    const rlim_t full = sizeof(SonivarACQ32::type_header_file);
    w.button_Init->click();
    dialogs.answers.push_back(data_path());
    w.checkBox_Definie->setChecked(false);
    QByteArray early_log;
    When fill([&] { return Principale::ntw >= MiB && !w.button_Stop->isHidden(); }, [&] {
        early_log = testsupport::read_all(companion("log"));
        ASSERT_GT(static_cast<rlim_t>(early_log.size()), full);
        disk.set(full);
    });
    w.button_Start->click();
    disk.lift();

    ASSERT_TRUE(fill.fired);
    EXPECT_TRUE(Principale::own.pane_text.contains(
        QStringLiteral("Erreur d'écriture du fichier de description %1 : ").arg(companion("log"))))
        << Principale::own.pane_text.right(400).toStdString();
    EXPECT_EQ(testsupport::read_all(companion("log")), early_log);
    const auto header = testsupport::read_header(companion("Zv"));
    ASSERT_TRUE(header.has_value());
    EXPECT_EQ(header->nb_ech, QFileInfo(data_path()).size() / 4 / 33);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 3) << "no temporary left";
}

// No room from the start (a file-size limit below the header record): every
// write of the three files fails, and each failure gives the system's reason,
// the later ones as much as the first.
TEST_F(RunFixture, EveryWriteFailureKeepsItsReason)
{
    testsupport::FileSizeLimit disk;
    w.button_Init->click();
    dialogs.answers.push_back(data_path());
    w.numericUpDown_Duree->setValue(0.5);
    ASSERT_TRUE(disk.set(1000));
    w.button_Start->click();
    disk.lift();

    const QString& pane = Principale::own.pane_text;
    EXPECT_GE(pane.count(QStringLiteral("Erreur d'écriture du fichier d'en-tête")), 2) << pane.right(600).toStdString();
    EXPECT_TRUE(pane.contains(QStringLiteral("Erreur d'écriture dans le fichier de données (")));
    EXPECT_FALSE(pane.contains(QStringLiteral("erreur inconnue"))) << pane.right(600).toStdString();
}

// Names up to the system's limit (255 bytes): the final description still
// replaces the early one.
TEST_F(RunFixture, LongestNamesGetTheirFinalDescription)
{
    w.button_Init->click();
    w.numericUpDown_Duree->setValue(0.1);
    for (const int length : {246, 251}) {
        SCOPED_TRACE(length);
        const QString base = dir.filePath(QString(length - 4, QLatin1Char('n')));
        dialogs.answers.push_back(base + QStringLiteral(".dat"));
        w.button_Start->click();
        EXPECT_TRUE(testsupport::read_all(base + QStringLiteral(".log")).contains("Nb_ech = 5000\r\n"));
        EXPECT_FALSE(Principale::own.pane_text.contains(QStringLiteral("Erreur d'écriture du fichier de description")));
    }
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 6) << "no temporary left";
}

TEST_F(RunFixture, ClosingTheWindowStopsTheRunAndKeepsItsFiles)
{
    w.show();
    w.button_Init->click();
    dialogs.answers.push_back(data_path());
    w.checkBox_Definie->setChecked(false);
    When close([&] { return Principale::num_pkt >= 3; }, [&] { w.close(); });
    w.button_Start->click();

    ASSERT_TRUE(close.fired);
    EXPECT_TRUE(w.disposed) << "the window closes once the files are written";
    EXPECT_EQ(testsupport::count_requests(unit.requests(), 0xB1, {0x03, 0x00}), 1);
    const QByteArray data = testsupport::read_all(data_path());
    EXPECT_GT(data.size(), 0);
    const auto header = testsupport::read_header(companion("Zv"));
    ASSERT_TRUE(header.has_value());
    EXPECT_EQ(header->nb_ech, static_cast<std::uint64_t>(data.size()) / 4 / 33);
}

// While a recorded run streams, its companions already say what the data
// file holds (a crash from then on leaves a readable recording); the end of
// the run replaces them whole, leaving nothing else in the folder.
TEST_F(RunFixture, CompanionsAreOnDiskWhileTheRunStreams)
{
    unit.set_paced(true);
    w.button_Init->click();
    dialogs.answers.push_back(data_path());
    w.checkBox_Definie->setChecked(false);
    std::optional<SonivarACQ32::type_header_file> early;
    QByteArray early_log;
    qint64 data_then = 0;
    std::uint64_t accepted_then = 0;
    When look([&] { return Principale::ntw >= 2 * MiB && !w.button_Stop->isHidden(); }, [&] {
        accepted_then = Principale::ntw;
        data_then = QFileInfo(data_path()).size();
        early = testsupport::read_header(companion("Zv"));
        early_log = testsupport::read_all(companion("log"));
        w.button_Stop->click();
    });
    w.button_Start->click();

    ASSERT_TRUE(look.fired);
    EXPECT_EQ(data_then, static_cast<qint64>(accepted_then)) << "every packet counted is in the file";
    ASSERT_TRUE(early.has_value()) << "the header file must be 2097 bytes";
    EXPECT_EQ(early->nb_ech, 0u);
    EXPECT_FLOAT_EQ(early->duree_acq, 0.0f);
    EXPECT_FLOAT_EQ(early->freq, w.frequence);
    EXPECT_EQ(early->compteurs_actifs[0], 1);
    for (int m = 0; m < 32; ++m)
        EXPECT_EQ(early->micros_actifs[m], 1) << "microphone " << m;
    EXPECT_EQ(early_log.count("\r\n"), SonivarACQ32::lignes_description);

    const auto final_header = testsupport::read_header(companion("Zv"));
    ASSERT_TRUE(final_header.has_value());
    EXPECT_EQ(final_header->nb_ech, Principale::ntw / 4 / 33);
    EXPECT_EQ(std::memcmp(&final_header->date, &early->date, sizeof early->date), 0);
    EXPECT_NE(testsupport::read_all(companion("log")), early_log);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 3);
}

// A run whose eight transfers all failed left the unit streaming: the next
// recording must still start at frame 0 and be whole.
TEST_F(RunFixture, RunAfterEveryTransferFailedStartsAtTheFirstFrame)
{
    w.button_Init->click();
    w.checkBox_Record->setChecked(false);
    w.checkBox_Definie->setChecked(false);
    for (std::uint32_t i = 0; i < SonivarACQ32::nb_slots; ++i)
        unit.fail_transfer(i, sim::Failure::Error);
    w.button_Start->click();
    ASSERT_TRUE(Principale::own.pane_text.contains(QStringLiteral("Plus aucun transfert en cours")));

    w.checkBox_Record->setChecked(true);
    w.checkBox_Definie->setChecked(true);
    w.numericUpDown_Duree->setValue(1.0);
    dialogs.answers.push_back(data_path());
    w.button_Start->click();
    const QByteArray data = testsupport::read_all(data_path());
    EXPECT_EQ(data.size(), 33 * 4 * 50000);
    EXPECT_EQ(testsupport::first_counter_break(data, 33), -1);
}
