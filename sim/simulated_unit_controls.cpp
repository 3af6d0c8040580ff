// The simulated unit's controls: what a test or the launcher asks of it
// (the cable, the requests seen, the stream's faults, the scene), each
// under the unit's one lock.
#include "simulated_unit.h"
#include "unit_bridge.h"

#include <chrono>

namespace sim {

SimulatedUnit::SimulatedUnit(bool attached) : impl_(std::make_unique<Impl>(attached)) {}
SimulatedUnit::~SimulatedUnit() = default;

void SimulatedUnit::attach() { impl_->replug(); }

void SimulatedUnit::detach() { impl_->unplug(); }

bool SimulatedUnit::attached() const
{
    std::lock_guard guard(impl_->lock);
    return impl_->attached && !impl_->engine.unplug_due();  // a due unplug has pulled it
}

bool SimulatedUnit::streaming() const
{
    std::lock_guard guard(impl_->lock);
    return impl_->engine.streaming();
}

std::vector<Request> SimulatedUnit::requests() const
{
    std::lock_guard guard(impl_->lock);
    return impl_->engine.model.log();
}

std::vector<Request> SimulatedUnit::stalled() const
{
    std::lock_guard guard(impl_->lock);
    return impl_->engine.model.stalled();
}

void SimulatedUnit::clear_requests()
{
    std::lock_guard guard(impl_->lock);
    impl_->engine.model.clear_log();
}

int SimulatedUnit::opens() const
{
    std::lock_guard guard(impl_->lock);
    impl_->read_node_events();
    return impl_->opens;
}

int SimulatedUnit::closes() const
{
    std::lock_guard guard(impl_->lock);
    impl_->read_node_events();
    return impl_->closes;
}

int SimulatedUnit::claims() const
{
    std::lock_guard guard(impl_->lock);
    return impl_->claims;
}

int SimulatedUnit::releases() const
{
    std::lock_guard guard(impl_->lock);
    return impl_->releases;
}

void SimulatedUnit::set_silent(bool silent)
{
    std::lock_guard guard(impl_->lock);
    impl_->engine.silent = silent;
    impl_->engine.pump(Clock::now());
    impl_->after_change();
}

void SimulatedUnit::set_paced(bool paced)
{
    std::lock_guard guard(impl_->lock);
    impl_->engine.paced = paced;
    impl_->after_change();
}

void SimulatedUnit::set_input(int input, bool high)
{
    if (input != 1 && input != 2)
        throw std::invalid_argument("simulated unit: the external inputs are 1 and 2");
    std::lock_guard guard(impl_->lock);
    impl_->engine.set_input(input, high, Clock::now());
    impl_->after_change();
}

bool SimulatedUnit::input(int input) const
{
    std::lock_guard guard(impl_->lock);
    return impl_->engine.input(input);
}

void SimulatedUnit::set_signal(int mic, Signal signal)
{
    if (mic < 0 || mic > 31)
        throw std::invalid_argument("simulated unit: microphones are 0 to 31");
    std::lock_guard guard(impl_->lock);
    impl_->engine.signals[mic] = signal;
}

bool SimulatedUnit::set_geometry_file(const std::string& path)
{
    const std::optional<Geometry> geometry = read_geometry_file(path);
    if (!geometry)
        return false;
    std::lock_guard guard(impl_->lock);
    Scene scene = impl_->engine.scene();
    scene.microphones = *geometry;
    impl_->engine.set_scene(scene);
    return true;
}

void SimulatedUnit::set_point_source(double x, double y, double z, double frequency, double amplitude)
{
    std::lock_guard guard(impl_->lock);
    Scene scene = impl_->engine.scene();
    scene.fixed = PointSource{{x, y, z}, frequency, amplitude};
    impl_->engine.set_scene(scene);
}

void SimulatedUnit::move_source_at(std::uint64_t frame, double x, double y, double z)
{
    std::lock_guard guard(impl_->lock);
    Scene scene = impl_->engine.scene();
    if (scene.move && scene.fixed)  // the move before has come: it starts from there
        scene.fixed->at = scene.move->to;
    scene.move = SourceMove{static_cast<double>(frame) / impl_->engine.model.settings.sample_rate(), {x, y, z}};
    impl_->engine.set_scene(scene);
}

std::optional<std::chrono::steady_clock::time_point> SimulatedUnit::frame_due(std::uint64_t frame) const
{
    std::lock_guard guard(impl_->lock);
    return impl_->engine.frame_due(frame);
}

void SimulatedUnit::set_calibrator(int mic, double level_db, double frequency_hz)
{
    std::lock_guard guard(impl_->lock);
    Scene scene = impl_->engine.scene();
    scene.calibrator = Calibrator{mic, level_db, frequency_hz};
    impl_->engine.set_scene(scene);
}

void SimulatedUnit::clear_calibrator()
{
    std::lock_guard guard(impl_->lock);
    Scene scene = impl_->engine.scene();
    scene.calibrator.reset();
    impl_->engine.set_scene(scene);
}

std::optional<Calibrator> SimulatedUnit::calibrator() const
{
    std::lock_guard guard(impl_->lock);
    return impl_->engine.scene().calibrator;
}

void SimulatedUnit::set_first_counter(std::uint32_t value)
{
    std::lock_guard guard(impl_->lock);
    impl_->engine.first_counter = value;
}

void SimulatedUnit::jump_counter_at(std::uint64_t frame, std::uint32_t by)
{
    std::lock_guard guard(impl_->lock);
    impl_->engine.jumps.push_back({frame, by});
}

void SimulatedUnit::fail_transfer(std::uint32_t index, Failure failure)
{
    std::lock_guard guard(impl_->lock);
    impl_->engine.failures[index] = failure;
}

void SimulatedUnit::unplug_after(std::uint64_t bytes)
{
    std::lock_guard guard(impl_->lock);
    impl_->engine.unplug_at = impl_->engine.bytes_sent + bytes;
}

void SimulatedUnit::ignore_stop(bool ignore)
{
    std::lock_guard guard(impl_->lock);
    impl_->engine.ignore_stop = ignore;
}

void SimulatedUnit::set_length_error(int bytes)
{
    std::lock_guard guard(impl_->lock);
    impl_->engine.length_error = bytes;
}

std::uint64_t SimulatedUnit::bytes_sent() const
{
    std::lock_guard guard(impl_->lock);
    return impl_->engine.bytes_sent;
}

void SimulatedUnit::set_zero_copy(bool on)
{
    std::lock_guard guard(impl_->lock);
    impl_->zero_copy = on;
    impl_->offer_zero_copy();
}

std::uint64_t SimulatedUnit::zero_copy_transfers() const
{
    std::lock_guard guard(impl_->lock);
    return impl_->zero_copy_transfers;
}

std::uint64_t SimulatedUnit::ioctls() const
{
    std::lock_guard guard(impl_->lock);
    return impl_->ioctls;
}

std::string SimulatedUnit::root_dir() const { return impl_->root; }

UMockdevTestbed* SimulatedUnit::testbed() const { return impl_->testbed; }

SimulatedUnit::SceneNow SimulatedUnit::scene_now() const
{
    std::lock_guard guard(impl_->lock);
    return {impl_->engine.scene(), impl_->engine.scene_time(Clock::now())};
}

} // namespace sim
