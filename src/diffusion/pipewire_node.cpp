#include "diffusion/pipewire_node.h"

#include <pipewire/pipewire.h>
#include <spa/node/io.h>
#include <spa/param/audio/format-utils.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <mutex>

namespace SonivarACQ32::diffusion {

namespace {

// The cycle the node asks of the server (its latency), also the loop's period.
constexpr unsigned node_quantum = 256, node_quantum_rate = 48000;

std::int64_t now_ns()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void on_process(void* node) { static_cast<PipeWireNode*>(node)->process(); }

void on_state_changed(void* node, pw_stream_state, pw_stream_state state, const char* error)
{
    static_cast<PipeWireNode*>(node)->state_changed(static_cast<int>(state), error);
}

void on_io_changed(void* node, std::uint32_t id, void* area, std::uint32_t)
{
    if (id == SPA_IO_RateMatch)
        static_cast<PipeWireNode*>(node)->rate_match_io(static_cast<spa_io_rate_match*>(area));
}

const pw_stream_events stream_events = [] {
    pw_stream_events events{};
    events.version = PW_VERSION_STREAM_EVENTS;
    events.state_changed = on_state_changed;
    events.io_changed = on_io_changed;
    events.process = on_process;
    return events;
}();

// "MIC_00,MIC_05,…": the channels' names, for programs that show them.
std::string channel_names(const std::vector<int>& micros)
{
    std::string names;
    char name[8];
    for (int m : micros) {
        std::snprintf(name, sizeof name, "MIC_%02d", m);
        if (!names.empty())
            names += ',';
        names += name;
    }
    return names;
}

pw_properties* node_properties(const NodeFormat& format)
{
    pw_properties* props = pw_properties_new(
        PW_KEY_MEDIA_TYPE, "Audio", PW_KEY_MEDIA_CATEGORY, "Capture", PW_KEY_MEDIA_ROLE, "Production",
        PW_KEY_MEDIA_CLASS, "Audio/Source", PW_KEY_NODE_NAME, node_name, PW_KEY_NODE_DESCRIPTION,
        node_description, nullptr);
    pw_properties_setf(props, PW_KEY_NODE_LATENCY, "%u/%u", node_quantum, node_quantum_rate);
    pw_properties_set(props, "sonivar.channel-names", channel_names(format.micros).c_str());
    return props;
}

} // namespace

PipeWireNode::~PipeWireNode() { close(); }

bool PipeWireNode::open(const NodeFormat& format, int& error)
{
    static std::once_flag library_ready;
    std::call_once(library_ready, [] { pw_init(nullptr, nullptr); });
    close();
    if (format.micros.empty() || format.micros.size() > SPA_AUDIO_MAX_CHANNELS || format.rate == 0) {
        error = EINVAL;
        return false;
    }
    format_ = format;
    gone_ = false;
    stamp_frames_ = 0;
    frames_read_ = 0;
    dry_cycles_ = 0;
    latency_.reset();
    last_cycle_ns_ = last_write_ns_ = 0;
    late_cycles_ = backlogs_ = 0;
    longest_cycle_gap_ns_ = longest_write_gap_ns_ = 0;
    ring_ = std::make_unique<SampleRing>(format.rate, format.micros.size());  // one second
    drift_.emplace(target_delay_s * format.rate, node_quantum, node_quantum_rate);
    loop_ = pw_thread_loop_new("sonivar-diffusion", nullptr);
    stream_ = loop_ != nullptr ? pw_stream_new_simple(pw_thread_loop_get_loop(loop_), node_description,
                                                      node_properties(format), &stream_events, this)
                               : nullptr;
    spa_audio_info_raw info{};
    info.format = SPA_AUDIO_FORMAT_F32;
    info.rate = format.rate;
    info.channels = static_cast<std::uint32_t>(format.micros.size());
    // No speaker positions: the ports are numbered in the microphones'
    // order, and a program that asks for channels without positions
    // (AUX0…) takes them one for one; one that asks for a speaker layout
    // has them mixed into it by its own stream.
    info.flags = SPA_AUDIO_FLAG_UNPOSITIONED;
    std::uint8_t buffer[1024];
    spa_pod_builder builder = SPA_POD_BUILDER_INIT(buffer, sizeof buffer);
    const spa_pod* params[1] = {spa_format_audio_raw_build(&builder, SPA_PARAM_EnumFormat, &info)};
    const int connected = stream_ != nullptr
                              ? pw_stream_connect(stream_, PW_DIRECTION_OUTPUT, PW_ID_ANY,
                                                  static_cast<pw_stream_flags>(PW_STREAM_FLAG_MAP_BUFFERS |
                                                                               PW_STREAM_FLAG_RT_PROCESS),
                                                  params, 1)
                              : -errno;
    if (connected < 0 || pw_thread_loop_start(loop_) < 0) {
        error = connected < 0 ? -connected : errno;
        close();
        return false;
    }
    return true;
}

void PipeWireNode::close()
{
    if (loop_ != nullptr)
        pw_thread_loop_stop(loop_);
    if (stream_ != nullptr)
        pw_stream_destroy(stream_);
    if (loop_ != nullptr)
        pw_thread_loop_destroy(loop_);
    stream_ = nullptr;
    loop_ = nullptr;
    rate_match_ = nullptr;
    reading_ = false;
    primed_ = false;
}

void PipeWireNode::write(const float* frames, std::size_t count)
{
    if (!ring_ || !reading_.load(std::memory_order_acquire))
        return;
    ring_->write(frames, count);
    stamp_written(ring_->written());
}

void PipeWireNode::state_changed(int state, const char*)
{
    reading_.store(state == PW_STREAM_STATE_STREAMING, std::memory_order_release);
    if (state == PW_STREAM_STATE_ERROR || state == PW_STREAM_STATE_UNCONNECTED)
        gone_.store(true, std::memory_order_release);
}

// The earliest time the newest frames could have been sampled: each piece
// arrives after its last frame was taken, so the least of (arrival - frames
// / rate) is the stream's origin as seen here.
void PipeWireNode::stamp_written(std::uint64_t frames)
{
    const std::int64_t now = now_ns();
    if (last_write_ns_ != 0 && now - last_write_ns_ > longest_write_gap_ns_.load(std::memory_order_relaxed))
        longest_write_gap_ns_.store(now - last_write_ns_, std::memory_order_relaxed);
    last_write_ns_ = now;
    const auto origin = now - static_cast<std::int64_t>(static_cast<double>(frames) * 1e9 / format_.rate);
    if (stamp_frames_.load(std::memory_order_relaxed) == 0 || origin < stamp_ns_.load(std::memory_order_relaxed))
        stamp_ns_.store(origin, std::memory_order_relaxed);
    stamp_frames_.store(frames, std::memory_order_release);
}

void PipeWireNode::record_latency(std::uint64_t read_end)
{
    if (read_end == 0 || stamp_frames_.load(std::memory_order_acquire) == 0)
        return;
    const double sampled_ns = static_cast<double>(stamp_ns_.load(std::memory_order_relaxed)) +
                              static_cast<double>(read_end - 1) * 1e9 / format_.rate;
    latency_.add((static_cast<double>(now_ns()) - sampled_ns) / 1e6);
}

void PipeWireNode::note_cycle()
{
    const std::int64_t now = now_ns();
    const std::int64_t gap = last_cycle_ns_ != 0 ? now - last_cycle_ns_ : 0;
    last_cycle_ns_ = now;
    if (gap > 3 * static_cast<std::int64_t>(1e9 * node_quantum / node_quantum_rate))
        late_cycles_.fetch_add(1, std::memory_order_relaxed);
    if (gap > longest_cycle_gap_ns_.load(std::memory_order_relaxed))
        longest_cycle_gap_ns_.store(gap, std::memory_order_relaxed);
}

PipeWireNode::Timeliness PipeWireNode::timeliness() const
{
    return {late_cycles_.load(std::memory_order_relaxed), longest_cycle_gap_ns_.load(std::memory_order_relaxed) / 1e6,
            longest_write_gap_ns_.load(std::memory_order_relaxed) / 1e6, backlogs_.load(std::memory_order_relaxed)};
}

// On the server's real-time thread: one cycle's frames from the ring, the
// resampler nudged to keep the ring at its target; silence while the ring
// fills (at the start, after running dry).
void PipeWireNode::process()
{
    pw_buffer* b = pw_stream_dequeue_buffer(stream_);
    if (b == nullptr)
        return;
    spa_data& d = b->buffer->datas[0];
    const std::size_t channels = ring_->channels(), stride = channels * sizeof(float);
    auto* out = static_cast<float*>(d.data);
    std::size_t frames = out != nullptr ? d.maxsize / stride : 0;
    if (b->requested != 0)
        frames = std::min<std::size_t>(frames, b->requested);
    reading_.store(true, std::memory_order_release);
    note_cycle();
    const auto target = static_cast<std::size_t>(drift_->target());
    if (!primed_ && ring_->fill() >= target) {
        ring_->keep_newest(target, false);
        primed_ = true;
    } else if (primed_ && ring_->fill() > 4 * target) {
        ring_->keep_newest(target, true);  // a backlog after a stall: dropped, not played late
        backlogs_.fetch_add(1, std::memory_order_relaxed);
    }
    std::size_t got = 0;
    if (primed_) {
        if (rate_match_ != nullptr) {
            rate_match_->rate = static_cast<float>(drift_->rate(ring_->fill()));
            SPA_FLAG_SET(rate_match_->flags, SPA_IO_RATE_MATCH_FLAG_ACTIVE);
        }
        got = ring_->read(out, frames);
        primed_ = got == frames;
        if (!primed_)
            dry_cycles_.fetch_add(1, std::memory_order_relaxed);
        record_latency(ring_->read_position());
    }
    if (out != nullptr)
        std::fill(out + got * channels, out + frames * channels, 0.0f);
    frames_read_.fetch_add(got, std::memory_order_relaxed);
    d.chunk->offset = 0;
    d.chunk->stride = static_cast<std::int32_t>(stride);
    d.chunk->size = static_cast<std::uint32_t>(frames * stride);
    pw_stream_queue_buffer(stream_, b);
}

} // namespace SonivarACQ32::diffusion
