// The completion routine and the transfer ring, driven through the real
// libusb on the simulated unit: the unit is programmed, the ring started,
// the unit started, and events handled until the ring stops.
#include "window_harness.h"
#include "stream/stream_format.h"
#include "acquisition/counter_check.h"
#include "app/format.h"
#include "app/principale.h"
#include "platform/clock.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdio>
#include <ostream>
#include <string>
#include <vector>

using SonivarACQ32::Principale;
namespace counter = SonivarACQ32::counter;
namespace fmt = SonivarACQ32::fmt;

namespace {

using testsupport::expect_ring_freed;

constexpr std::uint64_t paquet = SonivarACQ32::stream::packet_bytes;
constexpr std::uint8_t flag_counter = 0x80;

// What the unit is told to stream, and how the program is set to read it.
struct Stream {
    std::array<std::uint8_t, 4> masks{0xFF, 0xFF, 0xFF, 0xFF};
    std::uint8_t extra = flag_counter;
    std::uint32_t count = 0;       // samples; the stream ends after them
    bool compteur = true;          // the program checks the counter
    bool record = true;
    bool test = false;             // advanced-mode messages

    int words() const
    {
        int n = 0;
        for (std::uint8_t m : masks)
            for (int j = 0; j < 8; ++j)
                n += (m >> j) & 1;
        return n + ((extra & 0x80) ? 1 : 0) + ((extra & 0x40) ? 1 : 0);
    }
    std::uint64_t bytes() const { return std::uint64_t{count} * 4 * words(); }
};

class RingTest : public testsupport::FastClockTest {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        ASSERT_EQ(w.init_USB(), 0);
    }
    void TearDown() override
    {
        if (Principale::Filep != nullptr)
            std::fclose(Principale::Filep);
        Principale::Filep = nullptr;
    }

    void send(std::initializer_list<std::uint8_t> bytes)
    {
        std::size_t k = 0;
        for (std::uint8_t b : bytes)
            w.buf[k++] = b;
        w.commande(static_cast<int>(bytes.size()) - 1);
    }

    // Programs the unit and the program, runs the ring to its end, frees it.
    void run(const Stream& s)
    {
        for (std::uint8_t beam = 0; beam < 4; ++beam)
            send({0x05, 0, beam, s.masks[beam]});
        send({0x05, 0, 0xFF, s.extra});
        send({0x01, 9});
        send({0x04, std::uint8_t(s.count), std::uint8_t(s.count >> 8),
              std::uint8_t(s.count >> 16), std::uint8_t(s.count >> 24)});
        Principale::nb_voies = s.words();
        Principale::compteur = s.compteur;
        Principale::record = s.record;
        Principale::test = s.test;
        Principale::test_init = false;
        Principale::erreur_compteur = false;
        Principale::err_timeout = false;
        Principale::increment_position = counter::increment_position(s.words());
        Principale::increment_compteur = counter::increment_compteur(s.words());
        data_path = dir.filePath(QStringLiteral("ring.dat"));
        Principale::Filep = std::fopen(QFile::encodeName(data_path).constData(), "wb+");
        ASSERT_NE(Principale::Filep, nullptr);

        Principale::own.pane_text.clear();
        w.start_ring(2000);
        send({0x02, 0x00});
        while (!Principale::fini && Principale::own.ring.in_flight() > 0)
            if (Principale::usb_wait(100) < 0)
                break;
        w.drain_and_free_ring();
        std::fclose(Principale::Filep);
        Principale::Filep = nullptr;
    }

    std::vector<std::uint32_t> data_words() const
    {
        QFile f(data_path);
        EXPECT_TRUE(f.open(QIODevice::ReadOnly));
        const QByteArray bytes = f.readAll();
        std::vector<std::uint32_t> words(static_cast<std::size_t>(bytes.size()) / 4);
        for (std::size_t i = 0; i < words.size(); ++i)
            words[i] = SonivarACQ32::stream::word_at(reinterpret_cast<const unsigned char*>(bytes.constData()),
                                        static_cast<std::uint32_t>(i));
        return words;
    }

    static int occurrences(const QString& text) { return Principale::own.pane_text.count(text); }

    QTemporaryDir dir;
    QString data_path;
};

QString counter_error(std::uint32_t packet)
{
    return QStringLiteral("\r\nErreur sur le compteur paquet : %1\r\n").arg(fmt::N(packet, 0));
}

} // namespace

