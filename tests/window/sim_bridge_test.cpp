// The simulated unit seen through the real libusb, without the window: what
// the program relies on (one short transfer for the presence acquisition, an
// empty transfer after an exact multiple of 1 MiB, each injected fault, the
// unplug) must reach libusb exactly as a unit would deliver it.
#include "stream/stream_format.h"
#include "simulated_unit.h"

#include <gtest/gtest.h>
#include <libusb.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int mib = static_cast<int>(SonivarACQ32::stream::packet_bytes);

std::uint32_t word_at(const std::vector<std::uint8_t>& bytes, std::size_t word)
{
    return SonivarACQ32::stream::word_at(bytes.data(), static_cast<std::uint32_t>(word));
}

struct Completion {
    int slot;
    libusb_transfer_status status;
    int length;
    std::vector<std::uint8_t> data;
};

// A ring of bulk IN transfers on endpoint 0x81, counted by their callbacks.
class Link {
public:
    Link()
    {
        EXPECT_EQ(libusb_init(&ctx), 0);
        handle = libusb_open_device_with_vid_pid(ctx, 0xFE27, 0xAC03);
        if (handle != nullptr) {
            EXPECT_EQ(libusb_claim_interface(handle, 0), 0);
        }
    }
    ~Link()
    {
        if (in_flight > 0) {
            for (libusb_transfer* t : transfers)
                libusb_cancel_transfer(t);
            run_until([&] { return in_flight == 0; });
        }
        for (libusb_transfer* t : transfers) {
            delete[] t->buffer;
            libusb_free_transfer(t);
        }
        if (handle != nullptr) {
            libusb_release_interface(handle, 0);
            libusb_close(handle);
        }
        libusb_exit(ctx);
    }

    int send(std::uint8_t request, std::vector<std::uint8_t> data)
    {
        return libusb_control_transfer(handle, 0x40, request, 0, 0, data.data(),
                                       static_cast<std::uint16_t>(data.size()), 1000);
    }

    // Beam masks, then the extra-channel flags, as the program sends them.
    void select(std::array<std::uint8_t, 4> masks, std::uint8_t extra)
    {
        for (std::uint8_t beam = 0; beam < 4; ++beam)
            ASSERT_EQ(send(0xB3, {0x05, 0x00, beam, masks[beam]}), 4);
        ASSERT_EQ(send(0xB3, {0x05, 0x00, 0xFF, extra}), 4);
    }

    void count(std::uint32_t samples)
    {
        ASSERT_EQ(send(0xB4, {0x04, std::uint8_t(samples), std::uint8_t(samples >> 8),
                              std::uint8_t(samples >> 16), std::uint8_t(samples >> 24)}),
                  5);
    }

    void submit(int n, std::vector<unsigned> timeouts = {})
    {
        for (int i = 0; i < n; ++i) {
            libusb_transfer* t = libusb_alloc_transfer(0);
            const unsigned timeout = i < static_cast<int>(timeouts.size()) ? timeouts[i] : 0;
            libusb_fill_bulk_transfer(t, handle, 0x81, new unsigned char[mib], mib, &Link::done,
                                      this, timeout);
            transfers.push_back(t);
            ASSERT_EQ(libusb_submit_transfer(t), 0);
            ++in_flight;
        }
    }

    // Handles events until `until` holds; gives up after five seconds.
    template <class Pred>
    bool run_until(Pred until)
    {
        const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (!until()) {
            if (std::chrono::steady_clock::now() > give_up)
                return false;
            timeval tv{0, 50000};
            libusb_handle_events_timeout_completed(ctx, &tv, nullptr);
        }
        return true;
    }

    // Resubmits full transfers until the stream ends, then cancels the rest.
    void stream_to_end()
    {
        resubmit = true;
        ASSERT_TRUE(run_until([&] { return ended; }));
        for (libusb_transfer* t : transfers)
            libusb_cancel_transfer(t);
        ASSERT_TRUE(run_until([&] { return in_flight == 0; }));
    }

    std::vector<Completion> of_status(libusb_transfer_status status) const
    {
        std::vector<Completion> out;
        for (const Completion& c : completions)
            if (c.status == status)
                out.push_back(c);
        return out;
    }

    static void LIBUSB_CALL done(libusb_transfer* t)
    {
        auto* self = static_cast<Link*>(t->user_data);
        int slot = 0;
        while (self->transfers[slot] != t)
            ++slot;
        self->completions.push_back(
            {slot, t->status, t->actual_length,
             std::vector<std::uint8_t>(t->buffer, t->buffer + t->actual_length)});
        if (t->status == LIBUSB_TRANSFER_COMPLETED && t->actual_length < t->length)
            self->ended = true;
        if (self->resubmit && !self->ended && t->status == LIBUSB_TRANSFER_COMPLETED &&
            libusb_submit_transfer(t) == 0)
            return;
        --self->in_flight;
    }

