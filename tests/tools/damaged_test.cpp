// Recordings whose files are damaged or are not files at all, and exports
// aimed at the recording itself: every command refuses them with a message,
// leaves the inputs as they were and leaves nothing at the output paths.
#include "cli_run.h"
#include "cli.h"
#include "recording_maker.h"

#include <sndfile.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstddef>
#include <filesystem>
#include <limits>
#include <sstream>
#include <sys/stat.h>

namespace {

namespace fs = std::filesystem;
using testsupport::RecordingPlan;

using testsupport::Outcome;
using testsupport::run;

fs::path companion(const fs::path& dat, const char* ext) { return fs::path(dat).replace_extension(ext); }

// What a path holds: its kind, where a link points, the bytes of a file.
std::string snapshot(const fs::path& p)
{
    const fs::file_status st = fs::symlink_status(p);
    std::string s = std::to_string(static_cast<int>(st.type())) + ":";
    if (fs::is_symlink(st))
        s += fs::read_symlink(p).string();
    else if (fs::is_regular_file(st)) {
        const auto bytes = testsupport::read_bytes(p);
        s.append(bytes.begin(), bytes.end());
    }
    return s;
}

std::vector<std::string> snapshots(const std::vector<fs::path>& paths)
{
    std::vector<std::string> all;
    for (const auto& p : paths)
        all.push_back(snapshot(p));
    return all;
}

std::vector<std::string> folder_listing(const fs::path& dir)
{
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

void rewrite_header(const fs::path& dat, void (*change)(SonivarACQ32::type_header_file&))
{
    RecordingPlan plan;
    auto h = testsupport::header_for(plan);
    change(h);
    testsupport::write_bytes(companion(dat, ".Zv"), &h, sizeof h);
}

void replace_in_log(const fs::path& dat, const std::string& from, const std::string& to)
{
    const auto bytes = testsupport::read_bytes(companion(dat, ".log"));
    std::string text(bytes.begin(), bytes.end());
    text.replace(text.find(from), from.size(), to);
    testsupport::write_bytes(companion(dat, ".log"), text.data(), text.size());
}

struct Fault {
    const char* name;
    void (*apply)(const fs::path& dat);
    std::string message;  // a piece of every command's error
};

void PrintTo(const Fault& f, std::ostream* os) { *os << f.name; }

const Fault faults[] = {
    {"log_is_a_folder",
     [](const fs::path& d) { fs::remove(companion(d, ".log")); fs::create_directory(companion(d, ".log")); },
     "est un dossier, pas un fichier ordinaire"},
    {"log_is_a_pipe",
     [](const fs::path& d) { fs::remove(companion(d, ".log")); ::mkfifo(companion(d, ".log").c_str(), 0644); },
     "est un tube nommé, pas un fichier ordinaire"},
    {"log_links_to_dev_zero",
     [](const fs::path& d) { fs::remove(companion(d, ".log")); fs::create_symlink("/dev/zero", companion(d, ".log")); },
     "est un périphérique, pas un fichier ordinaire"},
    {"header_links_to_dev_zero",
     [](const fs::path& d) { fs::remove(companion(d, ".Zv")); fs::create_symlink("/dev/zero", companion(d, ".Zv")); },
     "fichier d'en-tête : "},
    {"data_is_a_folder",
     [](const fs::path& d) { fs::remove(d); fs::create_directory(d); },
     "fichier de données : "},
    {"huge_log",
     [](const fs::path& d) { fs::resize_file(companion(d, ".log"), 2u << 20); },
     "fichier de description trop grand"},
    {"frequency_0",
     [](const fs::path& d) { rewrite_header(d, [](auto& h) { h.freq = 0; }); },
     "(freq = 0 Hz"},
    {"frequency_below_the_units_slowest",
     [](const fs::path& d) { rewrite_header(d, [](auto& h) { h.freq = 0.3f; }); },
     "attendu entre 1953 et 500000"},
    {"frequency_nan",
     [](const fs::path& d) { rewrite_header(d, [](auto& h) { h.freq = std::numeric_limits<float>::quiet_NaN(); }); },
     "(freq = nan Hz"},
    {"frequency_inf",
     [](const fs::path& d) { rewrite_header(d, [](auto& h) { h.freq = std::numeric_limits<float>::infinity(); }); },
     "(freq = inf Hz"},
    {"duration_inf",
     [](const fs::path& d) { rewrite_header(d, [](auto& h) { h.duree_acq = std::numeric_limits<float>::infinity(); }); },
     "(duree_acq = inf s)"},
    {"type_byte_7",
     [](const fs::path& d) { rewrite_header(d, [](auto& h) { h.type_float = 7; }); },
     "(type_float = 7, attendu 0 ou 1)"},
    {"microphone_past_the_unit",
     [](const fs::path& d) { rewrite_header(d, [](auto& h) { h.micros_actifs[40] = 1; }); },
     "micros_actifs[40] = 1"},
    {"microphone_flag_2",
     [](const fs::path& d) { rewrite_header(d, [](auto& h) { h.micros_actifs[3] = 2; }); },
     "(micros_actifs[3] = 2, attendu 0 ou 1)"},
    {"analog_input_flagged",
     [](const fs::path& d) { rewrite_header(d, [](auto& h) { h.va_actives[5] = 1; }); },
     "entrée analogique active dans l'en-tête (va_actives[5] = 1)"},
    {"month_13",
     [](const fs::path& d) { rewrite_header(d, [](auto& h) { h.date.wMonth = 13; }); },
     "date invalide"},
    {"no_channel",
     [](const fs::path& d) { replace_in_log(d, "Nb_voies = 9", "Nb_voies = 0"); },
     "Nb_voies = 0"},
    {"too_many_channels",
     [](const fs::path& d) { replace_in_log(d, "Nb_voies = 9", "Nb_voies = 40"); },
     "Nb_voies = 40"},
    {"log_disagrees_on_microphones",
     [](const fs::path& d) { replace_in_log(d, "Nb_micros_actifs = 8", "Nb_micros_actifs = 7"); },
     "Nb_micros_actifs = 7, l'en-tête en active 8"},
    {"log_disagrees_on_counters",
     [](const fs::path& d) { replace_in_log(d, "Nb_compteurs = 1", "Nb_compteurs = 0"); },
     "Nb_compteurs = 0, l'en-tête en active 1"},
};

using Refused = testsupport::InFreshFolder<Fault>;

TEST_P(Refused, ByEveryCommandWithInputsUntouched)
{
    const Fault& f = GetParam();
    const fs::path dat = testsupport::write_recording(dir.path(), "essai", RecordingPlan{});
    f.apply(dat);
    const std::vector<fs::path> inputs = {dat, companion(dat, ".Zv"), companion(dat, ".log")};
    const auto before = snapshots(inputs);
    const auto listing = folder_listing(dir.path());
    const fs::path wav = dir.path() / "o.wav", h5 = dir.path() / "o.h5";
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"info", dat.string()}, {"check", dat.string()},
          {"export", dat.string(), "--wav", wav.string(), "--hdf5", h5.string()}}) {
        const Outcome r = run(args);
        EXPECT_EQ(r.code, sonivar_dat::exit_usage) << args[0] << "\n" << r.out << r.err;
        EXPECT_NE(r.err.find(f.message), std::string::npos) << args[0] << ": " << r.err;
        EXPECT_TRUE(r.out.empty()) << args[0] << ": " << r.out;
    }
    EXPECT_EQ(snapshots(inputs), before);
    EXPECT_EQ(folder_listing(dir.path()), listing);  // no output, no temporary file
}

