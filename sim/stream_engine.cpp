#include "stream_engine.h"

#include "descriptors.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <limits>

namespace sim {

namespace {
constexpr std::uint64_t unbounded = std::numeric_limits<std::uint64_t>::max();
// The unit's High Speed bulk packets: the host controller writes zero-copy
// memory one whole packet at a time.
constexpr std::uint64_t usb_packet_bytes = 512;

std::uint64_t round_up(std::uint64_t value, std::uint64_t step)
{
    return step == 0 ? value : (value + step - 1) / step * step;
}
} // namespace

void StreamEngine::submit_control(std::uint64_t id, const SetupPacket& setup,
                                  const std::vector<std::uint8_t>& data, Clock::time_point now)
{
    constexpr std::uint8_t type_bits = 0x60;
    constexpr std::size_t setup_bytes = 8;
    if ((setup.request_type & type_bits) == 0) {
        std::optional<std::vector<std::uint8_t>> answer = standard_request(setup);
        Finished done{id, answer ? 0 : -EPIPE, 0, {}, setup_bytes};
        if (answer) {
            done.actual_length = static_cast<int>(answer->size());
            done.data = std::move(*answer);
        }
        finished_.push_back(std::move(done));
        return;
    }
    const Outcome outcome = model.handle(setup, data);
    Finished done;
    done.id = id;
    done.status = outcome.accepted ? 0 : -EPIPE;
    done.actual_length = outcome.accepted ? static_cast<int>(data.size()) : 0;
    finished_.push_back(std::move(done));
    switch (outcome.action) {
    case Action::Start: start(now); break;
    case Action::Stop: stop(now); break;
    case Action::Reset: phase_ = Phase::Idle; break;  // no end packet: the host cancels
    case Action::None: break;
    }
}

bool StreamEngine::submit_bulk(std::uint64_t id, std::uint32_t length, Clock::time_point now,
                               std::uint8_t* in_place)
{
    if (!connected_)
        return false;
    queued_.push_back({id, length, in_place, 0});
    if (host_drained_)
        pump(now);
    return true;
}

bool StreamEngine::discard(std::uint64_t id, Clock::time_point now)
{
    for (auto it = queued_.begin(); it != queued_.end(); ++it) {
        if (it->id != id)
            continue;
        queued_.erase(it);
        finished_.push_back({id, -ECONNRESET, 0, {}});
        if (held_ == id) {  // the stream resumes in the next transfer
            held_.reset();
            pump(now);
        }
        return true;
    }
    return false;
}

void StreamEngine::forget(std::uint64_t id, Clock::time_point now)
{
    std::erase_if(queued_, [id](const auto& urb) { return urb.id == id; });
    std::erase_if(finished_, [id](const Finished& done) { return done.id == id; });
    if (held_ == id) {
        held_.reset();
        pump(now);
    }
}

std::optional<Finished> StreamEngine::reap(Clock::time_point now)
{
    if (finished_.empty()) {
        host_drained_ = true;
        pump(now);
        return std::nullopt;
    }
    host_drained_ = false;
    Finished done = std::move(finished_.front());
    finished_.pop_front();
    return done;
}

void StreamEngine::start(Clock::time_point now)
{
    const UnitSettings& s = model.settings;
    source_ = FrameSource(s, signals, first_counter, jumps, scene_);
    source_.set_inputs(inputs_[0], inputs_[1]);
    offset_ = 0;
    transfer_index_ = 0;
    held_.reset();
    no_end_packet_ = false;
    run_length_error_ = length_error;
    length_error = 0;
    const std::uint64_t frame = source_.frame_bytes();
    if (s.sample_count != 0 || frame == 0)
        end_ = with_length_error(static_cast<std::uint64_t>(s.sample_count) * frame);
    else
        end_.reset();
    trigger_ = decode_trigger(s.trigger);
    phase_ = Phase::Waiting;
    const bool level = trigger_.source != 0 && inputs_[trigger_.source - 1];
    if (trigger_.source == 0 || trigger_met(level, level))
        begin_streaming(now);
}

void StreamEngine::begin_streaming(Clock::time_point now)
{
    phase_ = Phase::Streaming;
    t0_ = now;
    pump(now);
}

void StreamEngine::stop(Clock::time_point now)
{
    if (phase_ == Phase::Waiting) {  // stopped before its trigger: an empty stream
        end_ = 0;
        begin_streaming(now);
        return;
    }
    if (phase_ != Phase::Streaming)
        return;
    // The unit stops at the end of the frame it is sampling.
    const std::uint64_t frame = source_.frame_bytes();
    std::uint64_t stop_at = round_up(offset_, frame);
    if (paced)
        stop_at = std::max(stop_at, frames_due(now) * frame);
    end_ = end_ ? std::min(*end_, with_length_error(stop_at)) : with_length_error(stop_at);
    no_end_packet_ = ignore_stop;
    pump(now);
}

// The faulty length of a stream: never shorter than what is already out.
std::uint64_t StreamEngine::with_length_error(std::uint64_t end) const
{
    if (run_length_error_ >= 0)
        return end + static_cast<std::uint64_t>(run_length_error_);
    const auto fewer = static_cast<std::uint64_t>(-static_cast<std::int64_t>(run_length_error_));
    return std::max(offset_, end > fewer ? end - fewer : 0);
}

bool StreamEngine::trigger_met(bool before, bool after) const
{
    switch (trigger_.condition) {
    case Trigger::Condition::Rising: return !before && after;
    case Trigger::Condition::Falling: return before && !after;
    case Trigger::Condition::High: return after;
    case Trigger::Condition::Low: return !after;
    }
    return false;
}

void StreamEngine::set_input(int input, bool high, Clock::time_point now)
{
    const bool before = inputs_[input - 1];
    inputs_[input - 1] = high;
    source_.set_inputs(inputs_[0], inputs_[1]);
    if (phase_ == Phase::Waiting && trigger_.source == input && trigger_met(before, high))
        begin_streaming(now);
}

void StreamEngine::set_scene(const Scene& scene)
{
    scene_ = scene;
    source_.set_scene(scene);
}

std::optional<Clock::time_point> StreamEngine::frame_due(std::uint64_t frame) const
{
    if (!paced || phase_ != Phase::Streaming)
        return std::nullopt;
    const auto wait = std::chrono::duration<double>(static_cast<double>(frame) / model.settings.sample_rate());
    return t0_ + std::chrono::duration_cast<Clock::duration>(wait);
}

double StreamEngine::scene_time(Clock::time_point now) const
{
    if (phase_ != Phase::Streaming)
        return std::chrono::duration<double>(now - made_).count();
    const std::uint64_t frames = paced ? frames_due(now) : offset_ / source_.frame_bytes();
    return static_cast<double>(frames) / model.settings.sample_rate();
}

std::uint64_t StreamEngine::frames_due(Clock::time_point now) const
{
    const double seconds = std::chrono::duration<double>(now - t0_).count();
    return seconds <= 0 ? 0 : static_cast<std::uint64_t>(seconds * model.settings.sample_rate());
}

std::uint64_t StreamEngine::available(Clock::time_point now) const
{
    const std::uint64_t end = end_.value_or(unbounded);
    if (!paced)
        return end;
    return std::min(end, frames_due(now) * source_.frame_bytes());
}

bool StreamEngine::fail_front()
{
    const auto it = failures.find(transfer_index_);
    if (it == failures.end())
        return false;
    const Failure failure = it->second;
    failures.erase(it);
    ++transfer_index_;
    const Pending urb = queued_.front();
    if (failure == Failure::TimedOut) {
        held_ = urb.id;  // nothing comes until the host gives up on it
        return true;
    }
    queued_.pop_front();
    finished_.push_back({urb.id, failure == Failure::Stall ? -EPIPE : -EPROTO, 0, {}});
    return true;
}

void StreamEngine::pump(Clock::time_point now)
{
    while (phase_ == Phase::Streaming && !silent && connected_ && !queued_.empty()) {
        if (held_ && *held_ == queued_.front().id)
            return;
        if (fail_front())
            continue;
        const std::uint64_t ready = available(now) - offset_;
        const bool at_end = end_ && available(now) == *end_;
        std::uint64_t n;
        if (ready >= queued_.front().length)
            n = queued_.front().length;
        else if (at_end && !no_end_packet_)
            n = ready;  // the short (or empty) packet that ends the stream
        else {
            write_in_place(queued_.front(), ready);
            return;     // waiting for the clock, or for a host that gives up
        }
        const Pending urb = queued_.front();
        queued_.pop_front();
        if (unplug_at && bytes_sent + n >= *unplug_at) {
            // The cable goes once the last byte is out: a transfer it cuts short
            // ends as the host sees a vanished device.
            const bool whole = bytes_sent + n == *unplug_at;
            deliver(urb, *unplug_at - bytes_sent, whole ? 0 : -ESHUTDOWN);
            unplug_at.reset();
            unplug_due_ = true;
            disconnect();
            return;
        }
        deliver(urb, n, 0);
        ++transfer_index_;
        if (n < urb.length)
            phase_ = Phase::Idle;
    }
}

// What is due of a transfer that is still filling goes into its buffer in
// whole packets (no further than the unplug fault lets the stream go).
void StreamEngine::write_in_place(Pending& urb, std::uint64_t ready)
{
    if (urb.in_place == nullptr)
        return;
    std::uint64_t upto = std::min<std::uint64_t>(ready, urb.length) / usb_packet_bytes * usb_packet_bytes;
    if (unplug_at)
        upto = std::min(upto, *unplug_at - std::min(*unplug_at, bytes_sent));
    if (upto <= urb.written)
        return;
    source_.fill(offset_ + urb.written, urb.in_place + urb.written, upto - urb.written);
    urb.written = static_cast<std::uint32_t>(upto);
}

void StreamEngine::deliver(const Pending& urb, std::uint64_t n, int status)
{
    Finished done;
    done.id = urb.id;
    done.status = status;
    done.actual_length = static_cast<int>(n);
    if (urb.in_place != nullptr) {
        if (n > urb.written)
            source_.fill(offset_ + urb.written, urb.in_place + urb.written, n - urb.written);
    } else {
        done.data.resize(n);
        source_.fill(offset_, done.data.data(), n);
    }
    offset_ += n;
    bytes_sent += n;
    finished_.push_back(std::move(done));
}

std::optional<Clock::time_point> StreamEngine::next_deadline() const
{
    if (!paced || silent || phase_ != Phase::Streaming || queued_.empty() || held_ ||
        failures.count(transfer_index_))
        return std::nullopt;
    const std::uint64_t frame = source_.frame_bytes();
    if (frame == 0)
        return t0_;
    const Pending& front = queued_.front();
    std::uint64_t target = offset_ + front.length;
    if (front.in_place != nullptr && !unplug_at)  // the next packets to write in place
        target = std::min(target, offset_ + (front.written / in_place_step() + 1) * in_place_step());
    if (end_)
        target = std::min(target, *end_);
    if (end_ && offset_ == *end_ && no_end_packet_)
        return std::nullopt;
    const double frames = std::ceil(static_cast<double>(target) / static_cast<double>(frame));
    const auto wait = std::chrono::duration<double>(frames / model.settings.sample_rate());
    return t0_ + std::chrono::duration_cast<Clock::duration>(wait) + std::chrono::microseconds(1);
}

// In-place writes go by whole packets, and no more often than every
// millisecond: the host controller's frames are that coarse too.
std::uint64_t StreamEngine::in_place_step() const
{
    const double per_ms = model.settings.sample_rate() * static_cast<double>(source_.frame_bytes()) / 1000.0;
    const auto packets = static_cast<std::uint64_t>(std::ceil(per_ms / usb_packet_bytes));
    return std::max<std::uint64_t>(packets, 1) * usb_packet_bytes;
}

void StreamEngine::disconnect()
{
    connected_ = false;
    for (const Pending& urb : queued_)
        finished_.push_back({urb.id, -ESHUTDOWN, 0, {}});
    queued_.clear();
    held_.reset();
    phase_ = Phase::Idle;
}

void StreamEngine::connect()
{
    connected_ = true;
    unplug_due_ = false;
    queued_.clear();
    finished_.clear();
    host_drained_ = true;
    phase_ = Phase::Idle;
    model.power_on();
}

} // namespace sim
