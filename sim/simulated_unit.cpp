#include "simulated_unit.h"

namespace sim {

struct SimulatedUnit::Impl {};

SimulatedUnit::SimulatedUnit(bool) : impl_(std::make_unique<Impl>()) {}
SimulatedUnit::~SimulatedUnit() = default;
void SimulatedUnit::attach() {}
void SimulatedUnit::detach() {}
std::vector<Request> SimulatedUnit::requests() const { return {}; }
void SimulatedUnit::clear_requests() {}
int SimulatedUnit::opens() const { return 0; }
int SimulatedUnit::closes() const { return 0; }
int SimulatedUnit::claims() const { return 0; }
int SimulatedUnit::releases() const { return 0; }
void SimulatedUnit::set_silent(bool) {}
void SimulatedUnit::set_paced(bool) {}
void SimulatedUnit::set_input(int, bool) {}
void SimulatedUnit::set_signal(int, Signal) {}
void SimulatedUnit::jump_counter_at(std::uint64_t, std::uint32_t) {}
void SimulatedUnit::fail_transfer(std::uint32_t, Failure) {}
void SimulatedUnit::unplug_after(std::uint64_t) {}
void SimulatedUnit::ignore_stop(bool) {}
std::uint64_t SimulatedUnit::bytes_sent() const { return 0; }

} // namespace sim