INSTANTIATE_TEST_SUITE_P(Recordings, Refused, testing::ValuesIn(faults),
                         [](const auto& info) { return std::string(info.param.name); });

// An output that is one of the inputs, however it is named.
struct SelfExport {
    const char* name;
    const char* option;
    const char* input;  // extension of the input the output names
    bool through_link;
    const char* through = nullptr;  // a folder climbed back out of: "absent/..", "a//..//"
};

void PrintTo(const SelfExport& s, std::ostream* os) { *os << s.name; }

using ExportOntoInput = testsupport::InFreshFolder<SelfExport>;

TEST_P(ExportOntoInput, IsRefusedAndTouchesNothing)
{
    const SelfExport& s = GetParam();
    const fs::path dat = testsupport::write_recording(dir.path(), "essai", RecordingPlan{});
    const fs::path target = companion(dat, s.input);
    fs::path output = dir.path() / "." / target.filename();
    if (s.through_link) {
        output = dir.path() / "lien.out";
        fs::create_symlink(target, output);
    }
    if (s.through != nullptr)  // refused whether the system reaches the input or nothing
        output = (dir.path() / s.through).string() + target.filename().string();
    const std::vector<fs::path> paths = {dat, companion(dat, ".Zv"), companion(dat, ".log"), output};
    const auto before = snapshots(paths);
    const auto listing = folder_listing(dir.path());
    const Outcome r = run({"export", dat.string(), s.option, output.string()});
    EXPECT_EQ(r.code, sonivar_dat::exit_usage) << r.out << r.err;
    EXPECT_NE(r.err.find(s.through == nullptr ? "est un des fichiers que la commande lit" : "refusé"), std::string::npos)
        << r.err;
    EXPECT_EQ(snapshots(paths), before);
    EXPECT_EQ(folder_listing(dir.path()), listing);
}

