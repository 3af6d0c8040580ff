// The stream as bytes and as transfers: frame layout, counter, samples, and
// how transfers complete (full, short, empty, failed, paced), with time
// passed in rather than waited for.
#include "stream/stream_format.h"
#include "stream_engine.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cmath>
#include <cstring>

using namespace std::chrono_literals;
using sim::Clock;
using sim::StreamEngine;

namespace {

constexpr std::uint32_t mib = SonivarACQ32::stream::packet_bytes;

std::uint32_t word_at(const std::vector<std::uint8_t>& bytes, std::size_t word)
{
    return SonivarACQ32::stream::word_at(bytes.data(), static_cast<std::uint32_t>(word));
}

sim::UnitSettings settings(std::array<std::uint8_t, 4> masks, std::uint8_t extra)
{
    sim::UnitSettings s;
    s.beam_masks = masks;
    s.extra_flags = extra;
    return s;
}

TEST(FrameSource, LaysOutCounterMicrophonesThenStatus)
{
    std::array<sim::Signal, 32> signals{};
    for (int m = 0; m < 32; ++m)
        signals[m] = {sim::Signal::Kind::Constant, 100.0 * m};
    const sim::FrameSource src(settings({0x01, 0x00, 0x80, 0x00}, 0xC0), signals, 0xFFFFFFFEu, {});
    ASSERT_EQ(src.frame_bytes(), 16u);

    std::vector<std::uint8_t> bytes(3 * 16);
    src.fill(0, bytes.data(), bytes.size());
    EXPECT_EQ(word_at(bytes, 0), 0xFFFFFFFEu);
    EXPECT_EQ(word_at(bytes, 1), 0u);      // microphone 0
    EXPECT_EQ(word_at(bytes, 2), 2300u);   // microphone 23 (beam 2, position 7)
    EXPECT_EQ(word_at(bytes, 3), 0u);      // status, inputs low
    EXPECT_EQ(word_at(bytes, 4), 0xFFFFFFFFu);
    EXPECT_EQ(word_at(bytes, 8), 0u);      // the counter wraps at 2^32
}

TEST(FrameSource, AnyStretchMatchesTheWholeStream)
{
    const sim::FrameSource src(settings({0xFF, 0x03, 0, 0}, 0x80), {}, 7, {{50, 1000}});
    std::vector<std::uint8_t> whole(4096);
    src.fill(0, whole.data(), whole.size());
    for (std::size_t offset : {1u, 3u, 44u, 1001u}) {
        std::vector<std::uint8_t> part(333);
        src.fill(offset, part.data(), part.size());
        EXPECT_TRUE(std::equal(part.begin(), part.end(), whole.begin() + offset)) << offset;
    }
    // 11 words per frame; the jump shows from frame 50 on.
    EXPECT_EQ(word_at(whole, 49 * 11), 7u + 49);
    EXPECT_EQ(word_at(whole, 50 * 11), 7u + 50 + 1000);
}

TEST(FrameSource, SamplesFollowTheirSignalAndType)
{
    std::array<sim::Signal, 32> signals{};
    signals[0] = {sim::Signal::Kind::Sine, 1000.0, 12500.0};  // a quarter turn per frame
    signals[1] = {sim::Signal::Kind::Noise, 50.0};
    signals[2] = {sim::Signal::Kind::Constant, -1.5};
    sim::UnitSettings s = settings({0x07, 0, 0, 0}, 0x00);
    const sim::FrameSource ints(s, signals, 0, {});
    EXPECT_EQ(ints.word(1, 0), 1000u);
    EXPECT_EQ(static_cast<std::int32_t>(ints.word(3, 0)), -1000);
    EXPECT_EQ(static_cast<std::int32_t>(ints.word(9, 2)), -2);  // rounded to the nearest count
    bool noise_varies = false;
    for (std::uint64_t f = 0; f < 64; ++f) {
        const auto v = static_cast<std::int32_t>(ints.word(f, 1));
        EXPECT_LE(std::abs(v), 50);
        noise_varies |= v != static_cast<std::int32_t>(ints.word(0, 1));
    }
    EXPECT_TRUE(noise_varies);

    s.data_type = sim::DataType::Float32;
    const sim::FrameSource floats(s, signals, 0, {});
    const std::uint32_t bits = floats.word(9, 2);
    float value;
    std::memcpy(&value, &bits, 4);
    EXPECT_FLOAT_EQ(value, -1.5f);
}

// ---------------------------------------------------------------- engine
class Engine : public testing::Test {
protected:
    void program(std::array<std::uint8_t, 4> masks, std::uint8_t extra, std::uint32_t count,
                 std::uint8_t clock = 9)
    {
        control(0xB1, {0x01, clock});
        for (std::uint8_t b = 0; b < 4; ++b)
            control(0xB3, {0x05, 0x00, b, masks[b]});
        control(0xB3, {0x05, 0x00, 0xFF, extra});
        control(0xB4, {0x04, std::uint8_t(count), std::uint8_t(count >> 8),
                       std::uint8_t(count >> 16), std::uint8_t(count >> 24)});
    }
    void control(std::uint8_t request, std::vector<std::uint8_t> data)
    {
        e.submit_control(next_id++, {0x40, request, 0, 0}, data, now);
        const auto done = e.reap(now);
        ASSERT_TRUE(done);
        ASSERT_EQ(done->status, 0);
    }
    void submit(int n)
    {
        for (int i = 0; i < n; ++i)
            ASSERT_TRUE(e.submit_bulk(next_id++, mib, now));
    }
    // Everything finished, in order, as the host gets it: it reaps until
    // nothing is left, and polls again while the node says more is ready.
    std::vector<sim::Finished> reap_all()
    {
        std::vector<sim::Finished> out;
        for (;;) {
            if (auto f = e.reap(now))
                out.push_back(std::move(*f));
            else if (!e.has_finished())
                return out;
        }
    }

