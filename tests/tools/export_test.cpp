// Exports read back through libsndfile and libhdf5 give the microphone
// samples of the ".dat", channel by channel.
#include "cli.h"
#include "cli_run.h"
#include "export.h"
#include "recording_maker.h"
#include "sinks.h"
#include "stream/calibration_file.h"

#include <hdf5.h>
#include <sndfile.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <sstream>

namespace {

namespace fs = std::filesystem;
using testsupport::RecordingPlan;

struct WavContent {
    SF_INFO info{};
    std::vector<std::uint32_t> words;  // interleaved, raw bits
};

WavContent read_wav(const fs::path& path)
{
    WavContent c;
    SNDFILE* sf = sf_open(path.c_str(), SFM_READ, &c.info);
    EXPECT_NE(sf, nullptr) << sf_strerror(nullptr);
    if (sf == nullptr)
        return c;
    c.words.resize(static_cast<std::size_t>(c.info.frames * c.info.channels));
    if ((c.info.format & SF_FORMAT_SUBMASK) == SF_FORMAT_FLOAT) {
        std::vector<float> f(c.words.size());
        EXPECT_EQ(sf_readf_float(sf, f.data(), c.info.frames), c.info.frames);
        std::memcpy(c.words.data(), f.data(), f.size() * 4);
    } else {
        EXPECT_EQ(sf_readf_int(sf, reinterpret_cast<int*>(c.words.data()), c.info.frames),
                  c.info.frames);
    }
    sf_close(sf);
    return c;
}

struct Hdf5Content {
    hsize_t dims[2] = {0, 0};
    std::vector<float> values;
    double sample_freq = 0;
    std::vector<int> microphones;
    std::string sample_type, comment, start_time;
};

std::string text_attribute(hid_t set, const char* name)
{
    const hid_t attr = H5Aopen(set, name, H5P_DEFAULT);
    EXPECT_GE(attr, 0) << name;
    const hid_t type = H5Aget_type(attr);
    EXPECT_EQ(H5Tget_class(type), H5T_STRING) << name;
    EXPECT_EQ(H5Tget_cset(type), H5T_CSET_UTF8) << name;
    std::string text(H5Tget_size(type), '\0');
    H5Aread(attr, type, text.data());
    H5Tclose(type);
    H5Aclose(attr);
    return text.substr(0, text.find('\0'));
}

std::vector<int> int_attribute(hid_t set, const char* name)
{
    const hid_t attr = H5Aopen(set, name, H5P_DEFAULT);
    const hid_t space = H5Aget_space(attr);
    std::vector<int> values(static_cast<std::size_t>(H5Sget_simple_extent_npoints(space)));
    const hid_t type = H5Aget_type(attr);
    EXPECT_EQ(H5Tget_class(type), H5T_INTEGER);
    EXPECT_EQ(H5Tget_size(type), 4u);
    H5Aread(attr, H5T_NATIVE_INT, values.data());
    H5Tclose(type);
    H5Sclose(space);
    H5Aclose(attr);
    return values;
}

Hdf5Content read_hdf5(const fs::path& path)
{
    Hdf5Content c;
    const hid_t file = H5Fopen(path.c_str(), H5F_ACC_RDONLY, H5P_DEFAULT);
    EXPECT_GE(file, 0);
    const hid_t set = H5Dopen2(file, "time_data", H5P_DEFAULT);
    EXPECT_GE(set, 0);
    const hid_t space = H5Dget_space(set);
    EXPECT_EQ(H5Sget_simple_extent_ndims(space), 2);
    H5Sget_simple_extent_dims(space, c.dims, nullptr);
    const hid_t type = H5Dget_type(set);
    EXPECT_EQ(H5Tget_class(type), H5T_FLOAT);
    EXPECT_EQ(H5Tget_size(type), 4u);
    c.values.resize(c.dims[0] * c.dims[1]);
    EXPECT_GE(H5Dread(set, H5T_NATIVE_FLOAT, H5S_ALL, H5S_ALL, H5P_DEFAULT, c.values.data()), 0);
    const hid_t attr = H5Aopen(set, "sample_freq", H5P_DEFAULT);
    EXPECT_GE(attr, 0);
    H5Aread(attr, H5T_NATIVE_DOUBLE, &c.sample_freq);
    H5Aclose(attr);
    c.microphones = int_attribute(set, "microphones");
    c.sample_type = text_attribute(set, "sample_type");
    c.comment = text_attribute(set, "comment");
    c.start_time = text_attribute(set, "start_time");
    H5Tclose(type);
    H5Sclose(space);
    H5Dclose(set);
    H5Fclose(file);
    return c;
}

// The format tag of the "fmt " chunk: 1 PCM, 3 float, 0xFFFE extensible.
unsigned fmt_tag(const fs::path& path)
{
    const auto bytes = testsupport::read_bytes(path);
    const std::string head(bytes.begin(), bytes.begin() + std::min<std::size_t>(bytes.size(), 256));
    const std::size_t at = head.find("fmt ");
    return at == std::string::npos ? 0u : bytes[at + 8] | bytes[at + 9] << 8;
}

float as_float(std::uint32_t word, bool is_float)
{
    if (!is_float)
        return static_cast<float>(static_cast<std::int32_t>(word));
    float f;
    std::memcpy(&f, &word, 4);
    return f;
}

struct ExportCase {
    const char* name;
    bool is_float;
    bool status;
    std::vector<int> recorded;
    std::string channels;       // --channels, empty: all
    std::vector<int> exported;  // global indices expected in the files, in order
};

void PrintTo(const ExportCase& c, std::ostream* os) { *os << c.name; }

using Export = testsupport::InFreshFolder<ExportCase>;

TEST_P(Export, WavAndHdf5HoldTheMicrophoneSamples)
{
    const ExportCase& c = GetParam();
    RecordingPlan plan;
    plan.micros = c.recorded;
    plan.status = c.status;
    plan.is_float = c.is_float;
    plan.freq = 41666.0f;  // the unit's 500 000 / 12 Hz
    plan.comment = "Réseau Ω à 2 m\r\nsource µ";  // Ω has no Windows-1252 form
    // Several read blocks of 4 MiB, and a last one that is not full.
    plan.frames = static_cast<std::uint32_t>((9u << 20) / (4 * plan.nb_voies()) + 17);
    const auto dat = testsupport::write_recording(dir.path(), "essai", plan);
    std::vector<std::string> args = {"export", dat.string(), "--wav", (dir.path() / "o.wav").string(),
                                     "--hdf5=" + (dir.path() / "o.h5").string()};
    if (!c.channels.empty())
        args.insert(args.end(), {"--channels", c.channels});
    ASSERT_EQ(testsupport::run(args).code, 0);

    const WavContent wav = read_wav(dir.path() / "o.wav");
    const std::size_t ch = c.exported.size();
    // Past two channels, integers take the extensible form, which tells
    // readers the layout; floats take the IEEE float form with its
    // extension size, the one every reader takes without a warning.
    const bool extensible = ch > 2 && !c.is_float;
    EXPECT_EQ(wav.info.format & SF_FORMAT_TYPEMASK, extensible ? SF_FORMAT_WAVEX : SF_FORMAT_WAV);
    EXPECT_EQ(fmt_tag(dir.path() / "o.wav"), extensible ? 0xFFFEu : c.is_float ? 3u : 1u);
    EXPECT_EQ(wav.info.format & SF_FORMAT_SUBMASK, c.is_float ? SF_FORMAT_FLOAT : SF_FORMAT_PCM_32);
    EXPECT_EQ(wav.info.samplerate, 41667);  // the nearest whole number to the clock
    ASSERT_EQ(wav.info.channels, static_cast<int>(ch));
    ASSERT_EQ(wav.info.frames, static_cast<sf_count_t>(plan.frames));

    const Hdf5Content h5 = read_hdf5(dir.path() / "o.h5");
    ASSERT_EQ(h5.dims[0], plan.frames);
    ASSERT_EQ(h5.dims[1], ch);
    EXPECT_EQ(h5.sample_freq, 500000.0 / 12);
    EXPECT_EQ(h5.microphones, c.exported);
    EXPECT_EQ(h5.sample_type, c.is_float ? "float32" : "int32");
    EXPECT_EQ(h5.comment, plan.comment);
    EXPECT_EQ(h5.start_time, "2024-03-14T10:22:05.250");  // the maker's date

    std::size_t wav_bad = 0, h5_bad = 0;
    for (std::uint32_t f = 0; f < plan.frames; ++f)
        for (std::size_t k = 0; k < ch; ++k) {
            const std::uint32_t want = testsupport::sample_word(c.exported[k], f, c.is_float);
            wav_bad += wav.words[f * ch + k] != want;
            h5_bad += h5.values[f * ch + k] != as_float(want, c.is_float);
        }
    EXPECT_EQ(wav_bad, 0u);
    EXPECT_EQ(h5_bad, 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Recordings, Export,
    testing::Values(ExportCase{"int32_all", false, false, {0, 1, 2, 3, 4, 5, 6, 7}, "", {0, 1, 2, 3, 4, 5, 6, 7}},
                    ExportCase{"float32_status", true, true, {2, 9, 17, 31}, "", {2, 9, 17, 31}},
                    ExportCase{"chosen_channels", false, true, {2, 9, 17, 31}, "31,9,2", {2, 9, 31}},
                    ExportCase{"two_channels", true, false, {2, 9, 17, 31}, "17,9", {9, 17}}),
    [](const auto& info) { return std::string(info.param.name); });

// An output whose folder the system cannot reach, or whose name (or its
// calibration companion's) the file system cannot hold, is refused before
// anything is read or written.
TEST(ExportFailure, UnwritableOutputIsReported)
{
    testsupport::TempDir dir;
    const auto dat = testsupport::write_recording(dir.path(), "essai", RecordingPlan{});
    const auto c = testsupport::run({"export", dat.string(), "--wav", (dir.path() / "absent" / "o.wav").string()});
    EXPECT_EQ(c.code, 2);
    EXPECT_NE(c.err.find("dossier introuvable : refusé"), std::string::npos) << c.err;
    const fs::path calib = dir.path() / "c.xml", wav = dir.path() / (std::string(248, 'n') + ".wav");
    SonivarACQ32::stream::Calibration factors;
    factors.factor.fill(1e-8f);
    std::ofstream(calib) << SonivarACQ32::stream::calibration_xml(factors, "c");
    const auto near_limit = testsupport::run({"export", dat.string(), "--wav", wav.string(), "--calib", calib.string()});
    EXPECT_EQ(near_limit.code, 2);
    EXPECT_NE(near_limit.err.find("nom trop long"), std::string::npos) << near_limit.err;
    EXPECT_FALSE(fs::exists(wav));
}

TEST(Rf64, ChosenPastFourGibibytesOfSamples)
{
    using sonivar_dat::wav_needs_rf64;
    EXPECT_FALSE(wav_needs_rf64(1u << 20, 32));            // 128 MiB
    EXPECT_FALSE(wav_needs_rf64((1ull << 30) / 32 - 1024, 32));
    EXPECT_TRUE(wav_needs_rf64(1ull << 30, 1));            // 4 GiB exactly
    EXPECT_TRUE(wav_needs_rf64(50000ull * 3600, 32));      // an hour of 32 microphones
}

TEST(Rf64, WrittenFileReadsBack)
{
    testsupport::TempDir dir;
    const fs::path path = dir.path() / "big.wav";
    sonivar_dat::WavSink sink;
    std::string error;
    ASSERT_TRUE(sink.open(path.string(), 3, 50000, false, true, error)) << error;
    const std::vector<std::int32_t> rows = {1, -2, 3, 2147483647, -2147483647 - 1, 0};
    ASSERT_TRUE(sink.write(rows.data(), 2, error)) << error;
    ASSERT_TRUE(sink.close(error)) << error;
    const WavContent c = read_wav(path);
    EXPECT_EQ(c.info.format & SF_FORMAT_TYPEMASK, SF_FORMAT_RF64);
    ASSERT_EQ(c.words.size(), rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i)
        EXPECT_EQ(static_cast<std::int32_t>(c.words[i]), rows[i]);
}

} // namespace

namespace {

TEST(ChannelList, IndicesAndRangesSortedWithoutRepeats)
{
    std::string error;
    EXPECT_EQ(sonivar_dat::parse_channel_list("31,2-4,3,0", error), (std::vector<int>{0, 2, 3, 4, 31}));
    EXPECT_EQ(sonivar_dat::parse_channel_list("7", error), (std::vector<int>{7}));
    for (const char* bad : {"", ",", "4-2", "-1", "x", "1,,2", "1-", "2048"})
        EXPECT_FALSE(sonivar_dat::parse_channel_list(bad, error).has_value()) << bad;
}

} // namespace