// The whole stream lands in the file, in order: every frame carries the
// next counter value at word 0.
TEST_F(RingTest, FullPacketsThenAShortOneGoToTheFileInOrder)
{
    Stream s;
    s.count = 25000;  // 3 full packets and a short one
    run(s);
    ASSERT_EQ(s.bytes() / paquet, 3u);
    EXPECT_EQ(Principale::ntr, s.bytes());
    EXPECT_EQ(Principale::ntw, s.bytes());
    EXPECT_TRUE(Principale::fini);
    EXPECT_FALSE(Principale::erreur_compteur);
    EXPECT_EQ(unit.bytes_sent(), s.bytes());
    const std::vector<std::uint32_t> words = data_words();
    ASSERT_EQ(words.size() * 4, s.bytes());
    for (std::uint32_t f = 0; f < s.count; ++f)
        ASSERT_EQ(words[std::size_t{f} * 33], f) << "frame " << f;
    expect_ring_freed();
}

TEST_F(RingTest, AStreamEndingOnAPacketBoundaryEndsWithAnEmptyPacket)
{
    Stream s;
    s.masks = {0xFF, 0xFF, 0xFF, 0x7F};  // 31 microphones and the counter: 32 words
    s.count = 2 * 8192;                  // exactly two packets
    s.test = true;
    run(s);
    EXPECT_EQ(Principale::ntr, 2 * paquet);
    EXPECT_EQ(Principale::ntw, 2 * paquet);
    EXPECT_TRUE(Principale::fini);
    EXPECT_EQ(occurrences(QStringLiteral(" - %1 octets de moins qu'un paquet\r\n")
                              .arg(fmt::N(double(paquet), 0))),
              1);
    EXPECT_EQ(occurrences(QStringLiteral("   fin en cours \r\n")), 0);
    EXPECT_EQ(Principale::a_ecrire[2], 0u);  // the empty packet came in slot 2
    expect_ring_freed();
}

// The checked word and the expected counter after the last checked packet,
// for a frame width that divides the packet and one that does not.
TEST_F(RingTest, CheckedWordStaysAtZeroWhenTheFrameDividesThePacket)
{
    Stream s;
    s.masks = {0xFF, 0xFF, 0xFF, 0x7F};  // 32 words
    s.count = 4 * 8192 + 100;            // packets 0 to 4 checked
    run(s);
    EXPECT_FALSE(Principale::erreur_compteur);
    EXPECT_EQ(Principale::position_compteur, 0u);
    EXPECT_EQ(Principale::val_compteur, 4 * 8192);
    EXPECT_EQ(occurrences(QStringLiteral("Erreur")), 0);
}

TEST_F(RingTest, CheckedWordMovesAndWrapsWhenTheFrameDoesNot)
{
    Stream s;                // 33 words: checked words 0, 8, 16, 24, 32, 7, 15
    s.count = 47700;         // six full packets and a short one of 4944 bytes
    run(s);
    ASSERT_EQ(s.bytes() / paquet, 6u);
    EXPECT_FALSE(Principale::erreur_compteur);
    EXPECT_EQ(Principale::position_compteur, 15u);
    // Word 15 of packet 6 begins frame (6 x 262144 + 15) / 33.
    EXPECT_EQ(Principale::val_compteur, (6 * SonivarACQ32::stream::packet_words + 15) / 33);
    EXPECT_EQ(occurrences(QStringLiteral("Erreur")), 0);
}

TEST_F(RingTest, CounterJumpsAreReportedOnceAndTheDataIsStillKept)
{
    Stream s;
    s.masks = {0xFF, 0xFF, 0xFF, 0x7F};  // 32 words: packet p starts at frame 8192 p
    s.count = 7 * 8192 + 1000;
    unit.jump_counter_at(2 * 8192 + 100, 5);  // seen by the check of packet 3
    unit.jump_counter_at(5 * 8192 + 10, 7);
    run(s);
    EXPECT_TRUE(Principale::erreur_compteur);
    EXPECT_EQ(occurrences(QStringLiteral("Erreur sur le compteur")), 1);
    EXPECT_EQ(occurrences(counter_error(3)), 1);
    EXPECT_EQ(Principale::ntr, s.bytes());
    EXPECT_EQ(Principale::ntw, s.bytes());
}

// A last packet of four frames or less carries no checked counter; one
// frame more and it does. Without the counter check nothing is reported.
struct CheckCase {
    std::uint32_t last_frames;
    bool compteur;
    bool reported;
};

void PrintTo(const CheckCase& c, std::ostream* os)
{
    *os << c.last_frames << " frames, counter check " << (c.compteur ? "on" : "off");
}

class RingCheckTest : public RingTest, public testing::WithParamInterface<CheckCase> {};

