#include "stream/stream_format.h"
#include "spectra/band.h"
#include "map/beamformer.h"
#include "map/geometry.h"
#include "map/live_mapper.h"
#include "map/zone_spectrum.h"
#include "map/zones.h"
#include "picture/map_image.h"
#include "stream/samples.h"

#include "../support/point_source_signals.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include <cmath>
#include <cstring>
#include <limits>
#include <numbers>
#include <numeric>
#include <string>

namespace {

using namespace SonivarACQ32::acoustic_map;

constexpr double rate = 50000.0;
constexpr std::size_t packet_frames = 7943;  // one 1 MiB packet of 33 channels

TEST(AcousticMapBand, ThirdOctaveEdgesAndBins)
{
    struct Row {
        double centre;
        BandKind kind;
        double lower, upper;  // edges, Hz
        int first, last;      // bins at 50 kHz (48.828 Hz apart)
    };
    const Row rows[] = {
        {1000.0, BandKind::third_octave, 890.9, 1122.5, 19, 22},
        {3150.0, BandKind::third_octave, 2806.3, 3535.8, 58, 72},
        {3150.0, BandKind::single_bin, 2806.3, 3535.8, 65, 65},
        {50.0, BandKind::third_octave, 44.5, 56.1, 1, 1},       // no bin centre inside: nearest
        {24000.0, BandKind::third_octave, 21381.6, 26939.1, 438, 512},  // held at Nyquist
        {30000.0, BandKind::third_octave, 26727.0, 33673.9, 1, 0},      // beyond Nyquist: empty
        {0.0, BandKind::single_bin, 0.0, 0.0, 1, 0},
    };
    for (const Row& r : rows) {
        if (r.centre > 0.0) {
            const Edges e = third_octave_edges(r.centre);
            EXPECT_NEAR(e.lower, r.lower, 0.1) << r.centre;
            EXPECT_NEAR(e.upper, r.upper, 0.1) << r.centre;
        }
        const Bins b = band_bins(r.centre, rate, r.kind);
        EXPECT_EQ(b.first, r.first) << r.centre;
        EXPECT_EQ(b.last, r.last) << r.centre;
    }
    // Broadband: every bin centre from the lower edge to the upper.
    EXPECT_EQ(broadband_bins(1000.0, 4000.0, rate).first, 21);
    EXPECT_EQ(broadband_bins(1000.0, 4000.0, rate).last, 81);
    EXPECT_EQ(broadband_bins(0.0, 30000.0, rate).last, nb_bins - 1);
    EXPECT_TRUE(broadband_bins(4000.0, 1000.0, rate).empty());
}

std::string geometry_xml(int positions, const std::string& last_pos = {},
                         const std::string& declaration = "<?xml version=\"1.0\"?>")
{
    std::string xml = declaration + "\n<MicArray name=\"t\">\n";
    for (int m = 0; m < positions; ++m)
        xml += "  <pos Name=\"Point " + std::to_string(m + 1) + "\" x=\"" + std::to_string(0.01 * m) +
               "\" y=\"-0.5\" z=\"0.25\"/>\n";
    return xml + last_pos + "</MicArray>\n";
}

TEST(AcousticMapGeometry, GoodAndBadFiles)
{
    struct Row {
        std::string name;
        std::string xml;
        bool ok;
    };
    const Row rows[] = {
        {"32 positions", geometry_xml(32), true},
        {"XML 1.1", geometry_xml(32, {}, "<?xml version='1.1' encoding=\"utf-8\"?>"), true},
        {"33 positions", geometry_xml(33), false},
        {"56 positions", geometry_xml(56), false},
        {"XML 2.0", geometry_xml(32, {}, "<?xml version=\"2.0\"?>"), false},
        {"other elements between", geometry_xml(32, "<note>x</note>\n"), true},
        {"31 positions", geometry_xml(31), false},
        {"not a number", geometry_xml(31, "<pos x=\"a\" y=\"0\" z=\"0\"/>"), false},
        {"nan", geometry_xml(32, "<pos x=\"nan\" y=\"0\" z=\"0\"/>"), false},
        {"infinite", geometry_xml(32, "<pos x=\"0\" y=\"inf\" z=\"0\"/>"), false},
        {"missing z", geometry_xml(32, "<pos x=\"0\" y=\"0\"/>"), false},
        {"a microphone 10 000 km away", geometry_xml(31, "<pos x=\"1e7\" y=\"0\" z=\"0\"/>"), false},
        {"other root", "<Array><pos x=\"0\" y=\"0\" z=\"0\"/></Array>", false},
        {"broken XML", geometry_xml(32).substr(0, 200), false},
        {"empty", "", false},
    };
    for (const Row& r : rows) {
        const GeometryResult g = parse_geometry(r.xml);
        EXPECT_EQ(g.geometry.has_value(), r.ok) << r.name;
        EXPECT_EQ(g.error.empty(), r.ok) << r.name << ": " << g.error;
    }
    // The parser's reason in French first.
    EXPECT_NE(parse_geometry(geometry_xml(32).substr(0, 200)).error.find("XML illisible (ligne "),
              std::string::npos);
    EXPECT_NE(parse_geometry("<MicArray><pos").error.find("document incomplet"), std::string::npos);
    EXPECT_EQ(parse_geometry(geometry_xml(56)).error, "56 position(s) au lieu de 32");
    const GeometryResult g = parse_geometry(geometry_xml(32));
    ASSERT_TRUE(g.geometry);
    EXPECT_EQ(g.geometry->name, "t");
    EXPECT_DOUBLE_EQ(g.geometry->positions[31].x, 0.31);
    EXPECT_DOUBLE_EQ(g.geometry->positions[31].y, -0.5);
    EXPECT_DOUBLE_EQ(g.geometry->positions[31].z, 0.25);
}

TEST(AcousticMapGeometry, FilesOnDisk)
{
    const GeometryResult example = read_geometry(SONIVAR_EXAMPLE_GEOMETRY);
    ASSERT_TRUE(example.geometry) << example.error;
    EXPECT_EQ(example.geometry->positions.size(), 32u);
    const GeometryResult missing = read_geometry("/nonexistent/array.xml");
    EXPECT_FALSE(missing.geometry);
    EXPECT_NE(missing.error.find("/nonexistent/array.xml"), std::string::npos);
    // Windows editors write a byte-order mark, or UTF-16, and keep the 1.1
    // declaration of the field's tools.
    const std::string text = geometry_xml(32, {}, "<?xml version=\"1.1\" encoding=\"UTF-16\"?>");
    const QString wide = QString::fromStdString(text);
    const QByteArray le(reinterpret_cast<const char*>(wide.utf16()), wide.size() * 2);
    QByteArray be = le;
    for (qsizetype i = 0; i + 1 < be.size(); i += 2)
        std::swap(be[i], be[i + 1]);
    const QByteArray encodings[] = {"\xEF\xBB\xBF" + QByteArray::fromStdString(text), "\xFF\xFE" + le,
                                    "\xFE\xFF" + be, le};
    const QString path = QDir::temp().filePath("sonivar_geometry_encoded.xml");
    for (const QByteArray& bytes : encodings) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        file.close();
        const GeometryResult g = read_geometry(path.toStdString());
        ASSERT_TRUE(g.geometry) << g.error;
        EXPECT_DOUBLE_EQ(g.geometry->positions[31].x, 0.31);
    }
    QFile::remove(path);
}

