// An acquisition run: start, trigger wait, run loop, Stop and end of run.
//
// The whole run happens inside the Start button's click handler, which
// returns only when the run is over. Stop and Abort are handled nested in it,
// by the window-event processing of the trigger wait and of the run loop;
// every other control is disabled meanwhile.
#include "app/format.h"
#include "app/principale.h"
#include "device/vendor_commands.h"
#include "platform/clock.h"

#include <QPushButton>

namespace SonivarACQ32 {

void Principale::button_Start_Click()
{
    run_active = true;
    if (prepare_run()) {
        size_run();
        launch_run();
        if (!run.waiting || wait_for_trigger()) {
            run_begins();
            run_loop();
            end_of_run();
        } else {
            abort_before_trigger();
        }
    }
    // The run has ended with what arrived; only then is the loss named.
    if (own.unit_lost)
        unit_gone();
    run_active = false;
    // The window was closed during the run: its files are written now.
    if (close_requested) {
        close_requested = false;
        window()->close();  // its frame, which closes it
    }
}

void Principale::button_Abort_Click()
{
    aborted = true;
    button_Abort->hide();
    if (test)
        call_verb(QStringLiteral("  Aborted\r\n"), 0);
}

void Principale::button_Stop_Click()
{
    button_Stop->hide();
    button_Start->show();
    buf[0] = vendor::stop;
    buf[1] = 0x00;
    commande(1);
    stopped = true;
    run.stop_tick = platform::tick_count();
    if (count != 0)
        call_verb(QStringLiteral("Acquisition stoppée avant la fin\r\n"), 0);
    else if (test)
        call_verb(QStringLiteral("Stopped\r\n"), 0);
    platform::sleep(1);
}

} // namespace SonivarACQ32
