// The run's feed in the acquisition window: the capture state as the run
// goes, and the filled part of a zero-copy transfer still in flight, so that
// the live windows see the stream at video rate rather than once per 1 MiB
// transfer.
#include "app/principale.h"

#include "stream/stream_format.h"
#include "recording/header_record.h"

#include <algorithm>
#include <vector>

namespace SonivarACQ32 {

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
    // Where the transfers have zero-copy memory, each is followed as it fills.
    own.follow_in_flight = std::any_of(own.buffer_is_dev_mem.begin(), own.buffer_is_dev_mem.end(),
                                       [](bool b) { return b; });
    if (!own.follow_in_flight && own.feed.has_subscribers() && !own.whole_transfers_said) {
        own.whole_transfers_said = true;
        info(QStringLiteral("Pas de mémoire partagée avec le contrôleur USB : la carte et le spectre "
                            "ne suivent le flux qu'à chaque paquet complet (1 Mo)\r\n"));
    }
    own.feed.run_starting(awaiting_trigger ? feed::Capture::awaiting_trigger : feed::Capture::running,
                          live_layout(), frequence, record && file_open ? acqui_name.toStdString() : std::string());
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
    const std::size_t filled = feed::filled_bytes(buffers[s], stream::packet_bytes, own.in_flight_seen);
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
