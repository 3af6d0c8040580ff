// A recording made by the acquisition window against the simulated unit,
// then inspected, verified and exported by sonivar-dat, and a damaged copy.
#include "stream/stream_format.h"
#include "window_harness.h"
#include "app/format.h"
#include "app/principale.h"
#include "cli_run.h"
#include "carte/carte_acoustique.h"
#include "run_test_support.h"

#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QPushButton>
#include <QTemporaryDir>

#include <hdf5.h>
#include <sndfile.h>

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace {

namespace fs = std::filesystem;

using testsupport::Outcome;

// sonivar-dat in-process; a failing command's reason is on its error stream.
Outcome dat(const std::vector<std::string>& args)
{
    Outcome r = testsupport::run(args);
    r.out += r.err;
    return r;
}

std::vector<std::uint32_t> read_words(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(in), {}};
    std::vector<std::uint32_t> words(bytes.size() / 4);
    std::memcpy(words.data(), bytes.data(), words.size() * 4);
    return words;
}

void write_words(const fs::path& path, const std::vector<std::uint32_t>& words)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(words.data()), static_cast<std::streamsize>(words.size() * 4));
}

// Records one second of every microphone, the counter and the status word.
fs::path record_one_second(const QTemporaryDir& dir, testsupport::WindowHarness& h)
{
    SonivarACQ32::Principale& w = *h.window;
    w.button_Init->click();
    w.checkBox_Test->setChecked(true);
    w.checkBox_Status->setChecked(true);
    w.numericUpDown_Duree->setValue(1.0);
    h.dialogs.answers.push_back(dir.filePath(QStringLiteral("essai.dat")));
    w.button_Start->click();
    h.window.reset();
    return fs::path(dir.filePath(QStringLiteral("essai.dat")).toStdString());
}

TEST(RecordedRun, InspectedVerifiedAndExportedBySonivarDat)
{
    testsupport::WindowHarness h;
    QTemporaryDir dir;
    const fs::path path = record_one_second(dir, h);
    ASSERT_EQ(fs::file_size(path), 34u * 4 * 50000) << "the run did not record one second";

    Outcome r = dat({"info", path.string()});
    ASSERT_EQ(r.code, 0) << r.out;
    EXPECT_NE(r.out.find("Voies par trame : 34\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Voie status : oui (mot 33, dernier de la trame)\n"), std::string::npos);
    EXPECT_NE(r.out.find("Échantillons par voie : 50 000\n"), std::string::npos);

    r = dat({"check", path.string()});
    EXPECT_EQ(r.code, 0) << r.out;

    // Microphones 5 and 20 are words 6 and 21 of each frame (the counter first).
    const fs::path wav = path.parent_path() / "o.wav", h5 = path.parent_path() / "o.h5";
    ASSERT_EQ(dat({"export", path.string(), "--channels", "20,5", "--wav", wav.string(), "--hdf5",
                   h5.string()}).code, 0);
    const auto words = read_words(path);
    SF_INFO info{};
    SNDFILE* sf = sf_open(wav.c_str(), SFM_READ, &info);
    ASSERT_NE(sf, nullptr);
    ASSERT_EQ(info.frames, 50000);
    ASSERT_EQ(info.channels, 2);
    EXPECT_EQ(info.samplerate, 50000);
    std::vector<int> samples(100000);
    ASSERT_EQ(sf_readf_int(sf, samples.data(), 50000), 50000);
    sf_close(sf);
    std::vector<float> values(100000);
    const hid_t file = H5Fopen(h5.c_str(), H5F_ACC_RDONLY, H5P_DEFAULT);
    const hid_t set = H5Dopen2(file, "time_data", H5P_DEFAULT);
    ASSERT_GE(H5Dread(set, H5T_NATIVE_FLOAT, H5S_ALL, H5S_ALL, H5P_DEFAULT, values.data()), 0);
    H5Dclose(set);
    H5Fclose(file);
    std::size_t wav_bad = 0, h5_bad = 0;
    for (std::size_t f = 0; f < 50000; ++f)
        for (std::size_t k = 0; k < 2; ++k) {
            const auto word = static_cast<std::int32_t>(words[f * 34 + (k == 0 ? 6 : 21)]);
            wav_bad += samples[f * 2 + k] != word;
            h5_bad += values[f * 2 + k] != static_cast<float>(word);
        }
    EXPECT_EQ(wav_bad, 0u);
    EXPECT_EQ(h5_bad, 0u);

    // A copy that lost its second 1 MiB packet.
    const fs::path copy = path.parent_path() / "perte.dat";
    fs::copy_file(path.parent_path() / "essai.Zv", path.parent_path() / "perte.Zv");
    fs::copy_file(path.parent_path() / "essai.log", path.parent_path() / "perte.log");
    auto damaged = words;
    damaged.erase(damaged.begin() + SonivarACQ32::stream::packet_words,
                  damaged.begin() + 2 * SonivarACQ32::stream::packet_words);
    write_words(copy, damaged);
    r = dat({"check", copy.string()});
    EXPECT_EQ(r.code, 1) << r.out;
    // 262 144 = 7 710 x 34 + 4: frame 7 711 (word 262 174) meets the hole, which
    // ends at original word 524 318; the next whole frame is 15 422 (word
    // 524 348), 30 words on in the damaged file.
    EXPECT_NE(r.out.find("Écart à la trame 7 711 (octet 1 048 696) : attendu 7711, trouvé 15422, "
                         "7 711 trame(s) perdue(s), après 30 mot(s) de trame incomplète\n"),
              std::string::npos)
        << r.out;
}

