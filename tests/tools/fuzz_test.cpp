// Mutated recordings through every command: whatever the bytes, each
// command ends with one of its statuses, leaves the inputs as they were,
// and an export leaves its outputs only when it succeeds. Cases run here by
// default; SONIVAR_DAT_FUZZ_CASES asks for more.
#include "cli_run.h"
#include "recording_maker.h"
#include "stream/calibration_file.h"

#include <gtest/gtest.h>

#include <array>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <sys/stat.h>

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

struct Files {
    Bytes dat, zv, log;
};

int run(const std::vector<std::string>& args) { return testsupport::run(args).code; }

class Mutator {
public:
    explicit Mutator(std::uint32_t state) : rng_(state) {}

    std::size_t below(std::size_t n) { return n == 0 ? 0 : rng_() % n; }
    bool chance(int percent) { return below(100) < static_cast<std::size_t>(percent); }

    // Overwrites, inserts, deletes or truncates at random places of `b`.
    void mutate(Bytes& b)
    {
        switch (below(6)) {
        case 0:  // a few bytes changed
            for (std::size_t k = 0, n = 1 + below(8); k < n && !b.empty(); ++k)
                b[below(b.size())] = static_cast<std::uint8_t>(rng_());
            break;
        case 1:  // a 32-bit word set to a telling value
            if (b.size() >= 4) {
                static const std::uint32_t words[] = {0, 1, 0x7FC00000, 0x7F800000, 0xFFFFFFFF,
                                                      0x80000000, 0x47435000, 7, 40, 0x3F800000};
                std::memcpy(&b[below(b.size() - 3)], &words[below(std::size(words))], 4);
            }
            break;
        case 2:
            b.resize(below(b.size() + 1));
            break;
        case 3:
            b.insert(b.begin() + static_cast<std::ptrdiff_t>(below(b.size() + 1)), 1 + below(64),
                     static_cast<std::uint8_t>(rng_()));
            break;
        case 4:
            if (!b.empty()) {
                const std::size_t at = below(b.size());
                b.erase(b.begin() + static_cast<std::ptrdiff_t>(at),
                        b.begin() + static_cast<std::ptrdiff_t>(at + below(b.size() - at + 1)));
            }
            break;
        default:  // a digit of a number changed, as in a description edited by hand
            for (std::size_t k = 0; k < 16 && !b.empty(); ++k)
                if (auto& c = b[below(b.size())]; c >= '0' && c <= '9') {
                    c = static_cast<std::uint8_t>('0' + below(10));
                    break;
                }
        }
    }

private:
    std::mt19937 rng_;
};

Files base_files(const fs::path& dir)
{
    testsupport::RecordingPlan plan;
    plan.micros = {1, 2, 9, 30};
    plan.status = true;
    plan.frames = 40;
    plan.comment = "essai";
    const fs::path dat = testsupport::write_recording(dir, "base", plan);
    Files f{testsupport::read_bytes(dat), testsupport::read_bytes(fs::path(dat).replace_extension(".Zv")),
            testsupport::read_bytes(fs::path(dat).replace_extension(".log"))};
    fs::remove_all(dir);
    fs::create_directories(dir);
    return f;
}

std::size_t cases_to_run()
{
    const char* asked = std::getenv("SONIVAR_DAT_FUZZ_CASES");
    return asked != nullptr ? std::strtoull(asked, nullptr, 10) : 5000;
}

// One case's inputs on disk: the mutated bytes, or now and then a companion
// that is not a regular file at all. False when a companion is special.
bool lay_out(const fs::path& dir, const Files& f, Mutator& m)
{
    const fs::path paths[] = {dir / "r.dat", dir / "r.Zv", dir / "r.log"};
    const Bytes* bytes[] = {&f.dat, &f.zv, &f.log};
    const std::size_t special = m.chance(3) ? m.below(3) : 3;
    for (std::size_t k = 0; k < 3; ++k) {
        fs::remove_all(paths[k]);
        if (k != special) {
            testsupport::write_bytes(paths[k], bytes[k]->data(), bytes[k]->size());
            continue;
        }
        switch (m.below(3)) {
        case 0: fs::create_directory(paths[k]); break;
        case 1: ::mkfifo(paths[k].c_str(), 0644); break;
        default: fs::create_symlink("/dev/zero", paths[k]);
        }
    }
    return special == 3;
}

