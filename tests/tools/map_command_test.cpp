// sonivar-dat map on recordings of a simulated point source, and the
// microphone positions that export adds to the HDF5 file.
#include "cli_run.h"
#include "cli.h"
#include "recording_maker.h"

#include "map/focus.h"
#include "map/geometry.h"
#include "picture/map_picture.h"
#include "picture/colour_map.h"
#include "stream/calibration_file.h"
#include "stream/levels.h"
#include "point_source_signals.h"
#include "file_size_limit.h"

#include <QImage>
#include <sndfile.h>
#include <QProcess>

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <csignal>
#include <cmath>
#include <complex>
#include <numbers>
#include <tuple>
#include <numeric>
#include <cstring>
#include <fstream>
#include <iterator>
#include <limits>
#include <map>
#include <sstream>

namespace {

namespace fs = std::filesystem;
namespace am = SonivarACQ32::acoustic_map;

using testsupport::run;
using Cli = testsupport::Outcome;

const std::vector<am::Position>& example()
{
    static const auto g = am::read_geometry(SONIVAR_EXAMPLE_GEOMETRY);
    return g.geometry->positions;
}

std::vector<am::Position> placed(const testsupport::RecordingPlan& plan)
{
    std::vector<am::Position> mics;
    for (int m : plan.micros)
        mics.push_back(example()[m]);
    return mics;
}

// The stream of `frames` (one float per microphone of the plan), counter
// first.
std::vector<std::uint32_t> stream_of(const testsupport::RecordingPlan& plan, const std::vector<float>& frames)
{
    const std::size_t n = plan.micros.size();
    std::vector<std::uint32_t> words;
    for (std::uint32_t f = 0; f < plan.frames; ++f) {
        words.push_back(f);
        for (std::size_t m = 0; m < n; ++m) {
            const float v = frames[f * n + m];
            std::uint32_t w = static_cast<std::uint32_t>(static_cast<std::int32_t>(std::lround(v)));
            if (plan.is_float)
                std::memcpy(&w, &v, 4);
            words.push_back(w);
        }
    }
    return words;
}

// The stream of a recording in which a source sits at `first` for the first
// half of the frames and at `second` for the rest.
std::vector<std::uint32_t> source_stream(const testsupport::RecordingPlan& plan, am::Position first,
                                         am::Position second)
{
    const std::size_t half = plan.frames / 2;
    auto a = testsupport::point_source_frames({first, 3150.0, 1e6}, placed(plan), plan.freq, half);
    const auto b = testsupport::point_source_frames({second, 3150.0, 1e6}, placed(plan), plan.freq,
                                                     plan.frames - half);
    a.insert(a.end(), b.begin(), b.end());
    return stream_of(plan, a);
}

testsupport::RecordingPlan every_microphone(std::uint32_t frames)
{
    testsupport::RecordingPlan plan;
    plan.micros.resize(32);
    std::iota(plan.micros.begin(), plan.micros.end(), 0);
    plan.frames = frames;
    return plan;
}

// A recording of the 32 microphones hearing a source at `at` throughout.
fs::path source_recording(const testsupport::TempDir& dir, std::uint32_t frames, am::Position at)
{
    const testsupport::RecordingPlan plan = every_microphone(frames);
    return testsupport::write_recording(dir.path(), "s", plan, source_stream(plan, at, at));
}

// A CSV table's header and first row.
std::pair<std::string, std::string> csv_head(const fs::path& path)
{
    std::ifstream in(path);
    std::pair<std::string, std::string> head;
    std::getline(in, head.first);
    std::getline(in, head.second);
    return head;
}

TEST(MapCommand, MaximumAtTheSourceOfTheTimeRange)
{
    struct Row {
        bool is_float;
        std::vector<int> micros;
        std::vector<std::string> options;
        const char* maximum;
        const char* method = "Méthode : Formation de voies\n";
    };
    const std::vector<int> all = [] {
        std::vector<int> m(32);
        for (int i = 0; i < 32; ++i)
            m[i] = i;
        return m;
    }();
    const Row rows[] = {
        {false, all, {"--to", "0,16"}, "Maximum : x = 0,30 m, y = -0,20 m, "},
        {true, all, {"--from", "0.17"}, "Maximum : x = -0,50 m, y = 0,40 m, "},
        {false, {0, 3, 4, 7, 24, 27, 28, 31}, {"--to", "0.16"}, "Maximum : x = 0,30 m, y = -0,20 m, "},
        {false, all, {"--to", "0.16", "--method", "functional", "--exponent", "8"},
         "Maximum : x = 0,30 m, y = -0,20 m, ", "Méthode : Fonctionnelle, exposant ν 8\n"},
        {true, all, {"--from", "0.17", "--method=clean-sc", "--loop-gain", "0,5", "--remove-diagonal", "--iterations", "50"},
         "Maximum : x = -0,50 m, y = 0,40 m, ", "Méthode : CLEAN-SC, gain de boucle 0,50, sans la diagonale\n"},
        {false, all, {"--remove-diagonal", "--to", "0.16", "--method", "capon"}, nullptr},
        {false, all, {"--to", "0.16", "--method", "capon", "--loading", "0.01"},
         "Maximum : x = 0,30 m, y = -0,20 m, ", "Méthode : Capon, charge diagonale 0,01000\n"},
    };
    for (const Row& r : rows) {
        testsupport::TempDir dir;
        testsupport::RecordingPlan plan;
        plan.micros = r.micros;
        plan.is_float = r.is_float;
        plan.frames = 16384;  // 0.33 s at 50 kHz
        const auto dat = testsupport::write_recording(
            dir.path(), "source", plan, source_stream(plan, {0.3, -0.2, 1.0}, {-0.5, 0.4, 1.0}));
        std::vector<std::string> args = {"map", dat.string(), "--geometry", SONIVAR_EXAMPLE_GEOMETRY,
                                         "--freq", "3150"};
        args.insert(args.end(), r.options.begin(), r.options.end());
        const Cli c = run(args);
        if (r.maximum == nullptr) {  // an option the method does not take
            EXPECT_EQ(c.code, 2);
            EXPECT_NE(c.err.find("ne vaut que pour"), std::string::npos) << c.err;
            continue;
        }
        EXPECT_EQ(c.code, 0) << c.err;
        EXPECT_NE(c.out.find(r.maximum), std::string::npos) << c.out;
        EXPECT_NE(c.out.find(r.method), std::string::npos) << c.out;
    }
}

TEST(MapCommand, CsvAndPngWritten)
{
    testsupport::TempDir dir;
    const auto dat = source_recording(dir, 4096, {0.3, -0.2, 1.0});
    const fs::path csv = dir.path() / "m.csv", png = dir.path() / "m.png";
    const Cli c = run({"map", dat.string(), "--geometry", SONIVAR_EXAMPLE_GEOMETRY, "--freq=3150",
                       "--band", "bin", "--extent", "0.5", "--step", "0.1", "--csv", csv.string(),
                       "--png", png.string()});
    ASSERT_EQ(c.code, 0) << c.err;
    const auto [header, first] = csv_head(csv);
    EXPECT_EQ(header, "x,y,level_db");
    EXPECT_EQ(first.rfind("-0.5000,-0.5000,", 0), 0u) << first;
    std::ifstream in(csv);
    std::string line;
    int rows = -1;
    while (std::getline(in, line))
        ++rows;
    EXPECT_EQ(rows, 11 * 11);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 5)
        << "the recording's three files and the two outputs, no temporary one";
    // Framed: the facts above, axes, and the scale from its top colour.
    const QImage image(QString::fromStdString(png.string()));
    const int side = 11 * (am::view_pixels / 11);
    const am::FramedLayout layout = am::framed_layout(QSize(side, side), 4);
    ASSERT_EQ(image.size(), layout.size);
    const auto palette = SonivarACQ32::colours::colour_map();
    EXPECT_EQ(image.pixel(layout.scale.center().x(), layout.scale.top()), qRgb(palette.red[127], palette.green[127], palette.blue[127]));
    EXPECT_EQ(image.pixel(layout.scale.center().x(), layout.scale.bottom()), qRgb(palette.red[0], palette.green[0], palette.blue[0]));
    EXPECT_EQ(image.pixel(4, 4), qRgb(255, 255, 255));
    int inked = 0;  // the y axis' labels left of the map
    for (int y = layout.map.top(); y <= layout.map.bottom(); ++y)
        for (int x = 20; x < layout.map.left() - 6; ++x)
            inked += qGray(image.pixel(x, y)) < 128;
    EXPECT_GT(inked, 50);

