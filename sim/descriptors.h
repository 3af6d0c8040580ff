#pragma once
// The unit's USB descriptors and its answers to the standard requests the
// FX3 firmware serves: GET_STATUS, GET_CONFIGURATION and GET_DESCRIPTOR for
// the device, its configuration, the device qualifier and the strings. Any
// other standard request is stalled, as the firmware does.
#include "device_model.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace sim {

constexpr const char* manufacturer_string = "Sonivar";
constexpr const char* product_string = "Sonivar 32";
constexpr const char* serial_string = "SV32-SIM-0001";

// High Speed, one configuration with the vendor-specific interface 0 and
// its bulk IN endpoint 0x81 of 512-byte packets.
std::vector<std::uint8_t> device_descriptor();
std::vector<std::uint8_t> configuration_descriptor();  // with interface and endpoint
// The device and configuration descriptors as the kernel shows them in
// sysfs (the "descriptors" attribute), in hex.
std::string descriptors_hex();

// The data stage of a standard IN request (at most wLength bytes), or
// nothing when the unit stalls it.
std::optional<std::vector<std::uint8_t>> standard_request(const SetupPacket& setup);

} // namespace sim