TEST(Fuzz, MutatedRecordingsNeverCrashHangOrLoseInputs)
{
    testsupport::TempDir dir;
    const Files base = base_files(dir.path());
    const fs::path dat = dir.path() / "r.dat", zv = dir.path() / "r.Zv", log = dir.path() / "r.log";
    const fs::path wav = dir.path() / "o.wav", h5 = dir.path() / "o.h5";
    Mutator m(20240314);
    std::size_t exported = 0, refused = 0;
    const std::size_t cases = cases_to_run();
    for (std::size_t i = 0; i < cases; ++i) {
        Files f = base;
        for (Bytes* b : {&f.dat, &f.zv, &f.log})
            if (m.chance(40))
                m.mutate(*b);
        const bool regular = lay_out(dir.path(), f, m);
        const int info = run({"info", dat.string()});
        const int check = run({"check", dat.string()});
        // Now and then the WAV is aimed at one of the inputs.
        const bool onto_input = regular && m.chance(5);
        const std::array<fs::path, 3> inputs = {dat, zv, log};
        const fs::path wav_out = onto_input ? inputs[m.below(3)] : wav;
        std::vector<std::string> args = {"export", dat.string(), "--wav", wav_out.string()};
        const bool with_hdf5 = m.chance(30);
        if (with_hdf5)
            args.insert(args.end(), {"--hdf5", h5.string()});
        if (m.chance(20))
            args.insert(args.end(), {"--channels", m.chance(50) ? "2,9" : "0-31"});
        const int exp = run(args);
        ASSERT_TRUE(info == 0 || info == 2) << "case " << i << ": info " << info;
        ASSERT_TRUE(check >= 0 && check <= 3) << "case " << i << ": check " << check;
        ASSERT_TRUE(exp >= 0 && exp <= 2) << "case " << i << ": export " << exp;
        ASSERT_TRUE(!onto_input || exp == 2) << "case " << i << ": export onto an input";
        ASSERT_TRUE(!regular || (testsupport::read_bytes(dat) == f.dat && testsupport::read_bytes(zv) == f.zv &&
                                 testsupport::read_bytes(log) == f.log))
            << "case " << i << ": an input changed";
        const long outputs = exp == 0 ? 1 + with_hdf5 : 0;
        ASSERT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()),
                  3 + outputs)
            << "case " << i << ": a file left behind, or one missing";
        exported += exp == 0;
        refused += info == 2;
        fs::remove(wav);
        fs::remove(h5);
    }
    // The mutations reach both sides: recordings still read, and refused ones.
    EXPECT_GT(exported, cases / 10);
    EXPECT_GT(refused, cases / 10);
}

// Float recordings whose words are mutated (NaN, infinities, huge and tiny
// numbers among them), geometry and calibration files now and then mutated
// too, through spectrum, map and listen, whose output is now and then aimed
// at a file the command reads: the inputs stay as they were, no "nan" is
// ever printed, and a command that fails leaves no output.
TEST(Fuzz, FloatWordsAndAnalysisOutputsNeverHarmInputsOrPrintNan)
{
    testsupport::TempDir dir;
    testsupport::RecordingPlan plan;
    plan.micros = {1, 2, 9, 30};
    plan.is_float = true;
    plan.frames = 2048;
    const fs::path dat = testsupport::write_recording(dir.path(), "f", plan);
    const fs::path geometry = dir.path() / "g.xml", calib = dir.path() / "c.xml";
    const Bytes base = testsupport::read_bytes(dat), base_geometry = [] {
        std::ifstream in(SONIVAR_EXAMPLE_GEOMETRY, std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(in), {});
    }();
    SonivarACQ32::stream::Calibration factors;
    factors.factor.fill(1e-8f);
    const std::string calib_text = SonivarACQ32::stream::calibration_xml(factors, "c");
    const Bytes base_calib(calib_text.begin(), calib_text.end());
    Mutator m(20261210);
    const std::size_t cases = std::max<std::size_t>(cases_to_run() / 20, 50);
    std::size_t succeeded = 0;
    for (std::size_t i = 0; i < cases; ++i) {
        Bytes words = base, g = base_geometry, c = base_calib;
        for (int k = 0, n = 1 + static_cast<int>(m.below(6)); k < n; ++k)
            m.mutate(words);
        if (m.chance(10))
            m.mutate(m.chance(50) ? g : c);
        testsupport::write_bytes(dat, words.data(), words.size());
        testsupport::write_bytes(geometry, g.data(), g.size());
        testsupport::write_bytes(calib, c.data(), c.size());
        const std::string command = std::array{"spectrum", "map", "listen"}[m.below(3)];
        const fs::path own = dir.path() / (command == "listen" ? "o.wav" : command == "map" ? "o.png" : "o.csv");
        const bool onto_input = m.chance(10);
        const std::array read = {dat, calib, geometry};  // spectrum reads no geometry
        const fs::path output = onto_input ? read[m.below(command == "spectrum" ? 2 : 3)] : own;
        std::vector<std::string> args = {command, dat.string(), "--calib", calib.string()};
        if (command != "spectrum")
            args.insert(args.end(), {"--geometry", geometry.string()});
        const std::vector<std::string> options = command == "listen" ? std::vector<std::string>{"--at", "0.1,0,1", "--wav"}
                                                 : command == "map"    ? std::vector<std::string>{"--freq", "2000", "--png"}
                                                                       : std::vector<std::string>{"--csv"};
        args.insert(args.end(), options.begin(), options.end());
        args.push_back(output.string());
        const testsupport::Outcome r = testsupport::run(args);
        ASSERT_TRUE(r.code >= 0 && r.code <= 2) << "case " << i << ": " << command << " " << r.code;
        ASSERT_TRUE(!onto_input || r.code == 2) << "case " << i << ": " << command << " onto " << output << ": " << r.code << r.err;
        ASSERT_EQ(testsupport::read_bytes(dat), words) << "case " << i;
        ASSERT_EQ(testsupport::read_bytes(geometry), g) << "case " << i;
        ASSERT_EQ(testsupport::read_bytes(calib), c) << "case " << i;
        ASSERT_EQ(r.out.find("nan"), std::string::npos) << "case " << i << ": [" << r.out << "]";
        ASSERT_EQ(fs::exists(own), r.code == 0 && !onto_input) << "case " << i << ": " << command << r.err;
        succeeded += r.code == 0;
        fs::remove(own);
    }
    EXPECT_GT(succeeded, cases / 4);  // the mutations leave many recordings readable
}

} // namespace