    // --size: as large as fits, whole pixels per grid point.
    const fs::path large = dir.path() / "grande.png";
    ASSERT_EQ(run({"map", dat.string(), "--geometry", SONIVAR_EXAMPLE_GEOMETRY, "--freq=3150", "--extent", "0.5",
                   "--step", "0.1", "--png", large.string(), "--size", "1200x1000"}).code, 0);
    const QImage grown(QString::fromStdString(large.string()));
    EXPECT_LE(grown.width(), 1200);
    EXPECT_LE(grown.height(), 1000);
    EXPECT_GT(grown.height(), 2 * image.height() - 200) << "far larger than the usual picture";
}

// One framed picture per slice on one scale: the source moves half way.
TEST(MapCommand, SequenceOfSlices)
{
    testsupport::TempDir dir;
    const testsupport::RecordingPlan plan = every_microphone(16384);
    const auto dat = testsupport::write_recording(dir.path(), "s", plan,
                                                  source_stream(plan, {0.3, -0.2, 1.0}, {-0.5, 0.4, 1.0}));
    const fs::path folder = dir.path() / "cartes";
    const Cli c = run({"map", dat.string(), "--geometry", SONIVAR_EXAMPLE_GEOMETRY, "--freq", "3150",
                       "--every", "0.16", "--png-dir", folder.string()});
    ASSERT_EQ(c.code, 0) << c.err;
    EXPECT_NE(c.out.find("Tranche 1 : 0,00 s – 0,16 s, maximum x = 0,30 m, y = -0,20 m, "), std::string::npos) << c.out;
    EXPECT_NE(c.out.find("Tranche 2 : 0,16 s – 0,32 s, maximum x = -0,50 m, y = 0,40 m, "), std::string::npos) << c.out;
    EXPECT_NE(c.out.find("Tranche 3 : 0,32 s – 0,33 s, trop courte : pas de carte\n"), std::string::npos) << c.out;
    EXPECT_TRUE(fs::exists(folder / "carte_0001.png"));
    EXPECT_TRUE(fs::exists(folder / "carte_0002.png"));
    EXPECT_FALSE(fs::exists(folder / "carte_0003.png"));
    EXPECT_EQ(QImage(QString::fromStdString((folder / "carte_0001.png").string())).size(),
              QImage(QString::fromStdString((folder / "carte_0002.png").string())).size());
    EXPECT_EQ(run({"map", dat.string(), "--geometry", SONIVAR_EXAMPLE_GEOMETRY, "--freq", "3150", "--every", "0.1"}).code, 2);
}