TEST_P(RingCheckTest, AJumpInTheLastPacketIsSeenOnlyWhenThatPacketIsChecked)
{
    const CheckCase c = GetParam();
    Stream s;
    s.masks = {0xFF, 0xFF, 0xFF, 0x7F};  // 32 words, 128 bytes a frame
    s.count = 2 * 8192 + c.last_frames;
    s.compteur = c.compteur;
    unit.jump_counter_at(2 * 8192, 3);   // the first frame of the last packet
    run(s);
    EXPECT_EQ(Principale::erreur_compteur, c.reported);
    EXPECT_EQ(occurrences(counter_error(2)), c.reported ? 1 : 0);
    EXPECT_EQ(Principale::ntr, s.bytes());
}

INSTANTIATE_TEST_SUITE_P(LastPacket, RingCheckTest,
                         testing::Values(CheckCase{4, true, false}, CheckCase{5, true, true},
                                         CheckCase{1000, false, false}),
                         [](const testing::TestParamInfo<CheckCase>& info) {
                             return std::to_string(info.param.last_frames) + "Frames" +
                                    (info.param.compteur ? "Checked" : "Unchecked");
                         });

TEST_F(RingTest, WithoutRecordingTheBytesAreCountedButNotWritten)
{
    Stream s;
    s.count = 10000;
    s.record = false;
    run(s);
    EXPECT_EQ(Principale::ntr, s.bytes());
    EXPECT_EQ(Principale::ntw, 0u);
    EXPECT_EQ(QFile(data_path).size(), 0);
}

// The unit goes away just after the first full packet: its resubmission
// fails and names the packet it would have been, eight further on; every
// other slot drops out with an error, and the wait ends with nothing left
// in flight although no cancellation ever came.
TEST_F(RingTest, AFailedResubmissionIsReportedEightPacketsOn)
{
    Stream s;
    s.count = 100000;
    unit.unplug_after(paquet);
    run(s);
    EXPECT_FALSE(Principale::fini);
    EXPECT_EQ(Principale::ntr, paquet);
    EXPECT_EQ(occurrences(QStringLiteral("Erreur lancement transfert du paquet %1, retour = ")
                              .arg(fmt::N(8, 0))),
              1)
        << Principale::own.pane_text.toStdString();
    expect_ring_freed();
}

// A slot that fails drops out and the others go on. The unit sends nothing
// into a failing transfer, so the file must still hold the whole stream in
// order: frame f carries counter f at word 32 f. Writing the buffer of the
// slot the completion count names instead of the transfer that completed
// would put a stale or unfilled block there. When the very first transfer
// fails, the first packet accepted starts the stream and sets the counter
// reference: no counter error may follow.
struct DropCase {
    const char* name;
    std::uint32_t index;  // the transfer that fails, from 0
    sim::Failure failure;
    QString message;
};

void PrintTo(const DropCase& c, std::ostream* os) { *os << c.name; }

class RingDropTest : public RingTest, public testing::WithParamInterface<DropCase> {};

TEST_P(RingDropTest, ASlotDroppingOutLeavesTheAcceptedPacketsInOrder)
{
    Stream s;
    s.masks = {0xFF, 0xFF, 0xFF, 0x7F};  // 32 words
    s.count = 12 * 8192 + 500;
    unit.fail_transfer(GetParam().index, GetParam().failure);
    run(s);
    EXPECT_EQ(occurrences(GetParam().message), 1) << Principale::own.pane_text.toStdString();
    EXPECT_FALSE(Principale::erreur_compteur) << Principale::own.pane_text.toStdString();
    EXPECT_TRUE(Principale::fini);
    EXPECT_EQ(Principale::ntr, unit.bytes_sent());
    EXPECT_EQ(Principale::ntw, Principale::ntr);
    const std::vector<std::uint32_t> words = data_words();
    ASSERT_EQ(words.size() * 4, s.bytes());
    for (std::uint32_t f = 0; f < s.count; ++f)
        ASSERT_EQ(words[std::size_t{f} * 32], f) << "frame " << f;
    expect_ring_freed();
}

INSTANTIATE_TEST_SUITE_P(
    Failures, RingDropTest,
    testing::Values(
        DropCase{"Error", 2, sim::Failure::Error,
                 QStringLiteral("Erreur lors du transfert du paquet 2 status 1\r\n")},
        DropCase{"Stall", 2, sim::Failure::Stall,
                 QStringLiteral("Erreur lors du transfert du paquet 2 status 4\r\n")},
        DropCase{"TimedOut", 2, sim::Failure::TimedOut,
                 QStringLiteral("TIMEOUT lors du transfert du paquet 2\r\n")},
        DropCase{"FirstErrs", 0, sim::Failure::Error,
                 QStringLiteral("Erreur lors du transfert du paquet 0 status 1\r\n")},
        DropCase{"FirstTimesOut", 0, sim::Failure::TimedOut,
                 QStringLiteral("TIMEOUT lors du transfert du paquet 0\r\n")}),
    [](const testing::TestParamInfo<DropCase>& info) { return std::string(info.param.name); });
