#include "frame_source.h"

#include <cmath>
#include <cstring>

namespace sim {

namespace {
constexpr int word_counter = -1;
constexpr int word_status = -2;
constexpr double two_pi = 6.283185307179586;
constexpr double float_full_scale = 2147483648.0;  // a Scene in float32 is scaled to +-1

// A stateless hash, so that any stretch of the stream can be produced on its
// own and the same position always carries the same noise.
std::uint64_t mix(std::uint64_t x)
{
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

double noise(int mic, std::uint64_t frame)
{
    const std::uint64_t h = mix(frame * 64 + static_cast<std::uint64_t>(mic));
    return static_cast<double>(h >> 11) / 4503599627370496.0 - 1.0;  // [-1, 1)
}
} // namespace

FrameSource::FrameSource(const UnitSettings& settings, const std::array<Signal, 32>& signals,
                         std::uint32_t first_counter, std::vector<CounterJump> jumps, Scene scene)
    : signals_(signals),
      type_(settings.data_type),
      rate_(settings.sample_rate()),
      first_counter_(first_counter),
      jumps_(std::move(jumps)),
      scene_(std::move(scene))
{
    if (settings.extra_flags & extra_counter)
        layout_.push_back(word_counter);
    for (int mic : settings.microphones())
        layout_.push_back(mic);
    if (settings.extra_flags & extra_status)
        layout_.push_back(word_status);
}

std::uint32_t FrameSource::word(std::uint64_t frame, std::size_t index) const
{
    const int what = layout_[index];
    if (what == word_counter) {
        std::uint64_t counter = first_counter_ + frame;
        for (const CounterJump& jump : jumps_)
            if (frame >= jump.frame)
                counter += jump.by;
        return static_cast<std::uint32_t>(counter);  // wraps at 2^32
    }
    if (what == word_status)
        return inputs_;
    return sample_bits(what, frame);
}

std::uint32_t FrameSource::sample_bits(int mic, std::uint64_t frame) const
{
    double value = sample_value(mic, frame);
    if (type_ == DataType::Float32) {
        if (signals_[mic].kind == Signal::Kind::Scene)
            value /= float_full_scale;
        const float f = static_cast<float>(value);
        std::uint32_t bits;
        std::memcpy(&bits, &f, sizeof bits);
        return bits;
    }
    const double clamped = std::fmax(-2147483648.0, std::fmin(2147483647.0, std::round(value)));
    return static_cast<std::uint32_t>(static_cast<std::int32_t>(clamped));
}

double FrameSource::sample_value(int mic, std::uint64_t frame) const
{
    const Signal& signal = signals_[mic];
    const double t = static_cast<double>(frame) / rate_;
    switch (signal.kind) {
    case Signal::Kind::Silence: return 0.0;
    case Signal::Kind::Constant: return signal.amplitude;
    case Signal::Kind::Sine: return signal.amplitude * std::sin(two_pi * signal.frequency * t);
    case Signal::Kind::Noise: return signal.amplitude * noise(mic, frame);
    case Signal::Kind::Scene: break;
    }
    if (scene_.calibrator && scene_.calibrator->mic == mic)  // covered: hears the calibrator alone
        return scene_.calibrator->amplitude() * std::sin(two_pi * scene_.calibrator->frequency * t);
    if (frame != source_frame_) {  // once per frame, not per microphone
        source_frame_ = frame;
        source_now_ = scene_.source_at(t);
    }
    return heard(scene_.microphones[mic], source_now_, t);
}

void FrameSource::fill(std::uint64_t offset, std::uint8_t* out, std::size_t n) const
{
    const std::size_t words = layout_.size();
    if (words == 0)
        return;
    std::uint64_t w = offset / 4;
    std::size_t skip = offset % 4;  // a stretch may start inside a word
    std::uint64_t frame = w / words;
    std::size_t index = w % words;
    std::size_t done = 0;
    while (done < n) {
        const std::uint32_t v = word(frame, index);
        const std::uint8_t bytes[4] = {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8),
                                       static_cast<std::uint8_t>(v >> 16),
                                       static_cast<std::uint8_t>(v >> 24)};
        for (std::size_t b = skip; b < 4 && done < n; ++b)
            out[done++] = bytes[b];
        skip = 0;
        if (++index == words) {
            index = 0;
            ++frame;
        }
    }
}

} // namespace sim