// The maximum's level and its unit from map's output: "..., 12,3 dBFS".
std::pair<double, std::string> maximum_level(const std::string& out)
{
    const std::size_t line = out.find("Maximum : ");
    const std::size_t at = out.find(" m, ", out.find("y = ", line)) + 4;
    const std::size_t space = out.find(' ', at);
    std::string number = out.substr(at, space - at);
    std::replace(number.begin(), number.end(), ',', '.');
    return {std::stod(number), out.substr(space + 1, out.find('\n', space) - space - 1)};
}

// Without a calibration the levels are in dBFS; with one, in dB SPL, moved
// by what the factor implies.
TEST(MapCommand, LevelsInDbfsOrDbSpl)
{
    testsupport::TempDir dir;
    const auto dat = source_recording(dir, 4096, {0.3, -0.2, 1.0});
    SonivarACQ32::stream::Calibration calibration;
    calibration.factor.fill(1e-8f);
    const fs::path calib = dir.path() / "calib.xml";
    std::ofstream(calib) << SonivarACQ32::stream::calibration_xml(calibration, "essai");
    const std::vector<std::string> args = {"map", dat.string(), "--geometry", SONIVAR_EXAMPLE_GEOMETRY, "--freq", "3150"};
    const Cli plain = run(args);
    std::vector<std::string> calibrated_args = args;
    calibrated_args.insert(calibrated_args.end(), {"--calib", calib.string()});
    const Cli calibrated = run(calibrated_args);
    ASSERT_EQ(plain.code, 0) << plain.err;
    ASSERT_EQ(calibrated.code, 0) << calibrated.err;
    const auto [fs_level, fs_unit] = maximum_level(plain.out);
    const auto [spl, spl_unit] = maximum_level(calibrated.out);
    EXPECT_EQ(fs_unit, "dBFS");
    EXPECT_EQ(spl_unit, "dB SPL");
    // 0 dBFS is a sine of 2^31 counts, 0 dB SPL a pressure of 20 uPa.
    const double full_scale_sine_pa = 1e-8f * SonivarACQ32::stream::int32_full_scale / std::sqrt(2.0);
    EXPECT_NEAR(spl - fs_level, 20.0 * std::log10(full_scale_sine_pa / SonivarACQ32::stream::reference_pressure), 0.1);
}

