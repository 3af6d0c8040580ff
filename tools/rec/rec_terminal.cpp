#include "rec_terminal.h"

#include "app/format.h"
#include "app/principale.h"

#include <QCoreApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSocketNotifier>
#include <QTextCursor>
#include <QTextDocument>
#include <QTimer>

#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cstdio>

namespace sonivar_rec {

namespace {

using SonivarACQ32::Principale;
namespace fmt = SonivarACQ32::fmt;

sigset_t stop_signals()
{
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    return set;
}

void print(const QString& text)
{
    std::fputs(text.toUtf8().constData(), stdout);
    std::fflush(stdout);
}

} // namespace

void block_stop_signals()
{
    const sigset_t set = stop_signals();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

RunWatch::RunWatch(Principale& window) : w_(window), terminal_(isatty(STDERR_FILENO) != 0)
{
    const sigset_t set = stop_signals();
    signal_fd_ = signalfd(-1, &set, SFD_CLOEXEC | SFD_NONBLOCK);
    notifier_ = new QSocketNotifier(signal_fd_, QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] { on_signal(); });
    connect(Principale::txtBox_Info->document(), &QTextDocument::contentsChange, this,
            [this](int position, int, int added) { echo(position, added); });
    timer_ = new QTimer(this);
    connect(timer_, &QTimer::timeout, this, [this] { show_progress(); });
    timer_->start(250);
}

RunWatch::~RunWatch()
{
    clear_progress();
    if (signal_fd_ >= 0)
        close(signal_fd_);
}

bool RunWatch::interrupted()
{
    QCoreApplication::processEvents();
    return signals_ > 0;
}

void RunWatch::on_signal()
{
    signalfd_siginfo info{};
    if (read(signal_fd_, &info, sizeof info) != static_cast<ssize_t>(sizeof info))
        return;
    ++signals_;
    if (!w_.run_active)
        return;
    if (w_.run.waiting) {
        // A trigger may be what the operator is waiting for: the first
        // Ctrl+C only says how to give up.
        ++signals_waiting_;
        if (signals_waiting_ == 1 && info.ssi_signo == SIGINT)
            print(QStringLiteral("\nEn attente du déclenchement : Ctrl+C de nouveau pour abandonner\n"));
        else
            w_.button_Abort->click();
        return;
    }
    stop_asked = true;
    show_progress();  // presses Stop as soon as it can be pressed
}

void RunWatch::echo(int position, int added)
{
    if (added <= 0)
        return;
    QTextCursor cursor(Principale::txtBox_Info->document());
    cursor.setPosition(position);
    cursor.setPosition(position + added, QTextCursor::KeepAnchor);
    QString text = cursor.selectedText();
    text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    clear_progress();
    print(text);
}

void RunWatch::show_progress()
{
    if (stop_asked && w_.run_active && !w_.stopped && !w_.run.waiting && w_.button_Stop->isEnabled())
        w_.button_Stop->click();
    if (!terminal_ || !w_.run_active || w_.run.waiting)
        return;
    const QString line = QStringLiteral("\r\033[K%1, %2 octets écrits")
                             .arg(w_.label_Duree_Ecoulee->text(), fmt::fr(static_cast<double>(Principale::ntw), 0));
    std::fputs(line.toUtf8().constData(), stderr);
    std::fflush(stderr);
    progress_shown_ = true;
}

void RunWatch::clear_progress()
{
    if (!progress_shown_)
        return;
    std::fputs("\r\033[K", stderr);
    std::fflush(stderr);
    progress_shown_ = false;
}

void RunWatch::totals()
{
    const double frame_bytes = 4.0 * std::max(1, static_cast<int>(Principale::nb_voies));
    const double frames = static_cast<double>(Principale::ntr) / frame_bytes;
    const double seconds = w_.frequence > 0.0f ? frames / w_.frequence : 0.0;
    print(QStringLiteral("\nFin : %1 trames reçues (%2 s), %3 octets écrits%4\n")
              .arg(fmt::fr(frames, 0), fmt::fr(seconds, 2), fmt::fr(static_cast<double>(Principale::ntw), 0),
                   w_.acqui_name.isEmpty() || !Principale::record ? QString()
                                                                : QStringLiteral(" dans ") + w_.acqui_name));
}

} // namespace sonivar_rec