INSTANTIATE_TEST_SUITE_P(
    Outputs, ExportOntoInput,
    testing::Values(SelfExport{"wav_onto_data", "--wav", ".dat", false},
                    SelfExport{"wav_onto_header_link", "--wav", ".Zv", true},
                    SelfExport{"wav_onto_description_link", "--wav", ".log", true},
                    SelfExport{"hdf5_onto_data_link", "--hdf5", ".dat", true},
                    SelfExport{"hdf5_onto_header", "--hdf5", ".Zv", false},
                    SelfExport{"hdf5_onto_description_link", "--hdf5", ".log", true},
                    SelfExport{"wav_onto_description_past_a_missing_folder", "--wav", ".log", false, "absent/../"},
                    SelfExport{"hdf5_onto_data_past_a_missing_folder", "--hdf5", ".dat", false, "a//..//"},
                    SelfExport{"wav_onto_header_through_a_real_folder", "--wav", ".Zv", false, "./"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ExportOutputs, SpecialFilesAndOneFileForBothAreRefused)
{
    testsupport::TempDir dir;
    const fs::path dat = testsupport::write_recording(dir.path(), "essai", RecordingPlan{});
    const std::string same = (dir.path() / "o.out").string();
    for (const auto& [args, message] : std::vector<std::pair<std::vector<std::string>, std::string>>{
             {{"export", dat.string(), "--hdf5", "/dev/full"}, "est un périphérique"},
             {{"export", dat.string(), "--wav", dir.path().string()}, "est un dossier"},
             {{"export", dat.string(), "--wav", same, "--hdf5", dir.path() / "." / "o.out"},
              "--wav et --hdf5 nomment le même fichier"}}) {
        const Outcome r = run(args);
        EXPECT_EQ(r.code, sonivar_dat::exit_usage) << r.err;
        EXPECT_NE(r.err.find(message), std::string::npos) << r.err;
    }
    EXPECT_FALSE(fs::exists(same));
    EXPECT_EQ(folder_listing(dir.path()), (std::vector<std::string>{"essai.Zv", "essai.dat", "essai.log"}));
}

TEST(ExportOutputs, AFailedExportLeavesTheEarlierFileAndNoTemporaryOne)
{
    testsupport::TempDir dir;
    const fs::path dat = testsupport::write_recording(dir.path(), "essai", RecordingPlan{});
    const fs::path wav = dir.path() / "o.wav";
    testsupport::write_bytes(wav, "avant", 5);
    // The HDF5 cannot be created (its folder is a file): the WAV, already
    // written aside, is dropped too.
    const Outcome r = run({"export", dat.string(), "--wav", wav.string(), "--hdf5",
                           (dir.path() / "essai.log" / "o.h5").string()});
    EXPECT_EQ(r.code, sonivar_dat::exit_damaged);
    EXPECT_NE(r.err.find("création impossible de "), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("n'est pas un dossier"), std::string::npos) << r.err;  // in French
    EXPECT_EQ(snapshot(wav), "1:avant");
    EXPECT_EQ(folder_listing(dir.path()),
              (std::vector<std::string>{"essai.Zv", "essai.dat", "essai.log", "o.wav"}));
}

TEST(Interrupted, EveryWholeFrameIsReadAndExported)
{
    testsupport::TempDir dir;
    RecordingPlan plan;
    plan.frames = 3001;
    auto words = testsupport::stream_words(plan);
    words.resize(words.size() - 5);  // the last frame torn: 3 000 whole ones
    plan.interrupted = true;
    const fs::path dat = testsupport::write_recording(dir.path(), "coupe", plan, words);
    Outcome r = run({"info", dat.string()});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("Enregistrement interrompu : 3 000 trames lisibles\n"), std::string::npos) << r.out;
    r = run({"check", dat.string()});
    EXPECT_EQ(r.code, sonivar_dat::exit_damaged);
    EXPECT_NE(r.out.find("Enregistrement interrompu : 3 000 trames lisibles\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Dernière trame tronquée : 16 octet(s) sur 36\n"), std::string::npos) << r.out;
    const fs::path wav = dir.path() / "coupe.wav";
    r = run({"export", dat.string(), "--wav", wav.string()});
    ASSERT_EQ(r.code, 0) << r.err;
    SF_INFO info{};
    SNDFILE* sf = sf_open(wav.c_str(), SFM_READ, &info);
    ASSERT_NE(sf, nullptr);
    ASSERT_EQ(info.frames, 3000);
    std::vector<int> samples(static_cast<std::size_t>(info.frames * info.channels));
    sf_readf_int(sf, samples.data(), info.frames);
    sf_close(sf);
    std::size_t bad = 0;
    for (std::size_t f = 0; f < 3000; ++f)
        for (std::size_t k = 0; k < plan.micros.size(); ++k)
            bad += static_cast<std::uint32_t>(samples[f * plan.micros.size() + k]) !=
                   testsupport::sample_word(plan.micros[k], f, false);
    EXPECT_EQ(bad, 0u);
}

} // namespace