// Two microphones 20 cm apart, a point 1 m in front of the right one. At
// 1715 Hz the wave number is 10 pi rad/m. By hand: r0 = sqrt(1.01),
// r = sqrt(1.04) and 1; amplitudes (r0 / r) / ((r0 / r1)^2 + (r0 / r2)^2),
// phases -k (r - r0).
TEST(AcousticMapSteering, TwoMicrophonesByHand)
{
    const std::vector<Position> mics = {{-0.1, 0.0, 0.0}, {0.1, 0.0, 0.0}};
    const auto w = steering({0.1, 0.0, 1.0}, mics);
    ASSERT_EQ(w.size(), 2u);
    const double omega = 2.0 * std::numbers::pi * 1715.0;
    const double amplitude[] = {0.497423, 0.507274};
    const double phase[] = {-0.465469, 0.156689};
    for (int m = 0; m < 2; ++m) {
        EXPECT_NEAR(w[m].amplitude, amplitude[m], 1e-6) << m;
        EXPECT_NEAR(-omega * w[m].delay, phase[m], 1e-6) << m;
    }
}

std::vector<Position> example_positions()
{
    const GeometryResult g = read_geometry(SONIVAR_EXAMPLE_GEOMETRY);
    return g.geometry ? g.geometry->positions : std::vector<Position>{};
}

