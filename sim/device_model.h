#pragma once
// The unit's command set and settings, without any USB plumbing: every vendor
// request is validated here, applied to the settings and logged. A request
// the firmware would not accept is refused, and the bridge stalls it.
#include "simulated_unit.h"

#include <array>
#include <cstdint>
#include <vector>

namespace sim {

enum class DataType : std::uint8_t { Int32 = 0, Float32 = 1 };

constexpr std::uint8_t extra_counter = 0x80;  // packet counter channel
constexpr std::uint8_t extra_status = 0x40;   // status channel
constexpr double base_clock_hz = 500000.0;

// What the unit is programmed with. Power-on values are the defaults.
struct UnitSettings {
    std::uint8_t clock_division = 9;           // sample clock = 500 kHz / (d + 1)
    std::uint8_t delay = 10;                   // N_DELAY
    std::array<std::uint8_t, 4> beam_masks{};  // bit j: microphone j of the beam
    std::uint8_t extra_flags = 0;              // extra_counter | extra_status
    std::uint32_t sample_count = 0;            // 0: until Stop
    DataType data_type = DataType::Int32;
    std::uint8_t trigger = 0;                  // the last Start byte

    double sample_rate() const { return base_clock_hz / (clock_division + 1); }
    // Global indices (8 x beam + microphone) of the selected microphones, ascending.
    std::vector<int> microphones() const;
    // 32-bit words per frame: microphones plus the enabled extra channels.
    int words_per_frame() const;
};

struct SetupPacket {
    std::uint8_t request_type = 0x40;
    std::uint8_t request = 0;
    std::uint16_t value = 0;
    std::uint16_t index = 0;
    std::uint16_t length = 0;  // wLength
};

// What an accepted request asks of the stream.
enum class Action { None, Start, Stop, Reset };

struct Outcome {
    bool accepted = false;  // false: the request is stalled
    Action action = Action::None;
};

class DeviceModel {
public:
    // Validates and applies one vendor OUT request with its data stage.
    Outcome handle(const SetupPacket& setup, const std::vector<std::uint8_t>& data);

    // Every request received (stalled ones included), in order, and the
    // stalled ones alone.
    const std::vector<Request>& log() const { return log_; }
    const std::vector<Request>& stalled() const { return stalled_; }
    void clear_log();

    // Back to power-on settings (a new cable plug-in).
    void power_on() { settings = UnitSettings{}; }

    UnitSettings settings;

private:
    Outcome apply(const SetupPacket& setup, const std::vector<std::uint8_t>& data);
    Outcome apply_b1(std::uint8_t function, std::uint8_t value);
    Outcome apply_b3(const std::vector<std::uint8_t>& data);

    std::vector<Request> log_;
    std::vector<Request> stalled_;
};

// The trigger byte of Start.
struct Trigger {
    int source = 0;  // 0 software, 1 and 2 external inputs
    enum class Condition { Rising, Falling, High, Low } condition = Condition::Rising;
};
Trigger decode_trigger(std::uint8_t t);

} // namespace sim