// An output that names a file the command reads (the geometry, the
// calibration, the calibration export writes beside its output) is
// refused, exit 2, and the file is left as it was.
TEST(Outputs, NeverOverAFileTheCommandReads)
{
    testsupport::TempDir dir;
    const auto dat = source_recording(dir, 4096, {0.3, -0.2, 1.0});
    const fs::path geometry = dir.path() / "g.xml", calib = dir.path() / "out.calib.xml";
    fs::copy_file(SONIVAR_EXAMPLE_GEOMETRY, geometry);
    SonivarACQ32::stream::Calibration calibration;
    calibration.factor.fill(1e-8f);
    std::ofstream(calib) << SonivarACQ32::stream::calibration_xml(calibration, "essai");
    const auto contents = [](const fs::path& p) {
        std::ifstream in(p, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    const std::string g = geometry.string(), c = calib.string(), d = dat.string();
    const std::string geometry_before = contents(geometry), calib_before = contents(calib);
    const std::vector<std::vector<std::string>> commands = {
        {"map", d, "--geometry", g, "--freq", "1000", "--png", g},
        {"map", d, "--geometry", g, "--freq", "1000", "--calib", c, "--csv", c},
        {"spectrum", d, "--calib", c, "--csv", c},
        {"listen", d, "--geometry", g, "--at", "0,0,1", "--wav", g},
        {"export", d, "--geometry", g, "--hdf5", g},
        {"export", d, "--calib", c, "--wav", (dir.path() / "out.wav").string()},
    };
    for (const auto& args : commands) {
        const Cli r = run(args);
        EXPECT_EQ(r.code, 2) << args[0] << " " << args.back() << ": " << r.out << r.err;
        EXPECT_NE(r.err.find("refusé"), std::string::npos) << r.err;
        EXPECT_EQ(contents(geometry), geometry_before);
        EXPECT_EQ(contents(calib), calib_before);
    }
    EXPECT_FALSE(fs::exists(dir.path() / "out.wav"));
}

// A write that fails (here a file-size limit, as a full disk) is a failure:
// exit 1 with the reason, and nothing left under the output's name.
TEST(Outputs, AFailedWriteIsNeverASuccess)
{
    testsupport::TempDir dir;
    const auto dat = source_recording(dir, 4096, {0.3, -0.2, 1.0});
    const std::string d = dat.string(), g = SONIVAR_EXAMPLE_GEOMETRY;
    const fs::path wav = dir.path() / "o.wav", png = dir.path() / "m.png", spectrum = dir.path() / "s.png";
    const auto ignored = std::signal(SIGXFSZ, SIG_IGN);
    testsupport::FileSizeLimit disk;
    ASSERT_TRUE(disk.set(1000));
    const fs::path csv = dir.path() / "s.csv", h5 = dir.path() / "o.h5", slices = dir.path() / "tranches";
    // A small CSV that fits with a picture that does not: neither is left.
    const std::vector<std::pair<std::vector<std::string>, std::vector<fs::path>>> commands = {
        {{"listen", d, "--geometry", g, "--at", "0,0,1", "--wav", wav.string()}, {wav}},
        {{"map", d, "--geometry", g, "--freq", "3150", "--png", png.string()}, {png}},
        {{"spectrum", d, "--csv", csv.string(), "--png", spectrum.string()}, {csv, spectrum}},
        {{"map", d, "--geometry", g, "--freq", "3150", "--every", "0.03", "--png-dir", slices.string()},
         {slices / "carte_0001.png", slices / "carte_0002.png"}},
        // Its process must also end cleanly: the library keeps nothing open.
        {{"export", d, "--hdf5", h5.string()}, {h5}},
    };
    for (const auto& [args, outputs] : commands) {
        const Cli r = run(args);
        EXPECT_EQ(r.code, 1) << args[0] << ": " << r.out << r.err;
        EXPECT_NE(r.err.find("fichier trop grand"), std::string::npos) << r.err;
        for (const fs::path& output : outputs)
            EXPECT_FALSE(fs::exists(output)) << output;
    }
    disk.lift();
    std::signal(SIGXFSZ, ignored);
}

// Two incoherent sources 10 dB apart, 0.5 m apart: each zone reads its
// source's level, ranked, on the output and in the table.
TEST(MapCommand, ZonesReadTheirSourcesLevels)
{
    testsupport::TempDir dir;
    testsupport::RecordingPlan plan = every_microphone(50000);
    const double strong = 1e6, weak = strong / std::sqrt(10.0);
    auto frames = testsupport::point_source_frames({{-0.25, 0.0, 1.0}, 3150.0, strong}, placed(plan), plan.freq,
                                                   plan.frames);
    const auto other = testsupport::point_source_frames({{0.25, 0.0, 1.0}, 3300.0, weak}, placed(plan), plan.freq,
                                                        plan.frames);
    for (std::size_t i = 0; i < frames.size(); ++i)
        frames[i] += other[i];
    const auto dat = testsupport::write_recording(dir.path(), "deux", plan, stream_of(plan, frames));
    const fs::path csv = dir.path() / "zones.csv", spectra = dir.path() / "spectres.csv";
    const Cli c = run({"map", dat.string(), "--geometry", SONIVAR_EXAMPLE_GEOMETRY, "--freq", "3150", "--zone",
                       "faible:0.05,-0.2,0.45,0.2", "--zone", "fort:@-0.25,0,0.2", "--zone-csv", csv.string(),
                       "--zone-spectrum", spectra.string()});
    ASSERT_EQ(c.code, 0) << c.err;
    const auto dbfs = [](double amplitude) { return 20.0 * std::log10(amplitude / 2147483648.0); };
    const std::size_t first = c.out.find("  1. fort : "), second = c.out.find("  2. faible : ");
    ASSERT_NE(first, std::string::npos) << c.out;
    ASSERT_NE(second, std::string::npos) << c.out;
    std::ifstream table(csv);
    std::string header, row_fort, row_faible;
    std::getline(table, header);
    std::getline(table, row_fort);
    std::getline(table, row_faible);
    EXPECT_EQ(header, "zone,level_db");
    ASSERT_EQ(row_fort.rfind("fort,", 0), 0u) << row_fort;
    ASSERT_EQ(row_faible.rfind("faible,", 0), 0u) << row_faible;
    EXPECT_NEAR(std::stod(row_fort.substr(5)), dbfs(strong), 2.0);
    EXPECT_NEAR(std::stod(row_faible.substr(7)), dbfs(weak), 2.0);
    // Each zone's spectrum: its source's level in the band of its tone
    // (3 150 Hz for both), its loudest band.
    std::ifstream by_band(spectra);
    std::getline(by_band, header);
    EXPECT_EQ(header, "zone,frequency_hz,level_db");
    std::map<std::string, std::pair<std::string, double>> loudest;
    for (std::string row; std::getline(by_band, row);) {
        const std::size_t a = row.find(','), b = row.rfind(',');
        const std::string zone = row.substr(0, a), level = row.substr(b + 1);
        const double db = level == "-inf" ? -1e9 : std::stod(level);
        if (!loudest.count(zone) || db > loudest[zone].second)
            loudest[zone] = {row.substr(a + 1, b - a - 1), db};
    }
    EXPECT_EQ(loudest["fort"].first, "3150");
    EXPECT_EQ(loudest["faible"].first, "3150");
    EXPECT_NEAR(loudest["fort"].second, dbfs(strong), 2.0);
    EXPECT_NEAR(loudest["faible"].second, dbfs(weak), 2.0);
}

TEST(MapCommand, RefusedArguments)
{
    testsupport::TempDir dir;
    const auto dat = testsupport::write_recording(dir.path(), "s", testsupport::RecordingPlan{});
    const std::string g = SONIVAR_EXAMPLE_GEOMETRY;
    const fs::path sequence = dir.path() / "sequence";
    fs::create_directory(sequence);
    // Geometry files that are no file, or far too large: refused before a byte is read.
    const fs::path fifo = dir.path() / "tube.xml", big = dir.path() / "grand.xml";
    ::mkfifo(fifo.c_str(), 0644);
    std::ofstream(big) << std::string(2u << 20, ' ');
    // Under 1 MiB, but more than a reader should ever work through.
    const fs::path wide = dir.path() / "large.xml", deep = dir.path() / "profond.xml";
    {
        std::ofstream out(wide);
        out << "<MicArray";
        for (int a = 0; a < 50000; ++a)
            out << " a" << a << "=\"1\"";
        out << "/>";
    }
    {
        std::ofstream out(deep);
        for (int d = 0; d < 100; ++d)
            out << "<e>";
    }
    fs::create_symlink(dat, sequence / "carte_0002.png");  // a slice's picture would replace the recording
    struct Row {
        std::vector<std::string> args;
        int code;
        const char* says = "";
    };
    const Row rows[] = {
        {{"--freq", "3150"}, 2},                                   // no geometry
        {{"--geometry", g}, 2},                                    // no frequency
        {{"--geometry", g, "--freq", "abc"}, 2},
        {{"--geometry", g, "--freq", "3150", "--band", "octave"}, 2},
        {{"--geometry", g, "--freq", "3150", "--from", "0.5", "--to", "0.1"}, 2},
        {{"--geometry", (dir.path() / "none.xml").string(), "--freq", "3150"}, 2},
        {{"--geometry", g, "--freq", "30000"}, 2, "au-delà de 25 000 Hz à 50 000 Hz"},
        {{"--geometry", g, "--freq", "3150", "--extent", "20", "--step", "0.001"}, 2,
         "un pas d'au moins 0,100 m"},
        {{"--geometry", g, "--freq", "3150"}, 1},                  // 1000 frames: less than a block
        {{"--geometry", g, "--freq", "3150", "--method", "music"}, 2, "das, functional, clean-sc ou capon"},
        {{"--geometry", g, "--freq", "3150", "--calib", g}, 2, "facteur 1 absent"},
        // Outputs over the recording it reads, or twice the same file: refused.
        {{"--geometry", g, "--freq", "3150", "--csv", dat.string()}, 2},
        {{"--geometry", g, "--freq", "3150", "--png", dat.parent_path().string() + "/./s.Zv"}, 2},
        {{"--geometry", g, "--freq", "3150", "--csv", dat.parent_path().string() + "/absent/../s.dat"}, 2, "refusé"},
        {{"--geometry", g, "--freq", "3150", "--csv", (dir.path() / "m").string(), "--png",
          (dir.path() / "m").string()}, 2, "même fichier"},
        {{"--geometry", g, "--freq", "3150", "--method", "functional", "--exponent", "250"}, 2, "(de 1 à 200)"},
        {{"--geometry", g, "--freq", "3150", "--method", "clean-sc", "--loop-gain", "0"}, 2, "(de 0,01 à 1,00)"},
        {{"--geometry", g, "--freq", "3150", "--method", "clean-sc", "--iterations", "2.5"}, 2, "entier"},
        {{"--geometry", g, "--freq", "3150", "--exponent", "4"}, 2, "--exponent ne vaut que pour --method functional"},
        {{"--geometry", g, "--freq", "3150", "--every", "0.01", "--png-dir", sequence.string()}, 2},
        {{"--geometry", fifo.string(), "--freq", "3150"}, 2, "pas un fichier ordinaire"},
        {{"--geometry", "/dev/zero", "--freq", "3150"}, 2, "pas un fichier ordinaire"},
        {{"--geometry", dir.path().string(), "--freq", "3150"}, 2, "pas un fichier ordinaire"},
        {{"--geometry", big.string(), "--freq", "3150"}, 2, "plus de 1 Mio"},
        {{"--geometry", wide.string(), "--freq", "3150"}, 2, "plus de 64 attributs"},
        {{"--geometry", g, "--freq", "3150", "--z", "1e-308"}, 2, "Distance du plan invalide"},
        {{"--geometry", g, "--freq", "3150", "--top", "1e300"}, 2, "(de -400 à 400 dB)"},
        {{"--geometry", g, "--freq", "3150", "--every", "1e308", "--png-dir", sequence.string()}, 2,
         "dépasse la durée"},
        {{"--geometry", deep.string(), "--freq", "3150"}, 2, "plus de 32 niveaux"},
        {{"--geometry", g, "--freq", "3150", "--every", "0", "--png-dir", sequence.string()}, 2, "au moins 0,01 s"},
        {{"--geometry", g, "--freq", "3150", "--every", "0.01", "--png-dir", dat.string()}, 2, "dossier"},
        {{"--geometry", g, "--freq", "3150", "--every", "0.01", "--png-dir", (dir.path() / "courtes").string()}, 1,
         "des tranches de 500 trames, moins que les 1 024 d'un bloc de la carte : aucune carte"},
        {{"--geometry", g, "--freq", "3150", "--png", (dir.path() / std::string(300, 'n')).string()}, 2,
         "nom trop long"},
        {{"--geometry", g, "--freq", "3150", "--size", "100x5000"}, 2, "(LARGEURxHAUTEUR, de 200 à 4000 pixels)"},
        {{"--geometry", g, "--freq", "3150", "--zone", "a:1,2,3"}, 2, "NOM:x0,y0,x1,y1"},
        {{"--geometry", g, "--freq", "3150", "--zone", "a:@0,0,0"}, 2, "un rayon positif"},
        {{"--geometry", g, "--freq", "3150", "--zone", "a:@0,0,0.1", "--zone", "a:0,0,1,1"}, 2, "deux zones nommées"},
        {{"--geometry", g, "--freq", "3150", "--zone", "loin:3,3,4,4"}, 2, "hors de la carte"},
        {{"--geometry", g, "--freq", "3150", "--zone", "fine:@0.01,0.01,0.001"}, 2, "aucun point de la grille"},
        {{"--geometry", g, "--freq", "3150", "--zone-csv", (dir.path() / "z.csv").string()}, 2, "au moins une --zone"},
        {{"--geometry", g, "--freq", "3150", "--zone-spectrum", (dir.path() / "z.csv").string()}, 2,
         "au moins une --zone"},
        {{"--geometry", g, "--fmin", "500"}, 2, "--fmin et --fmax vont ensemble"},
        {{"--geometry", g, "--fmin", "500", "--fmax", "4000", "--freq", "1000"}, 2, "remplacent --freq"},
        {{"--geometry", g, "--fmin", "4000", "--fmax", "500"}, 2, "--fmax doit dépasser --fmin"},
        {{"--geometry", g, "--fmin", "26000", "--fmax", "30000"}, 2, "Bande large invalide"},
        {{"--geometry", g, "--freq", "3150", "--fps", "10"}, 2, "ne vont qu'avec --video"},
        {{"--geometry", g, "--freq", "3150", "--video", (dir.path() / "v.mp4").string(), "--camera", "60,0,0,2,0"}, 2,
         "CHAMP,X,Y,MIROIR,ROTATION"},
        {{"--geometry", g, "--freq", "3150", "--video", (dir.path() / "v.mp4").string(), "--camera", "60,0,0,0,0",
          "--no-camera"}, 2, "--camera ne va pas avec --no-camera"},
        {{"--geometry", g, "--freq", "3150", "--video", (dir.path() / "v.mp4").string(), "--camera", "60,0,0,0,0"}, 2,
         "pas de vidéo de la caméra"},
        {{"--geometry", g, "--freq", "3150", "--video", (dir.path() / "v.mp4").string(), "--photo-size", "2x1"}, 2,
         "--photo-size ne va qu'avec --photo"},
        {{"--geometry", g, "--freq", "3150", "--video", (dir.path() / "v.mp4").string(), "--photo",
          (dir.path() / "absente.png").string()}, 2, "fichier absent"},
        {{"--geometry", g, "--freq", "3150", "--video", (dir.path() / "v.mp4").string(), "--fps", "0"}, 2, "(entier de 1 à 60)"},
        {{"--geometry", g, "--freq", "3150", "--video", (dir.path() / "v.mp4").string(), "--png",
          (dir.path() / "v.png").string()}, 2, "--video ne va pas avec"},
        {{"--geometry", g, "--freq", "3150", "--video", dat.string()}, 2},  // over the recording
    };
    const auto dat_size = fs::file_size(dat);
    for (const Row& r : rows) {
        std::vector<std::string> args = {"map", dat.string()};
        args.insert(args.end(), r.args.begin(), r.args.end());
        const Cli c = run(args);
        EXPECT_EQ(c.code, r.code) << r.args.back() << ": " << c.err;
        EXPECT_FALSE(c.err.empty());
        EXPECT_NE(c.err.find(r.says), std::string::npos) << c.err;
    }
    EXPECT_EQ(fs::file_size(dat), dat_size);  // never written over
}

// A tone of known amplitude reads its own level in its third-octave band,
// and the narrow-band peak lies within one bin of it; one microphone or the
// mean over all.
// Float words that are no number are left out as silence and counted:
// no "nan" in any line or file.
TEST(SpectrumCommand, NonFiniteSamplesAreLeftOutAndCounted)
{
    testsupport::TempDir dir;
    testsupport::RecordingPlan plan;
    plan.is_float = true;
    plan.frames = 4096;
    std::vector<std::uint32_t> words = testsupport::stream_words(plan);
    const std::size_t voies = static_cast<std::size_t>(plan.nb_voies());
    for (std::size_t f = 0; f < plan.frames; ++f) {
        const float value = f % 100 == 7 ? std::numeric_limits<float>::quiet_NaN()
                            : f % 100 == 8 ? std::numeric_limits<float>::infinity()
                                           : static_cast<float>(0.01 * std::sin(0.3 * static_cast<double>(f)));
        std::memcpy(&words[f * voies + 1], &value, sizeof value);  // the first microphone, after the counter
    }
    const auto dat = testsupport::write_recording(dir.path(), "mots", plan, words);
    const fs::path csv = dir.path() / "s.csv";
    const Cli c = run({"spectrum", dat.string(), "--csv", csv.string()});
    ASSERT_EQ(c.code, 0) << c.err;
    EXPECT_NE(c.out.find("laissés de côté comme silence : 82"), std::string::npos) << c.out;
    std::ifstream in(csv);
    const std::string written(std::istreambuf_iterator<char>(in), {});
    for (const std::string& text : {c.out, written})
        for (const char* undefined : {"nan", " inf ", "-inf", ",inf", "inf\n"})
            EXPECT_EQ(text.find(undefined), std::string::npos) << undefined << " in " << text.substr(0, 300);

    // Samples all zero have no level in dB: silence, -inf in the tables.
    for (std::size_t f = 0; f < plan.frames; ++f)
        std::fill_n(words.begin() + static_cast<std::ptrdiff_t>(f * voies + 1), voies - 1, 0u);
    const auto silent = testsupport::write_recording(dir.path(), "muet", plan, words).string();
    const Cli spectrum = run({"spectrum", silent, "--csv", csv.string()});
    EXPECT_NE(spectrum.out.find("Pic : silence\n"), std::string::npos) << spectrum.out;
    std::ifstream again(csv);
    EXPECT_NE(std::string(std::istreambuf_iterator<char>(again), {}).find(",-inf\n"), std::string::npos);
    const Cli map = run({"map", silent, "--geometry", SONIVAR_EXAMPLE_GEOMETRY, "--freq", "1000"});
    EXPECT_NE(map.out.find("Maximum : silence\n"), std::string::npos) << map.out;
}

TEST(SpectrumCommand, PeakOfAToneAndItsFiles)
{
    testsupport::TempDir dir;
    const auto dat = source_recording(dir, 16384, {0.0, 0.0, 1.0});
    const fs::path csv = dir.path() / "s.csv", png = dir.path() / "s.png";
    const Cli bands = run({"spectrum", dat.string(), "--third-octave", "--mic", "9", "--csv", csv.string(),
                           "--png", png.string()});
    ASSERT_EQ(bands.code, 0) << bands.err;
    // source_stream's tone: 1e6 counts at the array's centre, 1 m in front.
    const double expected = 20.0 * std::log10(1e6 / SonivarACQ32::stream::int32_full_scale);
    const std::size_t at = bands.out.find("Pic : 3 150 Hz, ");
    ASSERT_NE(at, std::string::npos) << bands.out;
    std::string level = bands.out.substr(at + 16, bands.out.find(' ', at + 16) - at - 16);
    std::replace(level.begin(), level.end(), ',', '.');
    EXPECT_NEAR(std::stod(level), expected, 0.5);
    EXPECT_NE(bands.out.find(" dBFS\n"), std::string::npos);
    const auto [header, first] = csv_head(csv);
    EXPECT_EQ(header, "frequency_hz,level_db");
    EXPECT_EQ(first.rfind("50.00,", 0), 0u) << first;
    EXPECT_FALSE(QImage(QString::fromStdString(png.string())).isNull());

    const Cli narrow = run({"spectrum", dat.string(), "--a-weighting"});
    ASSERT_EQ(narrow.code, 0) << narrow.err;
    const std::size_t peak = narrow.out.find("Pic : ") + 6;
    std::string hz = narrow.out.substr(peak, narrow.out.find(" Hz") - peak);
    std::erase(hz, ' ');
    EXPECT_NEAR(std::stod(hz), 3150.0, 50000.0 / 1024.0);
    EXPECT_NE(narrow.out.find("moyenne de 32 micros"), std::string::npos);
    EXPECT_NE(narrow.out.find(" dBFS(A)\n"), std::string::npos);

    const auto spectrum_dat_size = fs::file_size(dat);
    struct Refused {
        std::vector<std::string> options;
        const char* says;
    };
    for (const Refused& r : {Refused{{"--mic", "32"}, "index de 0 à 31"}, Refused{{"--mic", "1.5"}, "index"},
                             Refused{{"--octave", "3"}, "option inconnue"},
                             Refused{{"--calib", (dir.path() / "none.xml").string()}, "none.xml"},
                             Refused{{"--csv", dat.string()}, ""}, Refused{{"--png", dat.string()}, ""},
                             Refused{{"--csv", (dir.path() / "absent/../s.Zv").string()}, "refusé"},
                             Refused{{"--png", (dir.path() / "a//..//s.log").string()}, "refusé"}}) {
        std::vector<std::string> args = {"spectrum", dat.string()};
        args.insert(args.end(), r.options.begin(), r.options.end());
        const Cli c = run(args);
        EXPECT_EQ(c.code, 2) << r.says;
        EXPECT_NE(c.err.find(r.says), std::string::npos) << c.err;
    }
    EXPECT_EQ(fs::file_size(dat), spectrum_dat_size);  // never written over
}

// What a program outside the project makes of a file: its standard output,
// its standard error, its exit code.
struct Outside {
    std::string out, err;
    int code = -1;
};

Outside run_outside(const QString& program, const QStringList& args)
{
    QProcess p;
    p.start(program, args);
    p.waitForFinished(60000);
    return {p.readAllStandardOutput().toStdString(), p.readAllStandardError().toStdString(), p.exitCode()};
}

std::vector<double> numbers_of(const std::string& line)
{
    std::vector<double> values;
    std::istringstream in(line);
    for (std::string word; in >> word;)
        values.push_back(std::stod(word));
    return values;
}

// The exports as the field's Python tools read them (h5py, the reader under
// their HDF5 loading) and as sox reads a WAV: positions 3 x N, the facts in
// /metadata, each exported column's calibration factor in pascal per unit
// of the exported data, a float WAV with no header warning.
TEST(ExportForTheFieldsTools, PositionsMetadataCalibrationAndFloatWav)
{
    testsupport::TempDir dir;
    testsupport::RecordingPlan plan;
    plan.micros = {2, 9, 17, 31};
    plan.is_float = true;
    const auto dat = testsupport::write_recording(dir.path(), "s", plan);
    SonivarACQ32::stream::Calibration calibration;
    for (std::size_t m = 0; m < calibration.factor.size(); ++m)
        calibration.factor[m] = static_cast<float>(1e-8 * (1.0 + 0.01 * m));
    const fs::path calib = dir.path() / "antenne.xml", h5 = dir.path() / "o.h5", wav = dir.path() / "o.wav";
    std::ofstream(calib) << SonivarACQ32::stream::calibration_xml(calibration, "antenne");
    const Cli c = run({"export", dat.string(), "--hdf5", h5.string(), "--wav", wav.string(), "--channels", "31,9",
                       "--geometry", SONIVAR_EXAMPLE_GEOMETRY, "--calib", calib.string()});
    ASSERT_EQ(c.code, 0) << c.err;
    EXPECT_NE(c.out.find("Étalonnage : " + (dir.path() / "o.calib.xml").string()), std::string::npos) << c.out;

    const char* script =
        "import h5py, sys\n"
        "f = h5py.File(sys.argv[1], 'r'); m = f['metadata']\n"
        "print(*m['microphone_positions'].shape, *f['time_data'].attrs['microphone_positions'].shape)\n"
        "print(*m['microphone_positions'][0])\n"
        "print(*m['calibration_factors'][()])\n"
        "print(*m['microphones'][()], m['sample_freq'][()])\n"
        "print(m['calibration_unit'][()].decode(), m['sample_type'][()].decode())\n";
    const Outside h5py = run_outside(QStringLiteral("/usr/bin/python3"),
                                     {QStringLiteral("-c"), QString::fromLatin1(script), QString::fromStdString(h5.string())});
    ASSERT_EQ(h5py.code, 0) << h5py.err;
    std::istringstream lines(h5py.out);
    std::string line;
    const int exported[] = {9, 31};
    std::getline(lines, line);
    EXPECT_EQ(numbers_of(line), (std::vector<double>{3, 2, 3, 2}));
    std::getline(lines, line);
    EXPECT_EQ(numbers_of(line), (std::vector<double>{example()[9].x, example()[31].x}));
    std::getline(lines, line);
    const auto factors = numbers_of(line);
    ASSERT_EQ(factors.size(), 2u);
    for (int k = 0; k < 2; ++k)  // a float32 sample s counts as s x 2^31
        EXPECT_DOUBLE_EQ(factors[k], static_cast<double>(calibration.factor[exported[k]]) *
                                         SonivarACQ32::stream::int32_full_scale);
    std::getline(lines, line);
    EXPECT_EQ(numbers_of(line), (std::vector<double>{9, 31, 50000}));
    std::getline(lines, line);
    EXPECT_EQ(line, "Pa float32");

    const auto beside = SonivarACQ32::stream::parse_calibration(
        SonivarACQ32::stream::calibration_xml(std::vector<double>(32, 1.0), "x"));
    EXPECT_TRUE(beside.calibration);  // the writer's format reads back
    std::ifstream written(dir.path() / "o.calib.xml");
    const std::string text((std::istreambuf_iterator<char>(written)), std::istreambuf_iterator<char>());
    EXPECT_EQ(std::count(text.begin(), text.end(), '<') - 3, 2) << text;  // declaration, root open and close

    const Outside sox = run_outside(QStringLiteral("sox"), {QStringLiteral("--i"), QString::fromStdString(wav.string())});
    EXPECT_EQ(sox.code, 0);
    EXPECT_EQ(sox.err, "");
    EXPECT_NE(sox.out.find("32-bit Floating Point PCM"), std::string::npos) << sox.out;

    // A geometry or a calibration that cannot be read: arguments refused.
    for (const char* option : {"--geometry", "--calib"})
        EXPECT_EQ(run({"export", dat.string(), "--hdf5", (dir.path() / "p.h5").string(), option,
                       (dir.path() / "none.xml").string()}).code, 2) << option;
}

} // namespace

namespace {

// The level of the tone at `hz` in `x`, dB of its amplitude (a Hann-windowed
// single-frequency transform).
double tone_db(const std::vector<float>& x, double rate, double hz)
{
    std::complex<double> sum;
    double weights = 0.0;
    for (std::size_t n = 0; n < x.size(); ++n) {
        const double w = 0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * n / x.size());
        sum += w * static_cast<double>(x[n]) * std::polar(1.0, -2.0 * std::numbers::pi * hz * n / rate);
        weights += w;
    }
    return 20.0 * std::log10(2.0 * std::abs(sum) / weights);
}

std::vector<float> wav_samples(const fs::path& path, int& rate)
{
    SF_INFO info{};
    SNDFILE* f = sf_open(path.c_str(), SFM_READ, &info);
    EXPECT_NE(f, nullptr) << path;
    if (f == nullptr)
        return {};
    rate = info.samplerate;
    std::vector<float> x(static_cast<std::size_t>(info.frames * info.channels));
    sf_readf_float(f, x.data(), info.frames);
    sf_close(f);
    EXPECT_EQ(info.channels, 1);
    return x;
}

} // namespace