// The same 1 kHz sine on every microphone.
std::vector<float> same_signal_everywhere(std::size_t microphones)
{
    std::vector<float> frames(microphones * packet_frames);
    for (std::size_t t = 0; t < packet_frames; ++t)
        for (std::size_t m = 0; m < microphones; ++m)
            frames[t * microphones + m] = static_cast<float>(1000.0 * std::sin(2.0 * std::numbers::pi * 1000.0 * t / rate));
    return frames;
}

// Every method of the map, run on the same scenes.
class EveryMethod : public testing::TestWithParam<MethodKind> {};

INSTANTIATE_TEST_SUITE_P(Methods, EveryMethod, testing::ValuesIn(all_methods()),
                         [](const testing::TestParamInfo<MethodKind>& info) {
                             return std::to_string(static_cast<int>(info.param));
                         });

TEST_P(EveryMethod, PointSourceAtItsMaximum)
{
    struct Row {
        double x, y, z;
        BandKind band;
        bool remove_diagonal;
        double noise;
    };
    const Row rows[] = {
        {0.30, -0.20, 1.00, BandKind::third_octave, false, 0.0},
        {0.30, -0.20, 1.00, BandKind::third_octave, true, 200.0},
        {-0.45, 0.60, 1.00, BandKind::single_bin, false, 0.0},
        {0.00, 0.15, 0.50, BandKind::third_octave, true, 0.0},
    };
    const std::vector<Position> mics = example_positions();
    ASSERT_EQ(mics.size(), 32u);
    for (const Row& r : rows) {
        Settings s;
        s.method = GetParam();
        s.band = r.band;
        s.remove_diagonal = r.remove_diagonal;
        s.grid.z = r.z;
        Beamformer beamformer;
        ASSERT_EQ(beamformer.configure(mics, rate, s), "");
        const testsupport::PointSource source{{r.x, r.y, r.z}, 3150.0, 1000.0};
        const auto frames = testsupport::point_source_frames(source, mics, rate, packet_frames, r.noise);
        EXPECT_EQ(beamformer.add_frames(frames.data(), packet_frames), 14u);
        Map map;
        ASSERT_TRUE(beamformer.compute(map));
        EXPECT_EQ(map.side, 41);
        EXPECT_NEAR(map.max_x, r.x, 0.026) << r.x << "," << r.y;
        EXPECT_NEAR(map.max_y, r.y, 0.026) << r.x << "," << r.y;
        // The whole third-octave holds the sine's power, A^2 / 2, as heard
        // at the array's centre. Capon reads the band's side bins a little
        // low: their steering is at the bin's frequency, not the tone's, and
        // it rejects what does not match exactly.
        if (r.band == BandKind::third_octave) {
            const double tolerance = GetParam() == MethodKind::capon ? 1.0 : 0.5;
            EXPECT_NEAR(map.max_db, 10.0 * std::log10(1000.0 * 1000.0 / 2.0), tolerance) << r.x;
        }
        EXPECT_LT(map.min_db, map.max_db - 3.0f);
    }
}

TEST(AcousticMapBeamformer, NoMapAndWhy)
{
    const std::vector<Position> mics = example_positions();
    Settings good;
    Settings beyond_nyquist;
    beyond_nyquist.frequency = 26000.0;
    Settings no_grid;
    no_grid.grid.step = 0.0;
    Settings no_distance;
    no_distance.grid.z = 0.0;
    struct Row {
        std::vector<Position> mics;
        Settings settings;
    };
    const Row rows[] = {
        {{}, good},
        {{mics[0]}, good},
        {mics, beyond_nyquist},
        {mics, no_grid},
        {mics, no_distance},
    };
    for (const Row& r : rows) {
        Beamformer beamformer;
        EXPECT_NE(beamformer.configure(r.mics, rate, r.settings), "");
        EXPECT_FALSE(beamformer.ready());
        Map map;
        EXPECT_FALSE(beamformer.compute(map));
    }
    // Two microphones are enough; a packet shorter than one block gives none.
    Beamformer two;
    ASSERT_EQ(two.configure({mics[0], mics[7]}, rate, good), "");
    std::vector<float> short_packet(2 * 1023, 1.0f);
    EXPECT_EQ(two.add_frames(short_packet.data(), 1023), 0u);
    Map map;
    EXPECT_FALSE(two.compute(map));
}

