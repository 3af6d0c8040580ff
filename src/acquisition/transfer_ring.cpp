// The ring of eight bulk IN transfers and their completion routine.
//
// Each completed transfer is one packet of the unit's stream: its bytes are
// counted, appended to the data file, its counter word checked, and the
// transfer goes straight back to the unit. A packet shorter than a full
// transfer ends the stream and stops the ring.
//
// The routine works on the transfer libusb hands in: once a slot has
// dropped out of the ring (time-out, error, failed resubmission), the count
// of completions no longer names the slot that completes. For the same
// reason the counter reference comes from the first packet checked, not
// from completion 0. And the ring is over only when every submitted
// transfer has called back: a transfer is never freed while libusb still
// holds it.
#include "acquisition/counter_check.h"
#include "app/format.h"
#include "app/principale.h"
#include "device/vendor_commands.h"
#include "platform/clock.h"
#include "recording/data_write.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

namespace SonivarACQ32 {

namespace {

int stopped_slots()
{
    int n = 0;
    for (bool stopped : Principale::transf_arret)
        n += stopped ? 1 : 0;
    return n;
}

// Every submission goes through here, the first of a ring and each
// resubmission alike; returns libusb's result.
int submit(int slot)
{
    const int r = libusb_submit_transfer(Principale::transfert[slot]);
    if (r == 0)
        Principale::own.ring.pending[slot] = true;
    return r;
}

// The counter word of a packet that is checked: the first packet of the
// run sets the reference, every later one must carry the expected value.
void check_counter(const unsigned char* data)
{
    using P = Principale;
    if (!P::own.ring.reference_taken) {
        P::own.ring.reference_taken = true;
        P::position_compteur = 0;
        P::val_compteur = static_cast<std::int32_t>(stream::word_at(data, 0));
        return;
    }
    const counter::Checkpoint next = counter::next_checkpoint(
        {P::position_compteur, P::val_compteur}, P::nb_voies, P::increment_position,
        P::increment_compteur);
    P::val_compteur = next.expected;
    P::position_compteur = next.position;
    if (stream::word_at(data, next.position) != static_cast<std::uint32_t>(next.expected)) {
        info(QStringLiteral("\r\nErreur sur le compteur paquet : %1\r\n")
                 .arg(fmt::N(P::num_pkt, 0)));
        P::erreur_compteur = true;
    }
}

void accept_packet(int s, std::uint32_t len)
{
    using P = Principale;
    P::ntr += len;
    if (P::record && P::Filep != nullptr) {
        // Counted only once the system has taken it: on a full disk or a
        // file-size limit the count stays the file's real size.
        const WriteOutcome w = write_packet(fileno(P::Filep), P::buffers[s], len);
        P::ntw += w.accepted;
        if (w.accepted < len) {
            P::own.write_failed = true;
            P::own.write_errno = w.err;
        }
    } else if (P::record && len > 0) {
        P::own.write_failed = true;  // recording asked for but no file to write to
    }
    if (!P::test_init)
        P::own.feed.publish(P::buffers[s], len, P::ntr - len);
    if (counter::packet_is_checked(len, P::nb_voies, P::compteur, P::erreur_compteur))
        check_counter(P::buffers[s]);
}

// The stream has ended: every other slot still queued is cancelled.
void stop_ring(int s, std::uint32_t len)
{
    using P = Principale;
    if (len != 0 && P::test)
        info(QStringLiteral("   fin en cours \r\n"));
    P::own.ring.end_of_stream = true;
    P::transf_arret[s] = true;
    for (int i = 0; i < nb_slots; ++i) {
        if (P::transf_arret[i])
            continue;
        const int r = P::transfert[i] != nullptr ? libusb_cancel_transfer(P::transfert[i])
                                                 : LIBUSB_ERROR_NOT_FOUND;
        if (P::test)
            info(QStringLiteral("Arrêt du transfert %1 retour %2 \r\n")
                     .arg(fmt::G(i), fmt::G(r)));
        P::transf_arret[i] = true;
    }
}

void on_completed(int s, const libusb_transfer* t)
{
    using P = Principale;
    const auto len = static_cast<std::uint32_t>(t->actual_length);
    P::a_ecrire[s] = len;
    if (len != stream::packet_bytes && P::test)
        info(QStringLiteral(" - %1 octets de moins qu'un paquet\r\n")
                 .arg(fmt::N(stream::packet_bytes - len, 0)));
    if (!P::transf_arret[s])
        accept_packet(s, len);
    if (len < stream::packet_bytes)
        stop_ring(s, len);
    if (P::transf_arret[s])
        return;
    // A transfer in zero-copy memory is followed as it fills in place: the
    // buffer is marked unfilled again. (Otherwise the level display reads
    // the packet just completed, in place.)
    if (P::own.follow_in_flight && P::own.buffer_is_dev_mem[s])
        feed::mark_unfilled(P::buffers[s], stream::packet_bytes);
    P::own.in_flight_seen = 0;
    const int r = submit(s);
    if (r == 0)
        return;
    info(QStringLiteral("Erreur lancement transfert du paquet %1, retour = %2\r\n")
             .arg(fmt::N(P::num_pkt + 8.0, 0), fmt::N(r, 0)));
}

void on_cancelled(int s)
{
    using P = Principale;
    P::transf_arret[s] = true;
    const int count = stopped_slots();
    if (count == nb_slots)
        P::fini = true;
    if (!P::test)
        return;
    info(QStringLiteral(" status == LIBUSB_TRANSFER_CANCELLED -> Tâche %1 annulée, test_fini : %2 \r\n")
             .arg(fmt::G(s), fmt::N(count, 0)));
    if (P::fini)
        info(QStringLiteral("   fini\r\n"));
}

// The whole frames of a transfer cut by an unplug: they reached the host
// and are the run's last data (the torn frame after them is not kept).
void keep_whole_frames(int s, const libusb_transfer* t)
{
    using P = Principale;
    const std::uint64_t frame = stream::frame_bytes(P::nb_voies);
    if (P::test_init || P::transf_arret[s] || frame == 0 || t->actual_length <= 0)
        return;
    const std::uint64_t end = (P::ntr + static_cast<std::uint64_t>(t->actual_length)) / frame * frame;
    if (end > P::ntr)
        accept_packet(s, static_cast<std::uint32_t>(end - P::ntr));
}

// Time-out, error, stall, lost device, overflow: the data is not accepted
// (but for the whole frames a lost device had already delivered) and the
// slot drops out of the ring, neither resubmitted nor stopped.
void on_failed(int s, libusb_transfer* t)
{
    using P = Principale;
    if (t->status == LIBUSB_TRANSFER_NO_DEVICE)
        keep_whole_frames(s, t);
    if (t->status == LIBUSB_TRANSFER_TIMED_OUT) {
        P::err_timeout = true;
        if (!P::test_init)
            info(QStringLiteral("TIMEOUT lors du transfert du paquet %1\r\n")
                     .arg(fmt::N(P::num_pkt, 0)));
    } else {
        if (t->status == LIBUSB_TRANSFER_NO_DEVICE)
            P::own.unit_lost = true;
        info(QStringLiteral("Erreur lors du transfert du paquet %1 status %2\r\n")
                 .arg(fmt::N(P::num_pkt, 0), fmt::G(static_cast<int>(t->status))));
    }
    libusb_cancel_transfer(t);
}

} // namespace

void LIBUSB_CALL Principale::fn_callback(libusb_transfer* transfer)
{
    const int s = slot_of(transfer);
    if (s >= 0)
        own.ring.pending[s] = false;
    if (test)
        info(QStringLiteral(" %1 ").arg(fmt::G(num_pkt)));
    if (s >= 0) {
        switch (transfer->status) {
        case LIBUSB_TRANSFER_CANCELLED: on_cancelled(s); break;
        case LIBUSB_TRANSFER_COMPLETED: on_completed(s, transfer); break;
        default: on_failed(s, transfer); break;
        }
    }
    ++num_pkt;
}

int Principale::usb_wait(int timeout_ms)
{
    timeval tv{};
    tv.tv_sec = timeout_ms / 1000;
    tv.tv_usec = (timeout_ms % 1000) * 1000;
    return libusb_handle_events_timeout_completed(nullptr, &tv, nullptr);
}

void Principale::alloc_ring(unsigned int timeout)
{
    callback = fn_callback;
    own.ring.zero_copy_refused = false;
    for (int i = 0; i < nb_slots; ++i) {
        transfert[i] = libusb_alloc_transfer(0);
        // Zero-copy usbfs memory when the system offers it, plain memory
        // otherwise; each buffer is freed the way it came. A system that
        // refused it for one buffer is not asked again for the others of the ring
        // (libusb logs every refusal).
        buffers[i] = own.ring.zero_copy_refused ? nullptr
                                            : libusb_dev_mem_alloc(handle, stream::packet_bytes);
        if (buffers[i] == nullptr)
            own.ring.zero_copy_refused = true;
        own.buffer_is_dev_mem[i] = buffers[i] != nullptr;
        if (buffers[i] == nullptr)
            buffers[i] = new (std::nothrow) unsigned char[stream::packet_bytes];
        if (buffers[i] != nullptr)
            std::memset(buffers[i], stream::buffer_fill_byte, stream::packet_bytes);
        transf_arret[i] = false;
        if (transfert[i] != nullptr && buffers[i] != nullptr)
            libusb_fill_bulk_transfer(transfert[i], handle, endpoint_data, buffers[i],
                                      static_cast<int>(stream::packet_bytes), callback, nullptr,
                                      timeout);
    }
}

void Principale::submit_ring()
{
    num_pkt = 0;
    ntr = 0;
    ntw = 0;
    fini = false;
    own.write_failed = false;
    own.write_errno = 0;
    own.ring.reference_taken = false;
    own.ring.end_of_stream = false;
    for (int i = 0; i < nb_slots; ++i) {
        transf_arret[i] = false;
        const bool ready = transfert[i] != nullptr && buffers[i] != nullptr;
        if (!ready || submit(i) != 0)
            call_verb(QStringLiteral("Erreur lancement transfert du paquet %1\r\n").arg(fmt::G(i)),
                      0);
    }
}

void Principale::start_ring(unsigned int timeout)
{
    alloc_ring(timeout);
    submit_ring();
}

void Principale::drain_and_free_ring()
{
    // Transfers still queued are cancelled; the ring is freed only once
    // every one of them has called back. Every slot counts as stopped, so a
    // transfer that completes with data meanwhile is not resubmitted. Should
    // event handling keep failing, the transfers libusb still holds are left
    // allocated rather than freed under it.
    transf_arret.fill(true);
    for (int i = 0; i < nb_slots; ++i)
        if (own.ring.pending[i])
            libusb_cancel_transfer(transfert[i]);
    int failures = 0;
    while (own.ring.in_flight() > 0 && failures < 100) {
        if (usb_wait(100) < 0) {
            ++failures;
            platform::sleep(1);
        }
    }
    for (int i = 0; i < nb_slots; ++i) {
        if (own.ring.pending[i])
            continue;
        libusb_free_transfer(transfert[i]);
        if (own.buffer_is_dev_mem[i])
            libusb_dev_mem_free(handle, buffers[i], stream::packet_bytes);
        else
            delete[] buffers[i];
        transfert[i] = nullptr;
        buffers[i] = nullptr;
        own.buffer_is_dev_mem[i] = false;
    }
}

void Principale::take_back_stream()
{
    // Nothing is asked of a unit that has gone.
    if (own.ring.end_of_stream || handle == nullptr || own.unit_lost)
        return;
    buf[0] = vendor::stop;
    buf[1] = 0x00;
    commande(1);
    // At most the ring's worth and a little more: a unit that ignores Stop
    // is not read for ever.
    constexpr int most_packets = 2 * nb_slots;
    constexpr unsigned int read_timeout_ms = 500;
    std::vector<unsigned char> scratch(stream::packet_bytes);
    for (int i = 0; i < most_packets; ++i) {
        int got = 0;
        const int r = libusb_bulk_transfer(handle, endpoint_data, scratch.data(),
                                           static_cast<int>(scratch.size()), &got, read_timeout_ms);
        if (r != 0 || static_cast<std::uint32_t>(got) < stream::packet_bytes)
            break;
    }
}

int Principale::RingState::in_flight() const
{
    return static_cast<int>(std::count(pending.begin(), pending.end(), true));
}

int Principale::slot_of(const libusb_transfer* transfer)
{
    for (int i = 0; i < nb_slots; ++i)
        if (transfert[i] == transfer && transfer != nullptr)
            return i;
    return -1;
}

} // namespace SonivarACQ32
