#include "descriptors.h"

#include <cstdio>

namespace sim {

namespace {

constexpr std::uint8_t standard_in_device = 0x80;
constexpr std::uint8_t standard_in_interface = 0x81;
constexpr std::uint8_t standard_in_endpoint = 0x82;
constexpr std::uint8_t get_status = 0x00;
constexpr std::uint8_t get_descriptor = 0x06;
constexpr std::uint8_t get_configuration = 0x08;
constexpr std::uint8_t type_device = 1, type_configuration = 2, type_string = 3, type_qualifier = 6;
constexpr std::uint16_t english_us = 0x0409;
constexpr std::uint8_t string_manufacturer = 1, string_product = 2, string_serial = 3;
constexpr std::uint8_t configuration_value = 1;

std::vector<std::uint8_t> string_descriptor(const char* text)
{
    std::vector<std::uint8_t> d{0, type_string};
    for (const char* c = text; *c != '\0'; ++c)
        d.insert(d.end(), {static_cast<std::uint8_t>(*c), 0});  // UTF-16LE of ASCII
    d[0] = static_cast<std::uint8_t>(d.size());
    return d;
}

std::optional<std::vector<std::uint8_t>> descriptor(std::uint8_t type, std::uint8_t index, std::uint16_t lang)
{
    switch (type) {
    case type_device: return device_descriptor();
    case type_configuration: return index == 0 ? std::optional(configuration_descriptor()) : std::nullopt;
    case type_qualifier:  // the other speed: full speed, same single configuration
        return std::vector<std::uint8_t>{10, type_qualifier, 0x00, 0x02, 0, 0, 0, 64, 1, 0};
    case type_string:
        if (index == 0)
            return std::vector<std::uint8_t>{4, type_string, english_us & 0xFF, english_us >> 8};
        if (lang != english_us)
            return std::nullopt;
        if (index == string_manufacturer)
            return string_descriptor(manufacturer_string);
        if (index == string_product)
            return string_descriptor(product_string);
        if (index == string_serial)
            return string_descriptor(serial_string);
        return std::nullopt;
    default: return std::nullopt;  // BOS, debug, OTG...: stalled
    }
}

} // namespace

std::vector<std::uint8_t> device_descriptor()
{
    return {18, type_device, 0x00, 0x02, 0x00, 0x00, 0x00, 64, 0x27, 0xFE, 0x03, 0xAC, 0x00, 0x01,
            string_manufacturer, string_product, string_serial, 1};
}

std::vector<std::uint8_t> configuration_descriptor()
{
    return {9, type_configuration, 25, 0, 1, configuration_value, 0, 0x80, 250,  // bus powered, 500 mA
            9, 4, 0, 0, 1, 0xFF, 0, 0, 0,                                      // interface 0, vendor
            7, 5, 0x81, 0x02, 0x00, 0x02, 0};                                 // bulk IN 0x81, 512 bytes
}

std::string descriptors_hex()
{
    std::vector<std::uint8_t> all = device_descriptor();
    const std::vector<std::uint8_t> configuration = configuration_descriptor();
    all.insert(all.end(), configuration.begin(), configuration.end());
    std::string hex;
    for (std::uint8_t b : all) {
        char two[3];
        std::snprintf(two, sizeof two, "%02X", b);
        hex += two;
    }
    return hex;
}

std::optional<std::vector<std::uint8_t>> standard_request(const SetupPacket& setup)
{
    std::optional<std::vector<std::uint8_t>> answer;
    const bool to_device = setup.request_type == standard_in_device;
    if (setup.request == get_status &&
        (to_device || setup.request_type == standard_in_interface || setup.request_type == standard_in_endpoint))
        answer = std::vector<std::uint8_t>{0, 0};  // bus powered, no remote wake-up; endpoint not halted
    else if (to_device && setup.request == get_configuration)
        answer = std::vector<std::uint8_t>{configuration_value};
    else if (to_device && setup.request == get_descriptor)
        answer = descriptor(static_cast<std::uint8_t>(setup.value >> 8), static_cast<std::uint8_t>(setup.value),
                            setup.index);
    if (answer && answer->size() > setup.length)
        answer->resize(setup.length);
    return answer;
}

} // namespace sim