// Two tones 0.5 m apart at 1 m: listening at one of them brings it out
// above the other by far more than a single microphone does.
TEST(ListenCommand, FocusedSignalBringsOutThePoint)
{
    testsupport::TempDir dir;
    const testsupport::RecordingPlan plan = every_microphone(25000);
    const testsupport::PointSource a{{-0.25, 0.0, 1.0}, 4000.0, 1e6}, b{{0.25, 0.0, 1.0}, 5000.0, 1e6};
    auto frames = testsupport::point_source_frames(a, placed(plan), plan.freq, plan.frames);
    const auto other = testsupport::point_source_frames(b, placed(plan), plan.freq, plan.frames);
    for (std::size_t i = 0; i < frames.size(); ++i)
        frames[i] += other[i];
    const auto dat = testsupport::write_recording(dir.path(), "deux", plan, stream_of(plan, frames));
    std::vector<float> mic0(plan.frames);
    for (std::size_t t = 0; t < mic0.size(); ++t)
        mic0[t] = frames[t * 32];
    for (const auto& [at, here, there] : {std::tuple{"-0.25,0,1", a, b}, std::tuple{"0.25,0,1", b, a}}) {
        const am::Focuser focuser(placed(plan), here.at, plan.freq);
        const fs::path wav = dir.path() / "point.wav";
        const Cli c = run({"listen", dat.string(), "--geometry", SONIVAR_EXAMPLE_GEOMETRY, "--at", at,
                           "--wav", wav.string()});
        ASSERT_EQ(c.code, 0) << c.err;
        int rate = 0;
        const std::vector<float> y = wav_samples(wav, rate);
        EXPECT_EQ(rate, 50000);
        EXPECT_EQ(y.size() + focuser.lookahead(), plan.frames) << "every frame but the look-ahead's at the end";
        const double alone = tone_db(mic0, plan.freq, here.frequency) - tone_db(mic0, plan.freq, there.frequency);
        const double focused = tone_db(y, rate, here.frequency) - tone_db(y, rate, there.frequency);
        EXPECT_GE(focused - alone, 10.0) << at << ": focused " << focused << " dB, one microphone " << alone;
        // In fractions of full scale, at the level the array's centre hears.
        EXPECT_NEAR(tone_db(y, rate, here.frequency), 20.0 * std::log10(here.amplitude / 2147483648.0), 0.2);
    }
    for (const char* nowhere : {"0,0,0", "0,0,1e-300", "1e7,0,1"})  // no point a sound comes from
        EXPECT_EQ(run({"listen", dat.string(), "--geometry", SONIVAR_EXAMPLE_GEOMETRY, "--at", nowhere, "--wav",
                       (dir.path() / "x.wav").string()}).code, 2) << nowhere;
    for (const fs::path& onto : {dat, dir.path() / "absent/../deux.log"})
        EXPECT_EQ(run({"listen", dat.string(), "--geometry", SONIVAR_EXAMPLE_GEOMETRY, "--at", "0,0,1", "--wav",
                       onto.string()}).code, 2);
}