    libusb_context* ctx = nullptr;
    libusb_device_handle* handle = nullptr;
    std::vector<libusb_transfer*> transfers;
    std::vector<Completion> completions;
    int in_flight = 0;
    bool resubmit = false;
    bool ended = false;
};

// Stream bytes of several completions, in order.
std::vector<std::uint8_t> joined(const std::vector<Completion>& cs)
{
    std::vector<std::uint8_t> all;
    for (const Completion& c : cs)
        all.insert(all.end(), c.data.begin(), c.data.end());
    return all;
}

TEST(SimBridge, PresenceAcquisitionArrivesAsOneShortTransfer)
{
    sim::SimulatedUnit unit;
    for (int m = 0; m < 8; ++m)
        unit.set_signal(m, {sim::Signal::Kind::Constant, 1000.0 + m});
    Link link;
    ASSERT_NE(link.handle, nullptr);
    EXPECT_EQ(unit.opens(), 1);
    EXPECT_EQ(unit.claims(), 1);

    ASSERT_EQ(link.send(0xB1, {0x01, 9}), 2);
    link.count(255);
    link.select({0xFF, 0, 0, 0}, 0x00);
    link.submit(8);
    ASSERT_EQ(link.send(0xB1, {0x02, 0x00}), 2);
    ASSERT_TRUE(link.run_until([&] { return !link.completions.empty(); }));
    for (libusb_transfer* t : link.transfers)
        libusb_cancel_transfer(t);
    ASSERT_TRUE(link.run_until([&] { return link.in_flight == 0; }));

    ASSERT_EQ(link.completions.size(), 8u);
    const Completion& first = link.completions[0];
    EXPECT_EQ(first.slot, 0);
    EXPECT_EQ(first.status, LIBUSB_TRANSFER_COMPLETED);
    EXPECT_EQ(first.length, 255 * 8 * 4);
    EXPECT_EQ(link.of_status(LIBUSB_TRANSFER_CANCELLED).size(), 7u);
    // Beam 0's microphones, in order, in every frame.
    for (std::size_t w = 0; w < 255 * 8; w += 97)
        EXPECT_EQ(static_cast<std::int32_t>(word_at(first.data, w)), 1000 + int(w % 8)) << w;
    EXPECT_EQ(unit.bytes_sent(), 8160u);
}

TEST(SimBridge, ExactMultipleOfATransferEndsWithAnEmptyOne)
{
    sim::SimulatedUnit unit;
    unit.set_first_counter(0xFFFFF000u);  // wraps inside the second transfer
    Link link;
    link.select({0xFF, 0xFF, 0xFF, 0x7F}, 0x80);  // counter + 31 microphones = 32 words
    link.count(2 * mib / 128);
    link.submit(8);
    ASSERT_EQ(link.send(0xB1, {0x02, 0x00}), 2);
    link.stream_to_end();

    const auto data = link.of_status(LIBUSB_TRANSFER_COMPLETED);
    ASSERT_EQ(data.size(), 3u);
    EXPECT_EQ(data[0].length, mib);
    EXPECT_EQ(data[1].length, mib);
    EXPECT_EQ(data[2].length, 0);
    const auto stream = joined(data);
    for (std::size_t frame = 0; frame < 2u * mib / 128; frame += 511)
        EXPECT_EQ(word_at(stream, frame * 32), static_cast<std::uint32_t>(0xFFFFF000u + frame))
            << frame;
}

TEST(SimBridge, StopEndsAnOpenStreamOnAFrameBoundary)
{
    sim::SimulatedUnit unit;
    Link link;
    link.select({0x07, 0, 0, 0}, 0xC0);  // counter, 3 microphones, status: 5 words
    link.count(0);
    link.submit(4);
    link.resubmit = true;
    ASSERT_EQ(link.send(0xB1, {0x02, 0x00}), 2);
    ASSERT_TRUE(link.run_until([&] { return link.completions.size() >= 6; }));
    ASSERT_EQ(link.send(0xB1, {0x03, 0x00}), 2);
    link.stream_to_end();

    const auto data = link.of_status(LIBUSB_TRANSFER_COMPLETED);
    const auto stream = joined(data);
    EXPECT_LT(data.back().length, mib);
    EXPECT_EQ(stream.size() % 20, 0u);
    const std::size_t frames = stream.size() / 20;
    EXPECT_EQ(word_at(stream, (frames - 1) * 5), frames - 1);  // no frame lost or repeated
    EXPECT_EQ(unit.bytes_sent(), stream.size());
}

