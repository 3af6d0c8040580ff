// "Diffuser le flux" against a real sound server: a private PipeWire daemon
// with its session manager, the run made by sonivar-rec on the simulated
// unit, the node recorded by pw-record as any program would.
#include "pipewire_session.h"
#include "spawned.h"
#include "cli_run.h"

#include <QTemporaryDir>

#include <sndfile.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace {

namespace fs = std::filesystem;
using Channels = std::vector<std::vector<double>>;

const std::vector<int> mics{0, 3, 9, 17, 31};
constexpr double unit_rate = 50000.0, graph_rate = 48000.0;

std::vector<std::string> rec_command(const std::vector<std::string>& args)
{
    std::vector<std::string> command{SONIVAR_SIM, "--paced", "--source", "0.2,0.1,1.0,1171.3", "--", SONIVAR_REC};
    command.insert(command.end(), args.begin(), args.end());
    return command;
}

// The microphones' words of a recording with the counter first, as
// fractions of full scale.
Channels dat_channels(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(in), {}};
    const std::size_t words = mics.size() + 1, frames = bytes.size() / (4 * words);
    Channels x(mics.size(), std::vector<double>(frames));
    for (std::size_t f = 0; f < frames; ++f)
        for (std::size_t c = 0; c < mics.size(); ++c) {
            std::int32_t w;
            std::memcpy(&w, bytes.data() + 4 * (f * words + 1 + c), 4);
            x[c][f] = w / 2147483648.0;
        }
    return x;
}

Channels wav_channels(const fs::path& path)
{
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (file == nullptr)
        return {};
    std::vector<float> interleaved(static_cast<std::size_t>(info.frames * info.channels));
    sf_readf_float(file, interleaved.data(), info.frames);
    sf_close(file);
    Channels y(static_cast<std::size_t>(info.channels), std::vector<double>(static_cast<std::size_t>(info.frames)));
    for (std::size_t f = 0; f < y[0].size(); ++f)
        for (std::size_t c = 0; c < y.size(); ++c)
            y[c][f] = interleaved[f * y.size() + c];
    return y;
}

// The .dat's samples at a fractional frame (cubic interpolation: the tone
// is far below the band's edge).
double at(const std::vector<double>& x, double position)
{
    const auto i = static_cast<std::size_t>(position);
    if (i < 1 || i + 2 >= x.size())
        return 0.0;
    const double t = position - static_cast<double>(i), p0 = x[i - 1], p1 = x[i], p2 = x[i + 1], p3 = x[i + 2];
    return p1 + 0.5 * t * (p2 - p0 + t * (2 * p0 - 5 * p1 + 4 * p2 - p3 + t * (3 * (p1 - p2) + p3 - p0)));
}

// The least, over the channels, of the normalised correlation between the
// recorded frames [from, from + n) and the .dat read from `start` at
// `ratio` unit frames per recorded frame.
double correlation(const Channels& x, const Channels& y, double start, double ratio, std::size_t from,
                   std::size_t n)
{
    double least = 1.0;
    for (std::size_t c = 0; c < y.size(); ++c) {
        double xy = 0, xx = 0, yy = 0;
        for (std::size_t j = 0; j < n; ++j) {
            const double a = at(x[c], start + static_cast<double>(j) * ratio), b = y[c][from + j];
            xy += a * b;
            xx += a * a;
            yy += b * b;
        }
        least = std::min(least, xy / std::sqrt(xx * yy + 1e-300));
    }
    return least;
}

// The start within `span` frames of `guess` that fits the recorded window best.
std::pair<double, double> best_start(const Channels& x, const Channels& y, double guess, double span,
                                     std::size_t from, std::size_t n)
{
    std::pair<double, double> best{guess, -2.0};
    for (double d = -span; d <= span; d += 0.05)
        if (const double r = correlation(x, y, guess + d, unit_rate / graph_rate, from, n); r > best.second)
            best = {guess + d, r};
    return best;
}

double rms(const std::vector<double>& v, std::size_t from, std::size_t to)
{
    double s = 0;
    for (std::size_t i = from; i < to; ++i)
        s += v[i] * v[i];
    return std::sqrt(s / static_cast<double>(to - from));
}