// With smoothing the previous packets' matrix still counts: after a source
// moves, the map follows it only gradually.
// Silence, or every microphone the same signal (a singular matrix): a map
// without NaN or infinity, or no map and why.
TEST_P(EveryMethod, DegenerateMatricesGiveNoNaN)
{
    const std::vector<Position> mics = example_positions();
    const auto tone = same_signal_everywhere(mics.size());
    const std::vector<float> silence(mics.size() * packet_frames, 0.0f);
    for (const std::vector<float>* frames : {&silence, &tone}) {
        Settings s;
        s.method = GetParam();
        Beamformer beamformer;
        ASSERT_EQ(beamformer.configure(mics, rate, s), "");
        beamformer.add_frames(frames->data(), packet_frames);
        Map map;
        if (!beamformer.compute(map))
            continue;
        for (float level : map.level_db)
            ASSERT_TRUE(std::isfinite(level));
    }
}

TEST_P(EveryMethod, SmoothingOverPacketsAndAFreshStart)
{
    const std::vector<Position> mics = example_positions();
    const auto first = testsupport::point_source_frames({{0.5, 0.5, 1.0}}, mics, rate, packet_frames);
    const auto second = testsupport::point_source_frames({{-0.5, -0.5, 1.0}}, mics, rate, packet_frames);
    for (double smoothing : {0.0, 0.9}) {
        Settings s;
        s.method = GetParam();
        s.smoothing = smoothing;
        Beamformer beamformer;
        ASSERT_EQ(beamformer.configure(mics, rate, s), "");
        Map map;
        beamformer.add_frames(first.data(), packet_frames);
        ASSERT_TRUE(beamformer.compute(map));
        beamformer.add_frames(second.data(), packet_frames);
        ASSERT_TRUE(beamformer.compute(map));
        EXPECT_NEAR(map.max_x, smoothing == 0.0 ? -0.5 : 0.5, 0.026) << smoothing;
        // A new run forgets the average.
        beamformer.reset();
        EXPECT_FALSE(beamformer.compute(map));
        beamformer.add_frames(second.data(), packet_frames);
        ASSERT_TRUE(beamformer.compute(map));
        EXPECT_NEAR(map.max_x, -0.5, 0.026) << smoothing;
    }
}

// The powers of a map of incoherent sources from their cross-spectral
// matrices alone, bin by bin.
// The averaged matrices of a scene, each microphone hearing its own noise
// 30 dB under the first source.
std::unique_ptr<CrossSpectra> scene_spectra(const std::vector<testsupport::SceneSource>& sources, Bins bins)
{
    const std::vector<Position> mics = example_positions();
    auto spectra = std::make_unique<CrossSpectra>();
    EXPECT_EQ(spectra->configure(static_cast<int>(mics.size()), bins), "");
    const double noise = 1e-3 * sources.front().power;
    for (int k = 0; k < bins.count(); ++k)
        spectra->set_average(k, testsupport::scene_matrix(sources, mics, bin_frequency(bins.first + k, rate), noise));
    return spectra;
}

std::vector<float> scene_powers(MethodKind kind, const std::vector<testsupport::SceneSource>& sources, Bins bins,
                                const Grid& grid, bool remove_diagonal)
{
    const std::vector<Position> mics = example_positions();
    const auto owned = scene_spectra(sources, bins);
    const CrossSpectra& spectra = *owned;
    Steering steering;
    steering.build(grid, mics, rate, bins);
    std::vector<float> power(steering.points());
    EXPECT_EQ(make_method(kind)->powers({spectra, steering, remove_diagonal, {}}, power), "");
    return power;
}

Map scene_map(MethodKind kind, const std::vector<testsupport::SceneSource>& sources, double frequency,
              const Grid& grid, bool remove_diagonal = false)
{
    Map map;
    levels_of(scene_powers(kind, sources, band_bins(frequency, rate, BandKind::third_octave), grid, remove_diagonal),
              grid, SonivarACQ32::stream::LevelUnit::data, map);
    return map;
}

// The highest level within `radius` of (x, y).
float level_near(const Map& map, const Grid& grid, double x, double y, double radius)
{
    float top = -std::numeric_limits<float>::infinity();
    for (int j = 0; j < map.side; ++j)
        for (int i = 0; i < map.side; ++i)
            if (std::hypot(grid.coordinate(i) - x, grid.coordinate(j) - y) <= radius)
                top = std::max(top, map.level_db[static_cast<std::size_t>(j) * map.side + i]);
    return top;
}

