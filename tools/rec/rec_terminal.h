#pragma once
// What sonivar-rec shows and hears while the window runs hidden: the
// information pane's text on the standard output as it comes, a progress
// line on a terminal, and the signals that stop the run.
#include <QObject>

#include <memory>

class QSocketNotifier;
class QTimer;

namespace SonivarACQ32 {
class Principale;
}

namespace sonivar_rec {

// Ctrl+C and SIGTERM are taken as events of the window's loop, never as
// interruptions: the unit's event wait would end on them. Called first
// thing in main, so that every thread keeps them blocked.
void block_stop_signals();

class RunWatch : public QObject {
public:
    explicit RunWatch(SonivarACQ32::Principale& window);
    ~RunWatch() override;

    // Ctrl+C or SIGTERM came before the run started (the events waiting are
    // handled first).
    bool interrupted();
    // The operator's Stop (a signal) was pressed during the run.
    bool stop_asked = false;
    // The run's totals, on the standard output.
    void totals();

private:
    void on_signal();
    void echo(int position, int added);
    void show_progress();
    void clear_progress();

    SonivarACQ32::Principale& w_;
    int signal_fd_ = -1;
    QSocketNotifier* notifier_ = nullptr;
    QTimer* timer_ = nullptr;
    int signals_ = 0;           // received since the start
    int signals_waiting_ = 0;   // received during the trigger wait
    bool progress_shown_ = false;
    bool terminal_ = false;     // the progress line goes to a terminal
};

} // namespace sonivar_rec