    StreamEngine e;
    Clock::time_point now = Clock::time_point{} + 1h;
    std::uint64_t next_id = 1;
};

TEST_F(Engine, PresenceAcquisitionIsOneShortTransfer)
{
    program({0xFF, 0, 0, 0}, 0x00, 255);
    submit(8);
    control(0xB1, {0x02, 0x00});
    const auto done = reap_all();
    ASSERT_EQ(done.size(), 1u);
    EXPECT_EQ(done[0].status, 0);
    EXPECT_EQ(done[0].actual_length, 8160);
    EXPECT_FALSE(e.streaming());
    EXPECT_EQ(e.queued(), 7u);  // left for the host to cancel
    EXPECT_TRUE(e.discard(done[0].id + 1, now));
    EXPECT_FALSE(e.discard(done[0].id, now));  // already finished
    EXPECT_EQ(reap_all().at(0).status, -ECONNRESET);
}

TEST_F(Engine, UnpacedStreamWaitsForTheHostToDrainBeforeRefilling)
{
    program({0xFF, 0xFF, 0xFF, 0xFF}, 0x00, 0);  // open-ended
    submit(2);
    control(0xB1, {0x02, 0x00});
    // The host's callbacks resubmit while it reaps: those wait for the next pass.
    auto first = e.reap(now);
    ASSERT_TRUE(first);
    ASSERT_TRUE(e.submit_bulk(next_id++, mib, now));
    ASSERT_TRUE(e.reap(now));
    ASSERT_TRUE(e.submit_bulk(next_id++, mib, now));
    EXPECT_FALSE(e.reap(now));      // the pass ends...
    EXPECT_TRUE(e.has_finished());  // ...and the next one finds both refilled
    EXPECT_EQ(reap_all().size(), 2u);
    EXPECT_EQ(e.bytes_sent, 4ull * mib);
}

TEST_F(Engine, StopEndsAtTheNextFrameBoundaryAndIgnoringItHoldsTheEnd)
{
    for (bool ignore : {false, true}) {
        SCOPED_TRACE(ignore ? "stop ignored" : "stop honoured");
        e = StreamEngine{};
        e.ignore_stop = ignore;
        program({0xFF, 0xFF, 0xFF, 0xFF}, 0x80, 0);  // 33 words: 1 MiB is not whole frames
        submit(1);
        control(0xB1, {0x02, 0x00});
        ASSERT_EQ(reap_all().size(), 1u);
        control(0xB1, {0x03, 0x00});
        submit(2);
        const auto done = reap_all();
        if (ignore) {
            EXPECT_TRUE(done.empty());
            EXPECT_EQ(e.queued(), 2u);
            continue;
        }
        ASSERT_EQ(done.size(), 1u);
        EXPECT_EQ((mib + done[0].actual_length) % 132, 0u);
        EXPECT_LT(done[0].actual_length, 132);
    }
}

TEST_F(Engine, FaultsTakeTheirTransferAndTheStreamGoesOn)
{
    e.failures[0] = sim::Failure::Stall;
    e.failures[1] = sim::Failure::Error;
    e.failures[2] = sim::Failure::TimedOut;
    program({0xFF, 0, 0, 0}, 0x80, 0);
    submit(5);
    control(0xB1, {0x02, 0x00});
    auto done = reap_all();
    ASSERT_EQ(done.size(), 2u);
    EXPECT_EQ(done[0].status, -EPIPE);
    EXPECT_EQ(done[1].status, -EPROTO);
    EXPECT_EQ(e.bytes_sent, 0u);  // held by the transfer left to time out
    const std::uint64_t held = done[1].id + 1;
    ASSERT_TRUE(e.discard(held, now));  // the host's time-out
    done = reap_all();
    ASSERT_EQ(done.size(), 3u);
    EXPECT_EQ(done[0].status, -ECONNRESET);
    EXPECT_EQ(done[1].actual_length, int(mib));
    EXPECT_EQ(word_at(done[1].data, 0), 0u);  // no stream data was lost to the faults
    // 9 words a frame: the first counter of the next transfer is its word 8.
    EXPECT_EQ(word_at(done[2].data, 8), 29128u);
}

TEST_F(Engine, UnplugAfterCutsTheTransferAndEndsEveryOther)
{
    e.unplug_at = 1000;
    program({0xFF, 0, 0, 0}, 0x00, 0);
    submit(3);
    control(0xB1, {0x02, 0x00});
    const auto done = reap_all();
    ASSERT_EQ(done.size(), 3u);
    EXPECT_EQ(done[0].status, -ESHUTDOWN);
    EXPECT_EQ(done[0].actual_length, 1000);
    EXPECT_EQ(done[2].status, -ESHUTDOWN);
    EXPECT_TRUE(e.unplug_due());
    EXPECT_FALSE(e.connected());
    EXPECT_FALSE(e.submit_bulk(next_id++, mib, now));
}

TEST_F(Engine, PacedStreamDeliversAtTheSampleClock)
{
    e.paced = true;
    program({0xFF, 0xFF, 0xFF, 0xFF}, 0x00, 3 * mib / 128 + 10, 249);  // 32 words at 2 kHz
    submit(8);
    const auto t0 = now;
    control(0xB1, {0x02, 0x00});
    EXPECT_TRUE(reap_all().empty());
    // 8192 frames fill a transfer: 4.096 s at 2 kHz.
    const auto due = e.next_deadline();
    ASSERT_TRUE(due);
    EXPECT_NEAR(std::chrono::duration<double>(*due - t0).count(), 4.096, 1e-3);
    now = t0 + 4095ms;
    e.pump(now);
    EXPECT_TRUE(reap_all().empty());
    now = t0 + 4097ms;
    e.pump(now);
    EXPECT_EQ(reap_all().size(), 1u);
    // The last 10 frames end the stream 5 ms after the third transfer.
    now = t0 + 3 * 4096ms + 4ms;
    e.pump(now);
    EXPECT_EQ(reap_all().size(), 2u);
    now += 2ms;
    e.pump(now);
    const auto last = reap_all();
    ASSERT_EQ(last.size(), 1u);
    EXPECT_EQ(last[0].actual_length, 10 * 128);
    EXPECT_FALSE(e.next_deadline());
}

TEST_F(Engine, ExternalStartWaitsForItsCondition)
{
    program({0xFF, 0, 0, 0}, 0x00, 255);
    submit(1);
    control(0xB1, {0x02, 0x41});  // falling edge on input 1
    EXPECT_TRUE(e.waiting_trigger());
    e.set_input(2, true, now);
    e.set_input(2, false, now);  // the other input's edge does nothing
    e.set_input(1, true, now);   // a rising edge does nothing
    EXPECT_TRUE(reap_all().empty());
    e.set_input(1, false, now);
    EXPECT_EQ(reap_all().size(), 1u);
}

TEST_F(Engine, ResetAbandonsTheStreamWithoutAnEndPacket)
{
    program({0xFF, 0, 0, 0}, 0x00, 0);
    submit(1);
    control(0xB1, {0x02, 0x01});  // waiting for input 1
    control(0xB0, {0x00});        // the host aborts the wait
    e.set_input(1, true, now);
    EXPECT_TRUE(reap_all().empty());
    EXPECT_FALSE(e.streaming());
    EXPECT_EQ(e.queued(), 1u);
}

} // namespace