// A source at a grid point is found there at its own level; a source 15 dB
// weaker than another 0.5 m away reads its own level with the methods that
// undo the beam pattern, where delay-and-sum's sidelobes raise it.
TEST_P(EveryMethod, KnownScenes)
{
    const Grid grid;
    const double band_bins_count = band_bins(3150.0, rate, BandKind::third_octave).count();
    for (bool remove_diagonal : {false, true}) {
        const Map single = scene_map(GetParam(), {{{0.3, -0.2, 1.0}, 1.0}}, 3150.0, grid, remove_diagonal);
        EXPECT_NEAR(single.max_x, 0.3, 1e-9);
        EXPECT_NEAR(single.max_y, -0.2, 1e-9);
        EXPECT_NEAR(single.max_db, 10.0 * std::log10(band_bins_count), 0.3) << remove_diagonal;

        const Map pair = scene_map(GetParam(), {{{-0.25, 0.0, 1.0}, 1.0}, {{0.25, 0.0, 1.0}, std::pow(10.0, -1.5)}},
                                   3150.0, grid, remove_diagonal);
        const float weak = level_near(pair, grid, 0.25, 0.0, 0.06) - pair.max_db;
        if (GetParam() != MethodKind::delay_and_sum) {
            EXPECT_NEAR(weak, -15.0, 1.5) << remove_diagonal;
        }
    }
}

// A zone around each source of a known scene reads that source's level in
// the band (its power per bin times the bins), whatever the method: one
// source at four frequencies, then two incoherent sources 10 dB apart and
// 0.5 m apart at 4 kHz.
double zone_level_error(MethodKind kind, const std::vector<testsupport::SceneSource>& scene, double frequency,
                        const Zone& zone)
{
    const Grid grid{1.0, 0.025, 1.0};
    const Bins bins = band_bins(frequency, rate, BandKind::third_octave);
    const std::vector<float> power = scene_powers(kind, scene, bins, grid, false);
    ZoneSetting setting{example_positions(), rate, grid, bins, kind, {}, false, default_speed_of_sound, {}};
    Steering steering;
    steering.build(grid, setting.microphones, rate, bins);
    ZoneMeter meter;
    meter.set(setting, steering);
    double truth = 0.0;
    for (const auto& s : scene)
        if (zone.contains(s.at.x, s.at.y))
            truth += s.power * bins.count();
    return 10.0 * std::log10(meter.powers(power, *scene_spectra(scene, bins), {zone}).front() / truth);
}

TEST_P(EveryMethod, ZoneLevelIsTheSourcesLevel)
{
    const Zone around{"source", Zone::Shape::circle, 0.3, -0.2, 0.0, 0.0, 0.2};
    for (double frequency : {1000.0, 2000.0, 4000.0, 8000.0})
        EXPECT_NEAR(zone_level_error(GetParam(), {{{0.3, -0.2, 1.0}, 1.0}}, frequency, around), 0.0, 1.0)
            << frequency << " Hz";
    const std::vector<testsupport::SceneSource> pair = {{{-0.25, 0.0, 1.0}, 1.0}, {{0.25, 0.0, 1.0}, 0.1}};
    const bool close = GetParam() == MethodKind::clean_sc || GetParam() == MethodKind::delay_and_sum;
    for (const Zone& zone : {Zone{"fort", Zone::Shape::circle, -0.25, 0.0, 0.0, 0.0, 0.2},
                             Zone{"faible", Zone::Shape::rectangle, 0.05, -0.2, 0.45, 0.2}})
        EXPECT_NEAR(zone_level_error(GetParam(), pair, 4000.0, zone), 0.0, close ? 2.0 : 3.0) << zone.name;
}

