#include "device_model.h"

namespace sim {

namespace {
constexpr std::uint8_t vendor_out = 0x40;
constexpr std::uint8_t trigger_reserved_bits = 0x3C;  // bits 2 to 5
constexpr std::uint8_t extra_known_bits = extra_counter | extra_status;

Outcome accept(Action action = Action::None) { return {true, action}; }
Outcome stall() { return {false, Action::None}; }
} // namespace

std::vector<int> UnitSettings::microphones() const
{
    std::vector<int> mics;
    for (int beam = 0; beam < 4; ++beam)
        for (int mic = 0; mic < 8; ++mic)
            if (beam_masks[beam] & (1u << mic))
                mics.push_back(8 * beam + mic);
    return mics;
}

int UnitSettings::words_per_frame() const
{
    int words = static_cast<int>(microphones().size());
    if (extra_flags & extra_counter)
        ++words;
    if (extra_flags & extra_status)
        ++words;
    return words;
}

Trigger decode_trigger(std::uint8_t t)
{
    Trigger trigger;
    trigger.source = t & 0x03;
    switch (t & 0xC0) {
    case 0x00: trigger.condition = Trigger::Condition::Rising; break;
    case 0x40: trigger.condition = Trigger::Condition::Falling; break;
    case 0x80: trigger.condition = Trigger::Condition::High; break;
    default: trigger.condition = Trigger::Condition::Low; break;
    }
    return trigger;
}

Outcome DeviceModel::handle(const SetupPacket& setup, const std::vector<std::uint8_t>& data)
{
    log_.push_back({setup.request, data});
    Outcome outcome = apply(setup, data);
    if (!outcome.accepted)
        stalled_.push_back({setup.request, data});
    return outcome;
}

void DeviceModel::clear_log()
{
    log_.clear();
    stalled_.clear();
}

Outcome DeviceModel::apply(const SetupPacket& setup, const std::vector<std::uint8_t>& data)
{
    if (setup.request_type != vendor_out || setup.value != 0 || setup.index != 0)
        return stall();
    const std::size_t n = data.size();
    switch (setup.request) {
    case 0xB0:  // microphone reset: the clock and the count are forgotten
        if (n != 1 || data[0] != 0x00)
            return stall();
        settings.clock_division = UnitSettings{}.clock_division;
        settings.delay = UnitSettings{}.delay;
        settings.sample_count = 0;
        return accept(Action::Reset);
    case 0xB1:
        return n == 2 ? apply_b1(data[0], data[1]) : stall();
    case 0xB3:
        return apply_b3(data);
    case 0xB4:
        if (n != 5 || data[0] != 0x04)
            return stall();
        settings.sample_count = static_cast<std::uint32_t>(data[1]) | (data[2] << 8) |
                                (data[3] << 16) | (static_cast<std::uint32_t>(data[4]) << 24);
        return accept();
    case 0xC0:  // FX3 reset and pseudo-hard reset: back to power-on settings
    case 0xC4:
        if (n != 0)
            return stall();
        settings = UnitSettings{};
        return accept(Action::Reset);
    default:
        return stall();
    }
}

Outcome DeviceModel::apply_b1(std::uint8_t function, std::uint8_t value)
{
    switch (function) {
    case 0x01:
        if (value < 9 || value > 249)
            return stall();
        settings.clock_division = value;
        return accept();
    case 0x02: {
        const int source = value & 0x03;
        // Reserved bits, a fourth source, or a condition with the software start.
        if ((value & trigger_reserved_bits) || source == 3 || (source == 0 && (value & 0xC0)))
            return stall();
        settings.trigger = value;
        return accept(Action::Start);
    }
    case 0x03:
        return value == 0 ? accept(Action::Stop) : stall();
    case 0x07:
        if (value > 16)
            return stall();
        settings.delay = value;
        return accept();
    case 0x09:
        if (value > 1)
            return stall();
        settings.data_type = static_cast<DataType>(value);
        return accept();
    default:
        return stall();
    }
}

Outcome DeviceModel::apply_b3(const std::vector<std::uint8_t>& data)
{
    if (data.size() != 4 || data[0] != 0x05 || data[1] != 0x00)
        return stall();
    const std::uint8_t beam = data[2];
    if (beam == 0xFF) {
        if (data[3] & ~extra_known_bits)
            return stall();
        settings.extra_flags = data[3];
        return accept();
    }
    if (beam > 3)
        return stall();
    settings.beam_masks[beam] = data[3];
    return accept();
}

} // namespace sim