struct FaultCase {
    sim::Failure failure;
    libusb_transfer_status status;
};

void PrintTo(const FaultCase& c, std::ostream* os) { *os << "failure " << int(c.failure); }

class SimBridgeFault : public testing::TestWithParam<FaultCase> {};

TEST_P(SimBridgeFault, FailsTheGivenTransferAndTheStreamGoesOnInTheNext)
{
    sim::SimulatedUnit unit;
    unit.fail_transfer(1, GetParam().failure);
    Link link;
    link.select({0xFF, 0xFF, 0xFF, 0xFF}, 0x00);  // 32 microphones
    link.count(3 * mib / 128);
    link.submit(4, {0, 200, 0, 0});  // only the faulty one may time out
    ASSERT_EQ(link.send(0xB1, {0x02, 0x00}), 2);
    ASSERT_TRUE(link.run_until([&] { return link.completions.size() >= 4; }));

    ASSERT_GE(link.completions.size(), 4u);
    std::vector<libusb_transfer_status> by_slot(4);
    for (const Completion& c : link.completions)
        by_slot[c.slot] = c.status;
    EXPECT_EQ(by_slot[0], LIBUSB_TRANSFER_COMPLETED);
    EXPECT_EQ(by_slot[1], GetParam().status);
    EXPECT_EQ(by_slot[2], LIBUSB_TRANSFER_COMPLETED);
    EXPECT_EQ(by_slot[3], LIBUSB_TRANSFER_COMPLETED);
    // The failed transfer carried nothing: three transfers hold the whole stream.
    EXPECT_EQ(unit.bytes_sent(), 3u * mib);
}

INSTANTIATE_TEST_SUITE_P(Faults, SimBridgeFault,
                         testing::Values(FaultCase{sim::Failure::Error, LIBUSB_TRANSFER_ERROR},
                                         FaultCase{sim::Failure::Stall, LIBUSB_TRANSFER_STALL},
                                         FaultCase{sim::Failure::TimedOut,
                                                   LIBUSB_TRANSFER_TIMED_OUT}),
                         [](const testing::TestParamInfo<FaultCase>& info) {
                             return std::string(info.param.failure == sim::Failure::Error   ? "Error"
                                     : info.param.failure == sim::Failure::Stall ? "Stall"
                                                                                 : "TimedOut");
                         });

TEST(SimBridge, UnplugEndsTransfersAsNoDevice)
{
    sim::SimulatedUnit unit;
    unit.unplug_after(mib + 4000);
    Link link;
    link.select({0xFF, 0, 0, 0}, 0x80);
    link.count(0);
    link.submit(4);
    ASSERT_EQ(link.send(0xB1, {0x02, 0x00}), 2);
    ASSERT_TRUE(link.run_until([&] { return link.in_flight == 0; }));

    ASSERT_EQ(link.completions.size(), 4u);
    EXPECT_EQ(link.completions[0].status, LIBUSB_TRANSFER_COMPLETED);
    EXPECT_EQ(link.completions[0].length, mib);
    EXPECT_EQ(link.of_status(LIBUSB_TRANSFER_NO_DEVICE).size(), 3u);
    EXPECT_EQ(unit.bytes_sent(), std::uint64_t(mib) + 4000);
    EXPECT_FALSE(unit.attached());
    EXPECT_EQ(link.send(0xB0, {0x00}), LIBUSB_ERROR_NO_DEVICE);
}

TEST(SimBridge, SilentUnitAnswersCommandsButNeverStreams)
{
    sim::SimulatedUnit unit;
    unit.set_silent(true);
    Link link;
    link.count(255);
    link.select({0xFF, 0, 0, 0}, 0x00);
    link.submit(2, {100, 100});
    ASSERT_EQ(link.send(0xB1, {0x02, 0x00}), 2);
    ASSERT_TRUE(link.run_until([&] { return link.in_flight == 0; }));
    EXPECT_EQ(link.of_status(LIBUSB_TRANSFER_TIMED_OUT).size(), 2u);
    EXPECT_EQ(unit.bytes_sent(), 0u);
}

