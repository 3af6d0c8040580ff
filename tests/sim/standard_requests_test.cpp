// The standard requests the unit answers, and those it stalls.
#include "descriptors.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using Bytes = std::vector<std::uint8_t>;

std::string text_of(const Bytes& string_descriptor)
{
    std::string text;
    for (std::size_t i = 2; i + 1 < string_descriptor.size(); i += 2)
        text += static_cast<char>(string_descriptor[i]);
    return text;
}

Bytes first(Bytes bytes, std::size_t n)
{
    bytes.resize(n);
    return bytes;
}

TEST(StandardRequests, AnswersStatusDescriptorsAndStrings)
{
    const struct {
        sim::SetupPacket setup;
        std::optional<Bytes> answer;  // nothing: stalled
    } rows[] = {
        {{0x80, 0x00, 0, 0, 2}, Bytes{0, 0}},                             // device status
        {{0x82, 0x00, 0, 0x81, 2}, Bytes{0, 0}},                          // endpoint 0x81 not halted
        {{0x80, 0x08, 0, 0, 1}, Bytes{1}},                                // configuration 1
        {{0x80, 0x06, 0x0600, 0, 10}, Bytes{10, 6, 0x00, 0x02, 0, 0, 0, 64, 1, 0}},  // qualifier
        {{0x80, 0x06, 0x0300, 0, 255}, Bytes{4, 3, 0x09, 0x04}},           // languages: en-US
        {{0x80, 0x06, 0x0100, 0, 8}, first(sim::device_descriptor(), 8)},  // cut to wLength
        {{0x80, 0x06, 0x0200, 0, 255}, sim::configuration_descriptor()},
        {{0x80, 0x06, 0x0304, 0x0409, 255}, std::nullopt},                 // no string 4
        {{0x80, 0x06, 0x0301, 0x0407, 255}, std::nullopt},                 // no other language
        {{0x80, 0x06, 0x0F00, 0, 5}, std::nullopt},                        // no BOS (USB 2.0)
        {{0x80, 0x06, 0x0A00, 0, 4}, std::nullopt},                        // no debug descriptor
        {{0x80, 0x0A, 0, 0, 1}, std::nullopt},                             // GET_INTERFACE is not served
        {{0x00, 0x03, 1, 0, 0}, std::nullopt},                             // SET_FEATURE remote wake-up
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::Message() << std::hex << int{row.setup.request_type} << " "
                                        << int{row.setup.request} << " " << row.setup.value);
        EXPECT_EQ(sim::standard_request(row.setup), row.answer);
    }

    const std::pair<std::uint8_t, const char*> strings[] = {
        {1, sim::manufacturer_string}, {2, sim::product_string}, {3, sim::serial_string}};
    const Bytes device = sim::device_descriptor();
    for (const auto& [index, text] : strings) {
        const auto d = sim::standard_request({0x80, 0x06, std::uint16_t(0x0300 | index), 0x0409, 255});
        ASSERT_TRUE(d);
        EXPECT_EQ(d->size(), (*d)[0]);
        EXPECT_EQ(text_of(*d), text);
        EXPECT_EQ(device[13 + index], index);  // iManufacturer, iProduct, iSerialNumber
    }
    EXPECT_EQ(std::string(sim::manufacturer_string), "Sonivar");
    EXPECT_EQ(std::string(sim::product_string), "Sonivar 32");
}

} // namespace
