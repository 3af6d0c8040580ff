// Frame layout and description reading, on descriptions written by the
// acquisition program's own writer.
#include "stream_reader.h"
#include "recording_maker.h"

#include "recording/description.h"

#include <QLocale>

#include <gtest/gtest.h>

namespace {

using sonivar_dat::derive_layout;
using sonivar_dat::parse_description;

TEST(DescriptionReader, ReadsTheCountsTheProgramWrites)
{
    testsupport::RecordingPlan plan;
    plan.micros = {3, 19, 31};
    plan.status = true;
    plan.freq = 41666.0f;
    plan.comment = "Nb_voies = 99\r\nessai en salle";
    const auto header = testsupport::header_for(plan);
    const QByteArray text = SonivarACQ32::description_text(header, plan.nb_voies(), 3,
                                                           QStringLiteral("Nb_voies = 99\r\nessai"),
                                                           QLocale(QLocale::French))
                                .toUtf8();
    const auto d = parse_description(text.toStdString());
    EXPECT_EQ(d.integer("Nb_voies"), 5);  // 3 microphones, counter, status; not the comment's 99
    EXPECT_EQ(d.integer("Nb_micros_actifs"), 3);
    EXPECT_EQ(d.integer("Nb_compteurs"), 1);
    EXPECT_EQ(d.integer("Freq"), 41666);
    EXPECT_EQ(d.integer("Nb_ech"), 1000);
    EXPECT_EQ(d.values.at("Type"), "int32");
    EXPECT_EQ(d.commentaire, "Nb_voies = 99\r\nessai");
    EXPECT_FALSE(d.integer("Duree").has_value());  // "0,0" is not a whole number
}

TEST(DescriptionReader, MissingOrMalformedCountsAreAbsent)
{
    EXPECT_FALSE(parse_description("").integer("Nb_voies"));
    EXPECT_FALSE(parse_description("[Voies]\r\nNb_voies = trente\r\n").integer("Nb_voies"));
    EXPECT_FALSE(parse_description("[Voies]\r\nNb_voies =\r\n").integer("Nb_voies"));
    EXPECT_EQ(parse_description("[Voies]\nNb_voies=7").integer("Nb_voies"), 7);
}

struct LayoutCase {
    std::vector<int> micros;
    bool counter;
    long long nb_voies;
    bool valid;
    bool status;
};

void PrintTo(const LayoutCase& c, std::ostream* os)
{
    *os << c.micros.size() << " micros" << (c.counter ? " + counter" : "") << ", Nb_voies " << c.nb_voies;
}

class Layout : public testing::TestWithParam<LayoutCase> {};

TEST_P(Layout, WordsPerFrameMustFitTheHeader)
{
    const LayoutCase& c = GetParam();
    testsupport::RecordingPlan plan;
    plan.micros = c.micros;
    plan.counter = c.counter;
    const auto result = derive_layout(testsupport::header_for(plan), c.nb_voies);
    ASSERT_EQ(result.layout.has_value(), c.valid) << result.error;
    if (!c.valid) {
        EXPECT_FALSE(result.error.empty());
        return;
    }
    const auto& l = *result.layout;
    EXPECT_EQ(l.micros, c.micros);
    EXPECT_EQ(l.counter, c.counter);
    EXPECT_EQ(l.status, c.status);
    EXPECT_EQ(l.frame_bytes(), static_cast<std::size_t>(4 * c.nb_voies));
    // Microphones follow the counter; the status word closes the frame.
    if (!c.micros.empty()) {
        EXPECT_EQ(l.micro_word(0), c.counter ? 1 : 0);
    }
    EXPECT_EQ(l.status_word(), c.status ? c.nb_voies - 1 : -1);
}

std::vector<int> all_micros()
{
    std::vector<int> m(32);
    for (int i = 0; i < 32; ++i)
        m[i] = i;
    return m;
}

INSTANTIATE_TEST_SUITE_P(
    Counts, Layout,
    testing::Values(LayoutCase{all_micros(), true, 33, true, false},
                    LayoutCase{all_micros(), true, 34, true, true},
                    LayoutCase{{19}, true, 2, true, false},
                    LayoutCase{{}, true, 1, true, false},
                    LayoutCase{{0, 9}, false, 3, true, true},
                    LayoutCase{all_micros(), true, 32, false, false},
                    LayoutCase{all_micros(), true, 35, false, false},
                    LayoutCase{{}, false, 0, false, false},
                    LayoutCase{{5}, true, -2, false, false}));

TEST(Layout, WordsOfChosenMicrophones)
{
    testsupport::RecordingPlan plan;
    plan.micros = {2, 8, 9, 30};
    const auto l = *derive_layout(testsupport::header_for(plan), 6).layout;  // counter + 4 + status
    EXPECT_EQ(sonivar_dat::words_of(l, {8, 30}), (std::vector<int>{2, 4}));
    EXPECT_EQ(sonivar_dat::words_of(l, {2, 8, 9, 30}), (std::vector<int>{1, 2, 3, 4}));
    EXPECT_FALSE(sonivar_dat::words_of(l, {3}).has_value());
}

} // namespace


#include <cmath>

namespace {

TEST(UnitClock, RecoveredFromTheTruncatedFrequency)
{
    using sonivar_dat::unit_clock_hz;
    // Recorded values are 500 000 / divisor truncated; divisors run from 1 to 256.
    for (int divisor : {1, 10, 12, 16, 250, 256}) {
        const float recorded = static_cast<float>(500000 / divisor);
        EXPECT_EQ(unit_clock_hz(recorded), 500000.0 / divisor) << divisor;
    }
    // Values no divisor gives.
    for (float f : {41667.0f, 12345.0f, 600000.0f, 0.0f, -50000.0f, NAN, INFINITY, 1.0f})
        EXPECT_FALSE(unit_clock_hz(f).has_value()) << f;
}

} // namespace
