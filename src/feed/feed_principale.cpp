// The run's feed in the acquisition window: the capture state as the run
// goes, and the filled part of a zero-copy transfer still in flight, so that
// a slow stream is seen long before its 1 MiB transfer completes.
#include "app/principale.h"

#include "acquisition/run_sizing.h"
#include "acquisition/stream_format.h"
#include "recording/header_record.h"

#include <algorithm>
#include <vector>

namespace SonivarACQ32 {

namespace {

// Transfers that take longer than this to fill are followed as they fill,
// so that the levels and the map show at least once a second.
constexpr std::uint32_t slow_packet_ms = 500;

} // namespace

stream::FrameLayout Principale::live_layout() const
{
    stream::FrameLayout layout;
    refresh_layout(layout);
    return layout;
}

// In place, so that the level display's pass allocates nothing once the
// layout has its capacity.
void Principale::refresh_layout(stream::FrameLayout& layout) const
{
    layout.micros.assign(num_mic_valid.begin(), num_mic_valid.begin() + std::clamp(nb_micros, 0, 32));
    layout.nb_voies = nb_voies;
    layout.counter = compteur;
    layout.is_float = header_file.type_float != 0;
    layout.status = stream::has_status_word(nb_voies, layout.micros.size(), compteur);
}

void Principale::feed_run_starting(bool awaiting_trigger)
{
    own.in_flight_seen = 0;
    own.follow_in_flight =
        run_sizing::stream_time_ms(stream::packet_bytes, nb_voies, frequence) > slow_packet_ms;
    own.feed.run_starting(awaiting_trigger ? feed::Capture::awaiting_trigger : feed::Capture::running,
                          live_layout(), frequence);
}

void Principale::feed_capture(feed::Capture state)
{
    if (own.feed.state() != state)
        own.feed.set_state(state);
}

// The oldest transfer still queued is the next to complete: its buffer
// holds the stream from the bytes accepted so far on. Only zero-copy memory
// shows its data before completion.
Principale::InFlight Principale::in_flight() const
{
    const int s = static_cast<int>(num_pkt % nb_slots);
    if (!own.ring.pending[s] || !own.buffer_is_dev_mem[s] || buffers[s] == nullptr || transf_arret[s])
        return {};
    const std::size_t filled = feed::filled_bytes(buffers[s], stream::packet_bytes, stream::buffer_fill_byte,
                                                  own.in_flight_seen);
    return {buffers[s], filled, ntr};
}

void Principale::offer_in_flight()
{
    const InFlight part = in_flight();
    if (part.data == nullptr)
        return;
    own.in_flight_seen = part.filled;
    const std::size_t whole = feed::whole_frames_length(part.filled, part.stream_position,
                                                        own.feed.run().layout);
    own.feed.publish(part.data, whole, part.stream_position);
}

} // namespace SonivarACQ32