TEST(Diffusion, PwRecordHearsTheRunsMicrophonesAtTheirLevels)
{
    testsupport::PipeWireSession session;
    ASSERT_TRUE(session.ready());
    const fs::path folder = session.folder(), data = folder / "essai.dat", wav = folder / "direct.wav";
    auto rec = session.start(rec_command({data.string(), "--duration", "9", "--stream", "--mics", "0,3,9,17,31"}), "rec");
    ASSERT_TRUE(session.until_listed("Node", "sonivar-32")) << rec->output();
    // Channels without a speaker position, taken one for one (a layout of
    // pw-record's own would mix them into its speakers).
    auto record = session.start({"/usr/bin/pw-record", "--target", "sonivar-32", "--channels", "5", "--channel-map",
                                 "AUX0,AUX1,AUX2,AUX3,AUX4", "--format", "f32", "--rate", "48000", wav.string()},
                                "pw-record");
    ASSERT_TRUE(record->until([&] { return fs::exists(wav) && fs::file_size(wav) > 5 * 48000 * 20; }));
    record->signal(SIGINT);
    record->wait();
    ASSERT_EQ(rec->wait(), 0) << rec->output();
    EXPECT_EQ(rec->output().find("non lues"), std::string::npos) << rec->output();
    EXPECT_EQ(rec->output().find("trop tard"), std::string::npos) << rec->output();

    const Channels x = dat_channels(data), y = wav_channels(wav);
    ASSERT_EQ(y.size(), mics.size());
    // The node starts silent while its ring fills: the recording is
    // compared from its second second on, window by window (0.1 s). The
    // drift matching bends the resampler's rate a little while it settles
    // and when the pieces come late: each window is read at its own rate,
    // measured from its two halves' alignments. A sample lost or repeated
    // is a step of a whole sample between where one window ends and the
    // next begins.
    const std::size_t from = 48000, n = 4800, half = n / 2, windows = (y[0].size() - from) / n - 1;
    const double nominal = unit_rate / graph_rate;
    double start = best_start(x, y, x[0].size() / 2.0, unit_rate / 1171.3, from, half).first, ratio = nominal;
    for (std::size_t k = 0; k < windows; ++k) {
        const std::size_t window = from + k * n;
        const double first = best_start(x, y, start, 1.2, window, half).first;
        const double second = best_start(x, y, first + half * ratio, 1.2, window + half, half).first;
        if (k > 0) {
            EXPECT_LT(std::abs(first - start), 0.8) << "a step at window " << k << ": samples lost or repeated";
        }
        ratio = (second - first) / half;
        EXPECT_NEAR(ratio / nominal, 1.0, 2e-3) << "window " << k;
        EXPECT_GE(correlation(x, y, first, ratio, window, n), 0.999) << "window " << k;
        start = first + n * ratio;
    }
    for (std::size_t c = 0; c < mics.size(); ++c) {
        const double recorded = rms(y[c], from, y[c].size() - n), sent = rms(x[c], x[c].size() / 4, 3 * x[c].size() / 4);
        EXPECT_NEAR(20 * std::log10(recorded / sent), 0.0, 0.1) << "microphone " << mics[c];
    }
}

// The daemon dies during the run: said once, and the recording is whole.
TEST(Diffusion, ServerKilledMidRunLeavesTheRecordingWhole)
{
    testsupport::PipeWireSession session;
    ASSERT_TRUE(session.ready());
    const fs::path data = fs::path(session.folder()) / "essai.dat";
    auto rec = session.start(rec_command({data.string(), "--duration", "3", "--stream"}), "rec");
    ASSERT_TRUE(session.until_listed("Node", "sonivar-32")) << rec->output();
    session.kill_daemon();
    ASSERT_EQ(rec->wait(), 0) << rec->output();
    const std::string said = rec->output();
    const std::size_t first = said.find("Serveur PipeWire perdu");
    EXPECT_NE(first, std::string::npos) << said;
    EXPECT_EQ(said.find("Serveur PipeWire perdu", first + 1), std::string::npos) << said;
    const testsupport::Outcome check = testsupport::run({"check", data.string()});
    EXPECT_NE(check.out.find("Résultat : enregistrement complet"), std::string::npos) << check.out;
}

} // namespace