// A transfer in zero-copy memory receives the stream in place, one whole
// 512-byte packet at a time as its frames fall due, long before it is
// complete; at the end it carries no data of its own.
TEST(EngineInPlace, FillsTheBufferPacketByPacketAsFramesFallDue)
{
    StreamEngine e;
    const Clock::time_point t0 = Clock::time_point{} + 1h;
    std::uint64_t id = 1;
    auto send = [&](std::uint8_t request, std::vector<std::uint8_t> data) {
        e.submit_control(id++, {0x40, request, 0, 0}, data, t0);
        ASSERT_TRUE(e.reap(t0));
    };
    send(0xB1, {0x01, 249});  // 2 kHz
    for (std::uint8_t b = 0; b < 4; ++b)
        send(0xB3, {0x05, 0x00, b, std::uint8_t(b == 0 ? 0x01 : 0x00)});
    send(0xB3, {0x05, 0x00, 0xFF, 0x80});  // counter + one microphone: 8 bytes a frame
    send(0xB4, {0x04, 0x00, 0x01, 0, 0});  // 256 frames: 2048 bytes, then the end
    e.paced = true;
    std::vector<std::uint8_t> buffer(4096, 0xA5);
    ASSERT_TRUE(e.submit_bulk(id, static_cast<std::uint32_t>(buffer.size()), t0, buffer.data()));
    send(0xB1, {0x02, 0x00});

    std::vector<std::uint8_t> stream(2048);
    sim::FrameSource(e.model.settings, {}, 0, {}).fill(0, stream.data(), stream.size());
    const struct {
        std::chrono::microseconds at;
        std::size_t in_place;  // bytes of the stream in the buffer by then
    } rows[] = {{31ms, 0}, {32ms, 512}, {63ms, 512}, {96ms, 1536}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.at.count());
        e.pump(t0 + row.at);
        EXPECT_FALSE(e.has_finished());
        EXPECT_TRUE(std::equal(stream.begin(), stream.begin() + row.in_place, buffer.begin()));
        EXPECT_EQ(buffer[row.in_place], 0xA5);  // nothing beyond
    }
    const auto next = e.next_deadline();
    ASSERT_TRUE(next);
    EXPECT_EQ(std::chrono::duration_cast<std::chrono::milliseconds>(*next - t0).count(), 128);

    e.pump(t0 + 128ms);
    const auto done = e.reap(t0 + 128ms);
    ASSERT_TRUE(done);
    EXPECT_EQ(done->actual_length, 2048);  // the short end packet
    EXPECT_TRUE(done->data.empty());
    EXPECT_TRUE(std::equal(stream.begin(), stream.end(), buffer.begin()));
    EXPECT_EQ(buffer[2048], 0xA5);
}