// What a crash would leave at any moment of a paced recorded run is the
// files as they stand: the toolkit reads them as an interrupted recording
// holding at least every packet already accepted.
TEST(RecordedRun, CheckedWhileItStreamsAsAnInterruptedRecording)
{
    testsupport::WindowHarness h;
    QTemporaryDir dir;
    SonivarACQ32::Principale& w = *h.window;
    using P = SonivarACQ32::Principale;
    h.unit.set_paced(true);
    w.button_Init->click();
    w.checkBox_Definie->setChecked(false);
    const fs::path path = dir.filePath(QStringLiteral("essai.dat")).toStdString();
    h.dialogs.answers.push_back(QString::fromStdString(path.string()));
    Outcome r{};
    std::uint64_t accepted = 0;
    testsupport::When look([&] { return P::ntw >= 2 * SonivarACQ32::stream::packet_bytes; }, [&] {
        accepted = P::ntw;
        r = dat({"check", path.string()});
        w.button_Stop->click();
    });
    w.button_Start->click();

    ASSERT_TRUE(look.fired);
    EXPECT_EQ(r.code, sonivar_dat::exit_damaged) << r.out;
    const std::uint64_t frames = accepted / (4 * static_cast<std::uint64_t>(P::nb_voies));
    EXPECT_NE(r.out.find("Enregistrement interrompu : " + sonivar_dat::grouped(frames) +
                         " trames lisibles\n"), std::string::npos) << r.out;
    EXPECT_EQ(dat({"check", path.string()}).code, 0) << "the finished recording is whole";
}

// A tone from a point in front of the array, recorded with the map window
// open at its distance: the toolkit's map of the recording finds the source
// where the window's last map put it.
TEST(RecordedRun, MapOfTheRecordingAgreesWithTheWindow)
{
    testsupport::WindowHarness h;
    QTemporaryDir dir;
    SonivarACQ32::Principale& w = *h.window;
    h.unit.set_paced(true);
    h.unit.set_point_source(0.30, -0.20, 1.00, 3150.0, 1.0e6);
    w.button_Init->click();
    w.button_Carte->click();
    w.carte->set_frequence(3150.0);
    w.carte->set_distance(1.0);
    w.numericUpDown_Duree->setValue(1.0);
    const fs::path path = dir.filePath(QStringLiteral("source.dat")).toStdString();
    h.dialogs.answers.push_back(QString::fromStdString(path.string()));
    w.button_Start->click();
    ASSERT_GT(w.carte->cartes, 0u);
    const QPointF seen = w.carte->maximum;

    const fs::path png = path.parent_path() / "carte.png", csv = path.parent_path() / "carte.csv";
    const Outcome r = dat({"map", path.string(), "--geometry", SONIVAR_EXAMPLE_GEOMETRY, "--freq",
                           "3150", "--z", "1", "--png", png.string(), "--csv", csv.string()});
    ASSERT_EQ(r.code, 0) << r.out;
    const auto at = [](double v) { return SonivarACQ32::fmt::N(v, 2).toStdString() + " m"; };
    EXPECT_NE(r.out.find("Maximum : x = " + at(seen.x()) + ", y = " + at(seen.y()) + ", "),
              std::string::npos) << r.out;
    EXPECT_NEAR(seen.x(), 0.30, 0.05);
    EXPECT_NEAR(seen.y(), -0.20, 0.05);
    EXPECT_GT(fs::file_size(png), 0u);
    std::ifstream table(csv);
    std::string header;
    std::getline(table, header);
    EXPECT_EQ(header, "x,y,level_db");
}

} // namespace