// A broadband map A-weighted, and a zone's third-octave spectrum, of a
// source of unit power in every bin: the map's maximum at the source reads
// the band's A-weighted power; each band of the zone's spectrum its
// share of the bins (A-weighted too), with every method.
TEST_P(EveryMethod, BroadbandAWeightedMapAndZoneSpectrum)
{
    const Grid grid;
    const std::vector<testsupport::SceneSource> scene = {{{0.3, -0.2, 1.0}, 1.0}};
    const Bins wide = broadband_bins(1000.0, 4000.0, rate);
    const std::vector<double> weights = a_weights(wide, rate);
    const auto spectra = scene_spectra(scene, wide);
    spectra->set_weights(weights);
    Steering steering;
    steering.build(grid, example_positions(), rate, wide);
    std::vector<float> power(steering.points());
    ASSERT_EQ(make_method(GetParam())->powers({*spectra, steering, false, {}}, power), "");
    const std::size_t top = static_cast<std::size_t>(std::max_element(power.begin(), power.end()) - power.begin());
    EXPECT_NEAR(grid.coordinate(static_cast<int>(top % grid.side())), 0.3, 1e-9);
    EXPECT_NEAR(10.0 * std::log10(power[top] / std::accumulate(weights.begin(), weights.end(), 0.0)), 0.0, 0.5);

    // The zone's spectrum from matrices of the bands 1 to 8 kHz alone: the
    // others are left out.
    const Zone around{"source", Zone::Shape::circle, 0.3, -0.2, 0.0, 0.0, 0.2};
    const ZoneSetting setting{example_positions(), rate, Grid{}, {}, GetParam(), {}, false, default_speed_of_sound, {}};
    const auto shares = [](double nominal) {
        return band_shares(third_octave_edges(third_octave_exact(third_octave_index(nominal))), rate / block_frames,
                           nb_bins - 1);
    };
    const ZoneSpectrum zs = zone_spectrum(*scene_spectra(scene, {shares(1000.0).bins.first, shares(8000.0).bins.last}),
                                          setting, {around}, true);
    ASSERT_EQ(zs.frequencies.size(), 10u);
    EXPECT_EQ(zs.frequencies.front(), 1000.0);
    for (std::size_t b = 0; b < zs.frequencies.size(); ++b) {
        const BandShares band = shares(zs.frequencies[b]);
        double truth = 0.0;
        for (int bin = band.bins.first; bin <= band.bins.last; ++bin)
            truth += band.shares[static_cast<std::size_t>(bin - band.bins.first)] * a_weights({bin, bin}, rate).front();
        EXPECT_NEAR(10.0 * std::log10(zs.power[b].front() / truth), 0.0, 1.0) << zs.frequencies[b] << " Hz";
    }
}

TEST(Zones, ParsedCheckedAndCoveringTheirPoints)
{
    std::string why;
    const auto box = parse_zone("moteur:-0.5,0.25,0,-0.25", why);
    ASSERT_TRUE(box) << why;
    EXPECT_EQ(zone_points(*box, Grid{1.0, 0.25, 1.0}).size(), 9u);  // x -0.5..0, y -0.25..0.25
    const auto round = parse_zone("pompe:@0.5,0.5,0.3", why);
    ASSERT_TRUE(round) << why;
    EXPECT_EQ(round->shape, Zone::Shape::circle);
    EXPECT_EQ(zone_points(*round, Grid{1.0, 0.25, 1.0}).size(), 5u);
    for (const char* bad : {"sans-deux-points", ":1,2,3,4", "a:1,2,3", "a:@1,2,-1", "a:1,2,x,4", "a:@1,2"})
        EXPECT_FALSE(parse_zone(bad, why)) << bad;
    EXPECT_NE(zone_problem(*parse_zone("loin:2,2,3,3", why), Grid{}), "");
    EXPECT_NE(zone_problem(*parse_zone("fine:@0.01,0.01,0.001", why), Grid{}), "");
    EXPECT_EQ(zone_problem(*box, Grid{}), "");
    // Its text form reads back as the same zone (kept in the settings).
    for (const Zone& z : {*box, *round})
        EXPECT_EQ(parse_zone(zone_text(z), why), z) << zone_text(z);
}

