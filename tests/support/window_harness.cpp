#include "window_harness.h"

#include "app/format.h"
#include "french_locale.h"
#include "platform/clock.h"
#include "platform/dialogs.h"
#include "platform/free_space.h"
#include "platform/settings.h"
#include "recording/header_record.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

namespace testsupport {

using SonivarACQ32::Principale;

bool wait_for(const std::function<bool()>& done, int timeout_ms)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > timeout_ms)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 50);
    }
    return true;
}

void reset_window_state()
{
    // The values the definitions give them: value-initialised, all of them.
    using P = Principale;
    P::enabled = {};
    P::txtBox_Info = {};
    P::test = {};
    P::TimeOut = {};
    P::nb_voies = {};
    P::compteur = {};
    P::a_ecrire = {};
    P::callback = {};
    P::fini = {};
    P::record = {};
    P::erreur_compteur = {};
    P::test_init = {};
    P::err_timeout = {};
    P::transf_arret = {};
    P::transfert = {};
    P::buffers = {};
    P::val_compteur = {};
    P::increment_compteur = {};
    P::increment_position = {};
    P::position_compteur = {};
    P::Filep = {};
    P::num_pkt = {};
    P::ntr = {};
    P::ntw = {};
    P::own = {};  // every field of the program's own
    SonivarACQ32::header_file = {};

    SonivarACQ32::platform::clock_seam().restore();
    SonivarACQ32::platform::dialogs_seam().restore();
    SonivarACQ32::platform::free_space_seam().restore();
    // The operator's own configuration is never touched: each test starts
    // from an empty file of its process.
    static QTemporaryDir settings_dir;
    const QString settings_file = settings_dir.filePath(QStringLiteral("settings.ini"));
    QFile::remove(settings_file);
    SonivarACQ32::platform::settings_file_seam().install(settings_file);
    SonivarACQ32::fmt::locale_seam().restore();
}

WindowHarness::WindowHarness(WindowOptions options) : unit(options.unit_attached)
{
    SonivarACQ32::fmt::locale_seam().install(&french_locale);
    if (options.fast_clock)
        use_fast_clock();
    if (options.camera)
        camera = std::make_unique<sim::camera::SimulatedCamera>(unit);
    window = std::make_unique<Principale>();
}

// The window goes first: it closes its link (and its camera) while the
// unit is still there.
WindowHarness::~WindowHarness()
{
    window.reset();
    camera.reset();
}

FastClock& WindowHarness::use_fast_clock()
{
    SonivarACQ32::platform::clock_seam().install(&clock);
    return clock;
}

void WindowHarness::enable_panel()
{
    window->set_all_enabled(true);
    window->enable();
}

void expect_ring_freed()
{
    EXPECT_EQ(Principale::own.ring.in_flight(), 0);
    for (int i = 0; i < SonivarACQ32::nb_slots; ++i) {
        EXPECT_EQ(Principale::transfert[i], nullptr) << i;
        EXPECT_EQ(Principale::buffers[i], nullptr) << i;
    }
}

} // namespace testsupport

namespace sim {

void PrintTo(const Request& r, std::ostream* os)
{
    *os << std::hex << "0x" << int(r.request) << " [";
    for (auto b : r.data)
        *os << ' ' << int(b);
    *os << " ]" << std::dec;
}

} // namespace sim