TEST(SimBridge, RefusedRequestsStall)
{
    sim::SimulatedUnit unit;
    Link link;
    EXPECT_EQ(link.send(0xB2, {0x00, 0x00, 0x00}), LIBUSB_ERROR_PIPE);
    EXPECT_EQ(link.send(0xB1, {0x01, 8}), LIBUSB_ERROR_PIPE);
    EXPECT_EQ(libusb_control_transfer(link.handle, 0x40, 0xC0, 1, 0, nullptr, 0, 1000),
              LIBUSB_ERROR_PIPE);
    EXPECT_EQ(link.send(0xC4, {}), 0);
    EXPECT_EQ(unit.stalled().size(), 3u);
    EXPECT_EQ(unit.requests().size(), 4u);
}

struct TriggerCase {
    std::uint8_t start_byte;
    int input;
    bool level_before_start;
    std::vector<bool> changes;  // input levels set after the Start, in order
    int starts_after;           // the change that starts the stream; -1: at Start
};

void PrintTo(const TriggerCase& c, std::ostream* os) { *os << "start byte " << int(c.start_byte); }

class SimBridgeTrigger : public testing::TestWithParam<TriggerCase> {};

TEST_P(SimBridgeTrigger, WaitsForItsInputCondition)
{
    const TriggerCase& c = GetParam();
    sim::SimulatedUnit unit;
    unit.set_input(c.input, c.level_before_start);
    Link link;
    link.count(255);
    link.select({0xFF, 0, 0, 0}, 0x00);
    link.submit(1);
    ASSERT_EQ(link.send(0xB1, {0x02, c.start_byte}), 2);
    for (int i = 0; i <= static_cast<int>(c.changes.size()); ++i) {
        // Unpaced, a started stream is there before the next event pass ends.
        timeval tv{0, 20000};
        libusb_handle_events_timeout_completed(link.ctx, &tv, nullptr);
        const bool started = c.starts_after < i;
        EXPECT_EQ(unit.bytes_sent() > 0, started) << "after change " << i - 1;
        if (i < static_cast<int>(c.changes.size()))
            unit.set_input(c.input, c.changes[i]);
    }
    ASSERT_TRUE(link.run_until([&] { return link.in_flight == 0; }));
    EXPECT_EQ(link.completions.at(0).length, 8160);
}

INSTANTIATE_TEST_SUITE_P(
    Conditions, SimBridgeTrigger,
    testing::Values(TriggerCase{0x01, 1, false, {false, true}, 1},         // rising edge
                    TriggerCase{0x01, 1, true, {false, true}, 1},          // high is no edge
                    TriggerCase{0x41, 1, false, {true, false}, 1},         // falling edge
                    TriggerCase{0x81, 1, true, {false}, -1},               // high level, already
                    TriggerCase{0x81, 1, false, {false, true}, 1},         // high level, later
                    TriggerCase{0xC2, 2, true, {true, false}, 1},          // low level, input 2
                    TriggerCase{0x02, 2, false, {false, true, false}, 1}), // rising on input 2
    [](const testing::TestParamInfo<TriggerCase>& info) {
        char name[32];
        std::snprintf(name, sizeof name, "Start%02X_%zu", info.param.start_byte, info.index);
        return std::string(name);
    });

TEST(SimBridge, IdleHostMakesNoIoctls)
{
    sim::SimulatedUnit unit;
    Link link;
    link.count(255);
    link.select({0xFF, 0, 0, 0}, 0x00);
    link.submit(2);
    ASSERT_EQ(link.send(0xB1, {0x02, 0x00}), 2);
    ASSERT_TRUE(link.run_until([&] { return link.completions.size() == 1; }));
    const std::uint64_t before = unit.ioctls();
    for (int i = 0; i < 5; ++i) {
        timeval tv{0, 20000};
        libusb_handle_events_timeout_completed(link.ctx, &tv, nullptr);
    }
    // A node that always polled ready would have the host reaping in a loop.
    EXPECT_EQ(unit.ioctls(), before);
}

TEST(SimBridge, ReplugStartsFromPowerOnAndCountsOpens)
{
    sim::SimulatedUnit unit;
    {
        Link link;
        ASSERT_NE(link.handle, nullptr);
    }
    EXPECT_EQ(unit.opens(), 1);
    EXPECT_EQ(unit.closes(), 1);
    EXPECT_EQ(unit.claims(), 1);
    EXPECT_EQ(unit.releases(), 1);
    unit.detach();
    {
        Link link;
        EXPECT_EQ(link.handle, nullptr);
    }
    unit.attach();
    Link link;
    ASSERT_NE(link.handle, nullptr);
    EXPECT_EQ(link.send(0xC0, {}), 0);
    EXPECT_EQ(unit.opens(), 2);
}

} // namespace