// Without the diagonal a bin can give a point a negative power, which no
// source gives: each bin of the band counts for at least nothing.
TEST(AcousticMapDelayAndSum, WithoutTheDiagonalEachBinCountsForAtLeastNothing)
{
    const Grid grid;
    const std::vector<testsupport::SceneSource> scene = {{{-0.25, 0.0, 1.0}, 1.0}, {{0.5, 0.5, 1.0}, 0.1}};
    const Bins band = band_bins(3150.0, rate, BandKind::third_octave);
    const auto whole = scene_powers(MethodKind::delay_and_sum, scene, band, grid, true);
    std::vector<float> sum(whole.size(), 0.0f);
    for (int k = band.first; k <= band.last; ++k) {
        const auto bin = scene_powers(MethodKind::delay_and_sum, scene, {k, k}, grid, true);
        ASSERT_GE(*std::min_element(bin.begin(), bin.end()), 0.0f) << k;
        for (std::size_t p = 0; p < bin.size(); ++p)
            sum[p] += bin[p];
    }
    const float top = *std::max_element(sum.begin(), sum.end());
    for (std::size_t p = 0; p < sum.size(); ++p)
        ASSERT_NEAR(whole[p], sum[p], 1e-5f * top) << p;
}

// Capon alone tells apart two equal sources 0.25 m apart at 2 kHz, well
// inside delay-and-sum's main lobe.
TEST(AcousticMapCapon, SeparatesTwoSourcesAQuarterMetreApart)
{
    Grid grid;
    grid.extent = 0.5;
    grid.step = 0.025;
    const Map map = scene_map(MethodKind::capon, {{{-0.125, 0.0, 1.0}, 1.0}, {{0.125, 0.0, 1.0}, 1.0}}, 2000.0, grid);
    const float left = level_near(map, grid, -0.125, 0.0, 0.03);
    const float right = level_near(map, grid, 0.125, 0.0, 0.03);
    EXPECT_NEAR(left, right, 0.5);
    EXPECT_NEAR(std::abs(map.max_x), 0.125, 0.03);
    EXPECT_GT(std::min(left, right) - level_near(map, grid, 0.0, 0.0, 0.01), 3.0f);
}

} // namespace

