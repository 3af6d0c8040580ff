// The unit's command set: every request the program sends is accepted and
// applied; every malformed one is stalled and logged.
#include "device_model.h"

#include <gtest/gtest.h>

#include <vector>

using sim::Action;
using sim::DeviceModel;
using sim::SetupPacket;

namespace {

struct Command {
    std::uint8_t request;
    std::vector<std::uint8_t> data;
};

sim::Outcome send(DeviceModel& m, const Command& c) { return m.handle({0x40, c.request, 0, 0}, c.data); }

TEST(DeviceModel, AcceptsEveryRequestOfTheCommandSet)
{
    const Command accepted[] = {
        {0xB0, {0x00}},
        {0xB1, {0x01, 9}},   {0xB1, {0x01, 249}},
        {0xB1, {0x02, 0x00}}, {0xB1, {0x02, 0x01}}, {0xB1, {0x02, 0x42}}, {0xB1, {0x02, 0x81}},
        {0xB1, {0x02, 0xC2}},
        {0xB1, {0x03, 0x00}},
        {0xB1, {0x07, 0}},   {0xB1, {0x07, 16}},
        {0xB1, {0x09, 0}},   {0xB1, {0x09, 1}},
        {0xB3, {0x05, 0x00, 0, 0xFF}}, {0xB3, {0x05, 0x00, 3, 0x00}},
        {0xB3, {0x05, 0x00, 0xFF, 0x80}}, {0xB3, {0x05, 0x00, 0xFF, 0xC0}}, {0xB3, {0x05, 0x00, 0xFF, 0x00}},
        {0xB4, {0x04, 0xFF, 0xFF, 0xFF, 0xFF}},
        {0xC0, {}}, {0xC4, {}},
    };
    for (const Command& c : accepted) {
        DeviceModel m;
        EXPECT_TRUE(send(m, c).accepted) << std::hex << int(c.request) << " " << int(c.data.empty() ? 0 : c.data[0]);
        EXPECT_TRUE(m.stalled().empty());
    }
}

TEST(DeviceModel, StallsEveryMalformedRequestAndLogsIt)
{
    const Command refused[] = {
        {0xB2, {0x00, 0x00, 0x00}},                 // never part of the set
        {0xB5, {0x00}}, {0xC1, {}}, {0x00, {}},      // unknown codes
        {0xB0, {}}, {0xB0, {0x00, 0x00}},            // wrong lengths
        {0xB1, {0x01}}, {0xB3, {0x05, 0x00, 0x00}}, {0xB4, {0x04, 0, 0, 0}}, {0xC0, {0x00}},
        {0xB0, {0x01}},                              // unknown function codes
        {0xB1, {0x04, 0x00}}, {0xB1, {0x00, 0x00}}, {0xB3, {0x06, 0x00, 0, 0}}, {0xB4, {0x05, 0, 0, 0, 0}},
        {0xB1, {0x01, 8}}, {0xB1, {0x01, 250}},      // clock division outside 9..249
        {0xB1, {0x07, 17}},                          // delay above 16
        {0xB1, {0x09, 2}},                           // data type
        {0xB1, {0x03, 0x01}},                        // Stop carries 0
        {0xB1, {0x02, 0x03}}, {0xB1, {0x02, 0x04}}, {0xB1, {0x02, 0x80}},  // trigger byte
        {0xB3, {0x05, 0x00, 4, 0xFF}}, {0xB3, {0x05, 0x00, 0xFE, 0}},     // beam
        {0xB3, {0x05, 0x01, 0, 0xFF}},               // second byte is 0
        {0xB3, {0x05, 0x00, 0xFF, 0x01}},            // unknown extra channel
    };
    for (const Command& c : refused) {
        DeviceModel m;
        const sim::UnitSettings before = m.settings;
        const sim::Outcome out = send(m, c);
        EXPECT_FALSE(out.accepted) << std::hex << int(c.request) << " " << int(c.data.empty() ? 0 : c.data[0]);
        EXPECT_EQ(out.action, Action::None);
        ASSERT_EQ(m.log().size(), 1u);
        EXPECT_EQ(m.stalled(), m.log());
        EXPECT_EQ(m.settings.clock_division, before.clock_division);
        EXPECT_EQ(m.settings.beam_masks, before.beam_masks);
    }
}

TEST(DeviceModel, StallsWrongFraming)
{
    const SetupPacket framings[] = {
        {0xC0, 0xB0, 0, 0},  // device to host
        {0x41, 0xB0, 0, 0},  // interface recipient
        {0x40, 0xB0, 1, 0},  // wValue
        {0x40, 0xB0, 0, 1},  // wIndex
    };
    for (const SetupPacket& s : framings) {
        DeviceModel m;
        EXPECT_FALSE(m.handle(s, {0x00}).accepted);
    }
}

TEST(DeviceModel, AppliesSettingsAndNamesTheStreamActions)
{
    DeviceModel m;
    EXPECT_EQ(send(m, {0xB1, {0x01, 24}}).action, Action::None);
    send(m, {0xB1, {0x07, 8}});
    send(m, {0xB1, {0x09, 1}});
    send(m, {0xB3, {0x05, 0x00, 1, 0x81}});
    send(m, {0xB3, {0x05, 0x00, 3, 0x02}});
    send(m, {0xB3, {0x05, 0x00, 0xFF, 0xC0}});
    send(m, {0xB4, {0x04, 0x78, 0x56, 0x34, 0x12}});

    EXPECT_DOUBLE_EQ(m.settings.sample_rate(), 20000.0);
    EXPECT_EQ(m.settings.delay, 8);
    EXPECT_EQ(m.settings.data_type, sim::DataType::Float32);
    EXPECT_EQ(m.settings.sample_count, 0x12345678u);
    EXPECT_EQ(m.settings.microphones(), (std::vector<int>{8, 15, 25}));
    EXPECT_EQ(m.settings.words_per_frame(), 5);

    EXPECT_EQ(send(m, {0xB1, {0x02, 0x81}}).action, Action::Start);
    EXPECT_EQ(m.settings.trigger, 0x81);
    EXPECT_EQ(send(m, {0xB1, {0x03, 0x00}}).action, Action::Stop);

    // The microphone reset forgets the clock and the count, not the selection.
    EXPECT_EQ(send(m, {0xB0, {0x00}}).action, Action::Reset);
    EXPECT_DOUBLE_EQ(m.settings.sample_rate(), 50000.0);
    EXPECT_EQ(m.settings.sample_count, 0u);
    EXPECT_EQ(m.settings.words_per_frame(), 5);
    // The controller resets forget everything.
    EXPECT_EQ(send(m, {0xC4, {}}).action, Action::Reset);
    EXPECT_EQ(m.settings.words_per_frame(), 0);

    EXPECT_EQ(m.log().size(), 11u);
    EXPECT_EQ(m.log()[6], (sim::Request{0xB4, {0x04, 0x78, 0x56, 0x34, 0x12}}));
    m.clear_log();
    EXPECT_TRUE(m.log().empty());
}

TEST(DeviceModel, DecodesTheTriggerByte)
{
    using C = sim::Trigger::Condition;
    const struct {
        std::uint8_t t;
        int source;
        C condition;
    } cases[] = {{0x00, 0, C::Rising}, {0x01, 1, C::Rising}, {0x41, 1, C::Falling},
                 {0x82, 2, C::High},   {0xC1, 1, C::Low}};
    for (const auto& c : cases) {
        const sim::Trigger tr = sim::decode_trigger(c.t);
        EXPECT_EQ(tr.source, c.source) << int(c.t);
        EXPECT_EQ(tr.condition, c.condition) << int(c.t);
    }
}

} // namespace
