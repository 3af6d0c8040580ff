// sonivar-rec on the simulated unit: the run the window runs, to the byte,
// stopped by Ctrl+C with its files whole, and the exit status of each way a
// run can end.
#include "window_harness.h"
#include "app/format.h"
#include "app/principale.h"
#include "cli_run.h"
#include "spawned.h"
#include "stream/stream_format.h"

#include <QCheckBox>
#include <QListWidget>
#include <QDoubleSpinBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

namespace fs = std::filesystem;

// The launcher builds a bus of its own: the test's is left out.
const std::vector<std::string> own_bus{"LD_PRELOAD", "UMOCKDEV_DIR"};

std::string bytes_of(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// The description without its date and time lines.
std::string undated(const fs::path& log)
{
    std::istringstream in(bytes_of(log));
    std::string kept;
    for (std::string line; std::getline(in, line);)
        if (line.rfind("Date", 0) != 0 && line.rfind("Heure", 0) != 0)
            kept += line + "\n";
    return kept;
}

std::string request_lines(const std::vector<sim::Request>& requests)
{
    std::string text;
    char hex[4];
    for (const sim::Request& r : requests) {
        std::snprintf(hex, sizeof hex, "%02x", r.request);
        text += hex;
        for (std::uint8_t b : r.data) {
            std::snprintf(hex, sizeof hex, " %02x", b);
            text += hex;
        }
        text += "\n";
    }
    return text;
}

std::vector<std::string> rec_command(const std::vector<std::string>& sim_options, const std::vector<std::string>& args)
{
    std::vector<std::string> command{SONIVAR_SIM};
    command.insert(command.end(), sim_options.begin(), sim_options.end());
    command.insert(command.end(), {"--", SONIVAR_REC});
    command.insert(command.end(), args.begin(), args.end());
    return command;
}

TEST(SonivarRec, RecordsWhatTheWindowRecordsAndAsksTheUnitTheSame)
{
    QTemporaryDir dir;
    const fs::path by_window = fs::path(dir.path().toStdString()) / "fenetre";
    const fs::path by_command = fs::path(dir.path().toStdString()) / "commande";
    fs::create_directories(by_window);
    fs::create_directories(by_command);
    std::string window_requests;
    {
        testsupport::WindowHarness h;
        SonivarACQ32::Principale& w = *h.window;
        w.button_Init->click();
        QListWidgetItem* entry = w.listBox_Freq->item(7);  // 25 000 Hz
        w.listBox_Freq->scrollToItem(entry, QAbstractItemView::PositionAtTop);
        emit w.listBox_Freq->itemClicked(entry);
        w.checkBox_Status->setChecked(true);
        w.grid[1][2]->click();
        w.numericUpDown_Duree->setValue(1.0);
        w.button_Comment->click();
        w.textBox_Comment->setPlainText(QStringLiteral("essai\ndeux"));
        w.button_Comment->click();
        h.dialogs.answers.push_back(QString::fromStdString((by_window / "essai.dat").string()));
        w.button_Start->click();
        h.window.reset();
        window_requests = request_lines(h.unit.requests());
    }
    const fs::path requests = by_command / "requests.txt";
    // The description's numbers follow the regional settings, French here
    // as in the window's test.
    testsupport::Spawned rec(rec_command({"--requests", requests.string()},
                                         {(by_command / "essai.dat").string(), "--freq", "25000", "--duration", "1",
                                          "--status", "--mics", "0-9,11-31", "--comment", "essai\ndeux"}),
                             (by_command / "out.txt").string(), own_bus, {"LC_ALL=fr_FR.UTF-8"});
    ASSERT_EQ(rec.wait(), 0) << rec.output();

    EXPECT_EQ(bytes_of(requests), window_requests);
    const std::string data = bytes_of(by_command / "essai.dat");
    EXPECT_EQ(data.size(), 33u * 4 * 25000);
    EXPECT_TRUE(data == bytes_of(by_window / "essai.dat")) << "the data files differ";
    // The header record begins with the date and time of the run.
    EXPECT_EQ(bytes_of(by_command / "essai.Zv").substr(16), bytes_of(by_window / "essai.Zv").substr(16));
    EXPECT_EQ(undated(by_command / "essai.log"), undated(by_window / "essai.log"));
    const auto fr = [](double v) { return SonivarACQ32::fmt::fr(v, 0).toStdString(); };
    EXPECT_NE(rec.output().find("Fin : " + fr(25000) + " trames reçues (1,00 s), " + fr(data.size()) +
                                " octets écrits dans "),
              std::string::npos) << rec.output();
}

// Ctrl+C during an open-ended paced run presses Stop: the files are whole
// and the toolkit finds them complete.
TEST(SonivarRec, CtrlCStopsTheRunWithItsFilesWhole)
{
    QTemporaryDir dir;
    const fs::path data = fs::path(dir.path().toStdString()) / "essai.dat";
    testsupport::Spawned rec(rec_command({"--paced"}, {data.string(), "--open-ended"}),
                             dir.filePath(QStringLiteral("out.txt")).toStdString(), own_bus);
    ASSERT_TRUE(rec.until([&] { return fs::exists(data) && fs::file_size(data) >= 2 * SonivarACQ32::stream::packet_bytes; }))
        << rec.output();
    rec.signal(SIGINT);  // the launcher hands it on
    EXPECT_EQ(rec.wait(), 0) << rec.output();
    const testsupport::Outcome check = testsupport::run({"check", data.string()});
    EXPECT_EQ(check.code, 0) << check.out << check.err;
    EXPECT_NE(check.out.find("Résultat : enregistrement complet"), std::string::npos) << check.out;
}

// During a trigger wait the first Ctrl+C only says how to give up; the
// second abandons the wait, as Abort does.
TEST(SonivarRec, SecondCtrlCAbandonsATriggerWait)
{
    QTemporaryDir dir;
    const fs::path data = fs::path(dir.path().toStdString()) / "essai.dat";
    testsupport::Spawned rec(rec_command({"--paced"}, {data.string(), "--trigger", "in1-rise"}),
                             dir.filePath(QStringLiteral("out.txt")).toStdString(), own_bus);
    const auto says = [&](const char* text) { return rec.output().find(text) != std::string::npos; };
    ASSERT_TRUE(rec.until([&] { return says("Durée : 5.0 s") || says("Durée : 5,0 s"); })) << rec.output();
    rec.signal(SIGINT);
    ASSERT_TRUE(rec.until([&] { return says("Ctrl+C de nouveau pour abandonner"); })) << rec.output();
    rec.signal(SIGINT);
    EXPECT_EQ(rec.wait(), 1) << rec.output();
    EXPECT_TRUE(says("Acquisition arrêtée avant le déclenchement")) << rec.output();
}

struct Ending {
    const char* name;
    std::vector<std::string> sim_options;
    std::vector<std::string> args;  // "OUT" stands for the data file
    int status;
    const char* said;
    bool unit_asked;  // any request reached the unit
};

void PrintTo(const Ending& e, std::ostream* os) { *os << e.name; }

class SonivarRecEnding : public ::testing::TestWithParam<Ending> {};

TEST_P(SonivarRecEnding, ExitStatusSaysHowTheRunEnded)
{
    const Ending& e = GetParam();
    QTemporaryDir dir;
    const fs::path folder = dir.path().toStdString();
    std::vector<std::string> args;
    for (const std::string& a : e.args)
        args.push_back(a == "OUT" ? (folder / "essai.dat").string() : a);
    if (std::string(e.name) == "existing_file")
        std::ofstream(folder / "essai.Zv") << "x";
    std::vector<std::string> command = rec_command(e.sim_options, args);
    if (std::string(e.name) == "file_size_limit") {  // writes past 2 MiB fail
        command.insert(command.end() - static_cast<long>(args.size()) - 1,
                       {"sh", "-c", "ulimit -f 2048; exec \"$0\" \"$@\""});
    }
    command.insert(command.begin() + 1, {"--requests", (folder / "requests.txt").string()});
    // No sound server in its (empty) runtime folder.
    testsupport::Spawned rec(command, (folder / "out.txt").string(), own_bus, {"XDG_RUNTIME_DIR=" + folder.string()});
    EXPECT_EQ(rec.wait(), e.status) << rec.output();
    EXPECT_NE(rec.output().find(e.said), std::string::npos) << rec.output();
    EXPECT_EQ(!bytes_of(folder / "requests.txt").empty(), e.unit_asked);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SonivarRecEnding,
    ::testing::Values(
        Ending{"bad_frequency", {}, {"OUT", "--freq", "44100"}, 2, "fréquence 44100 Hz inconnue", false},
        Ending{"bad_microphones", {}, {"OUT", "--mics", "3-40"}, 2, "liste de microphones illisible", false},
        Ending{"duration_and_open_ended", {}, {"OUT", "--duration", "2", "--open-ended"}, 2, "s'excluent", false},
        Ending{"existing_file", {}, {"OUT"}, 2, "existe déjà (--replace pour le remplacer)", false},
        Ending{"no_unit", {"--absent"}, {"OUT"}, 3, "Pas de détection de Sonivar", false},
        Ending{"unit_silent", {"--silent"}, {"OUT"}, 3, "Sonivar 32 ne répond pas", true},
        Ending{"unit_unplugged", {"--unplug-after", "3000000"}, {"OUT", "--duration", "3"}, 1,
               "Sonivar 32 déconnecté", true},
        Ending{"file_size_limit", {}, {"OUT", "--duration", "3"}, 1, "Erreur d'écriture dans le fichier", true},
        Ending{"without_file", {}, {"--no-file", "--duration", "1", "--float"}, 0, "trames reçues (1,00 s), 0 octets écrits\n",
               true},
        Ending{"stream_without_sound_server", {}, {"--no-file", "--duration", "1", "--stream"}, 0,
               "Diffusion du flux impossible : aucun serveur PipeWire ; l'acquisition continue", true}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