namespace {

// The whole frames of a piece of the stream, found from its place in it:
// with 33 channels, packet 1 starts 100 bytes into a frame, so its first
// whole frame is 32 bytes in. Each microphone is read at its own word and
// scaled by its own factor.
// The live mapper maps the last window of what has come, its blocks ending
// on the newest whole frame, whatever the pieces' cuts; a source that
// jumps shows at its new place once the window holds mostly the new; a
// piece that does not follow the last starts the stretch afresh.
TEST(LiveMapper, MapsTheLastWindowOfTheStream)
{
    const std::vector<Position> mics = example_positions();
    std::vector<int> micros(32);
    std::iota(micros.begin(), micros.end(), 0);
    MapJob job;
    job.layout = SonivarACQ32::stream::live_layout(32, false, micros, true);
    job.sample_rate = rate;
    job.geometry.positions = mics;
    job.window_s = 0.1;
    const std::size_t frame = job.layout.frame_bytes(), window = window_frames(job);
    ASSERT_EQ(window, 5000u);
    const auto bytes_of = [&](double x, double y, std::size_t frames) {
        const auto f = testsupport::point_source_frames({{x, y, 1.0}, 3150.0, 0.001}, mics, rate, frames);
        std::vector<unsigned char> b(f.size() * 4);
        std::memcpy(b.data(), f.data(), b.size());
        return b;
    };
    const auto before = bytes_of(0.3, -0.2, 8000), after = bytes_of(-0.3, 0.2, 8000);
    LiveMapper mapper;
    mapper.set_job(job);
    // Pieces cut inside frames: 3 000 frames of the first place, then the
    // second place 1 000 frames at a time.
    std::vector<StreamPiece> pieces{{{before.begin(), before.begin() + 3000 * frame + 7}, 0, 1}};
    MapOutcome out = mapper.compute(pieces);
    ASSERT_TRUE(out.valid) << out.status;
    EXPECT_EQ(out.stream_end, 3000 * frame);  // whole frames only
    EXPECT_NEAR(out.map.max_x, 0.3, 0.026);
    std::uint64_t at = 3000 * frame + 7;
    const std::vector<unsigned char> rest(before.begin() + 3000 * frame + 7, before.begin() + 3000 * frame + frame);
    std::vector<unsigned char> stream(rest);
    stream.insert(stream.end(), after.begin(), after.end());
    std::size_t first_there = 0;
    for (std::size_t done = 0; done < stream.size(); done += 1000 * frame) {
        const std::size_t len = std::min(1000 * frame, stream.size() - done);
        pieces = {{{stream.begin() + done, stream.begin() + done + len}, at, 1}};
        at += len;
        out = mapper.compute(pieces);
        ASSERT_TRUE(out.valid);
        EXPECT_EQ(out.stream_end - out.stream_position, std::min<std::uint64_t>(out.stream_end, window * frame));
        if (first_there == 0 && std::abs(out.map.max_x + 0.3) < 0.026)
            first_there = out.stream_end / frame - 3001;
    }
    EXPECT_GT(first_there, 0u);
    EXPECT_LE(first_there, window / 2 + 1000);  // the jump at frame 3001
    // A gap: the stretch starts again from the piece after it.
    pieces = {{{before.begin(), before.begin() + 2000 * frame}, at + frame, 1}};
    out = mapper.compute(pieces);
    EXPECT_EQ(out.stream_end - out.stream_position, 2000 * frame);
}

TEST(StreamDecode, WholeFramesFromTheFirstBoundary)
{
    namespace st = SonivarACQ32::stream;
    struct Row {
        std::int32_t nb_voies;
        bool counter;
        std::vector<int> micros;
        bool is_float;
        std::uint64_t position;
        std::uint32_t len;
        float factor_of_mic_5;
    };
    std::vector<int> all(32), beam0(8);
    std::iota(all.begin(), all.end(), 0);
    std::iota(beam0.begin(), beam0.end(), 0);
    const Row rows[] = {
        {33, true, all, false, 0, st::packet_bytes, 1.0f},
        {33, true, all, false, st::packet_bytes, st::packet_bytes, 0.25f},  // samples within a million
        {33, true, all, true, 2 * st::packet_bytes, 20000, 0.5f},
        {8, false, beam0, false, 1048576, 1048576, 1.0f},   // no counter: microphones from word 0
        {34, true, all, false, 3 * 1048576, 136, 1.0f},     // a status word after the microphones
        {33, true, all, false, 1048576, 31, 1.0f},          // not one whole frame
        {3, true, all, false, 0, 1200, 1.0f},               // a frame too short for its microphones
    };
    for (const Row& r : rows) {
        const st::FrameLayout layout = st::live_layout(r.nb_voies, r.counter, r.micros, r.is_float);
        const std::uint64_t frame_bytes = 4ull * r.nb_voies;
        // The stream's word w holds w, as an integer or as a float.
        std::vector<unsigned char> packet(r.len);
        for (std::uint32_t b = 0; b + 4 <= r.len; b += 4) {
            const std::uint32_t w = static_cast<std::uint32_t>((r.position + b) / 4);
            const float f = static_cast<float>(w);
            std::memcpy(packet.data() + b, r.is_float ? static_cast<const void*>(&f) : &w, 4);
        }
        st::Calibration calibration;
        calibration.factor[5] = r.factor_of_mic_5;
        std::vector<float> out;
        const std::size_t count = st::decode_frames(packet.data(), r.len, r.position, layout, calibration, out);
        const std::uint64_t first = (r.position + frame_bytes - 1) / frame_bytes;  // first whole frame
        const std::uint64_t end = (r.position + r.len) / frame_bytes;
        const std::size_t n = r.micros.size();
        ASSERT_EQ(count, layout.holds_micros() && end > first ? end - first : 0)
            << r.nb_voies << " at " << r.position;
        ASSERT_EQ(out.size(), count * n);
        std::size_t wrong = 0;
        for (std::size_t f = 0; f < count; ++f)
            for (std::size_t m = 0; m < n; ++m) {
                const double word = static_cast<double>((first + f) * r.nb_voies + (r.counter ? 1 : 0) + m);
                const float factor = r.micros[m] == 5 ? r.factor_of_mic_5 : 1.0f;
                wrong += out[f * n + m] != static_cast<float>(word) * factor;
            }
        EXPECT_EQ(wrong, 0u) << r.nb_voies << " at " << r.position;
    }
}

TEST(AcousticMapImage, ColourIndexOverTheDynamicRange)
{
    struct Row {
        float level, max;
        int range, index;
    };
    const Row rows[] = {
        {60.0f, 60.0f, 20, 127}, {40.0f, 60.0f, 20, 0},   {50.0f, 60.0f, 20, 64},
        {10.0f, 60.0f, 30, 0},   {55.0f, 60.0f, 10, 64},  {70.0f, 60.0f, 10, 127},
    };
    for (const Row& r : rows)
        EXPECT_EQ(colour_index(r.level, r.max, r.range), r.index) << r.level << " / " << r.range;
}

} // namespace
