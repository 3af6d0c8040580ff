#pragma once
// The one set-up of the whole-window tests: the dialogs stand-in, the
// simulated unit and the window, built in that order on a clean slate.
//
// Before anything is built (and again once everything is gone) every
// class-wide field of the window is back at its start-up value and every
// platform seam at its standard value, so no test sees what the one before
// it left. The regional settings are pinned to French.
//
//   TEST_F(MySuite, ...) with `using MySuite = testsupport::WindowTest;`
//   reaches `w` (the window), `unit`, `dialogs` and `h` (the harness: the
//   fast clock, the window's owner).
#include "app/principale.h"
#include "fast_clock.h"
#include "simulated_unit.h"
#include "camera/simulated_camera.h"
#include "test_dialogs.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <ostream>

namespace testsupport {

// Every class-wide field of the window to its start-up value, every
// platform seam to its standard value.
void reset_window_state();

struct WindowOptions {
    bool unit_attached = true;  // the unit is plugged in from the start
    bool fast_clock = false;    // the program's sleeps and ticks on a fast clock
    bool camera = false;        // a webcam films the unit's scene (/dev/video0)
};

class WindowHarness {
    // First member: the slate is clean before anything else is built.
    struct CleanSlate {
        CleanSlate() { reset_window_state(); }
        ~CleanSlate() { reset_window_state(); }
    } clean_;

public:
    explicit WindowHarness(WindowOptions options = {});
    ~WindowHarness();
    WindowHarness(const WindowHarness&) = delete;
    WindowHarness& operator=(const WindowHarness&) = delete;

    // Puts the fast clock in force (also done at construction on request).
    FastClock& use_fast_clock();
    // Every control group usable, as a successful Init leaves the panel,
    // without the unit's help.
    void enable_panel();

    FastClock clock;  // before the rest, so it outlives everything that ticks
    TestDialogs dialogs;
    sim::SimulatedUnit unit;
    std::unique_ptr<sim::camera::SimulatedCamera> camera;  // with the option only
    // The window; a test that ends it (reset) must not use it afterwards.
    std::unique_ptr<SonivarACQ32::Principale> window;
};

// The fixture of the window tests; fixtures of their own derive from it and
// may pass options.
class WindowTest : public ::testing::Test {
protected:
    explicit WindowTest(WindowOptions options = {}) : h(options) {}

    WindowHarness h;
    TestDialogs& dialogs = h.dialogs;
    sim::SimulatedUnit& unit = h.unit;
    SonivarACQ32::Principale& w = *h.window;
};

template <typename Param>
class WindowTestWithParam : public WindowTest, public ::testing::WithParamInterface<Param> {
protected:
    using WindowTest::WindowTest;
};

// The same fixture with the unit unplugged from the start.
class AbsentUnitTest : public WindowTest {
protected:
    AbsentUnitTest() : WindowTest({.unit_attached = false}) {}
};

// The same fixture with the simulated webcam filming the scene.
class CameraTest : public WindowTest {
protected:
    CameraTest() : WindowTest({.camera = true}) {}
    sim::camera::SimulatedCamera& camera = *h.camera;
};

// The same fixture with the program's sleeps and ticks on the fast clock.
class FastClockTest : public WindowTest {
protected:
    FastClockTest() : WindowTest({.fast_clock = true}) {}
};

// The ring has no transfer left in libusb's hands, and every transfer and
// buffer is freed.
void expect_ring_freed();

// Processes window events until `done` holds (results of a worker thread
// arrive as events); false when it still does not after `timeout_ms`.
bool wait_for(const std::function<bool()>& done, int timeout_ms = 30000);

} // namespace testsupport

namespace sim {
// Vendor requests as GoogleTest prints them: "0xb1 [ 1 9 ]".
void PrintTo(const Request& r, std::ostream* os);
} // namespace sim
