// The windows of our own beside the acquisition window (the map, the
// spectrum): how they are made ready, brought forward and placed.
#include "app/principale.h"

#include "feed/live_window.h"
#include "platform/settings.h"

#include <QGuiApplication>
#include <QScreen>
#include <QSettings>

#include <algorithm>

namespace SonivarACQ32 {

// The program ends with its main window, whether the live windows are open
// or not.
void Principale::prepare_live_window(feed::LiveWindow* window, const char* place_key)
{
    window->setAttribute(Qt::WA_QuitOnClose, false);
    window->reprend_reglages(*platform::settings());
    connect(window, &feed::LiveWindow::visibilite, this, [window, place_key](bool visible) {
        if (visible)
            return;
        const auto kept = platform::settings();
        kept->setValue(QLatin1String(place_key), window->pos());
        window->sauve_reglages(*kept);
    });
}

void Principale::bring_forward(QWidget* window)
{
    window->show();
    // A window grown since it was put there (a newer version of it) that
    // now runs past its screen's edge moves left as far as it needs, never
    // past the screen's left edge.
    if (const QScreen* screen = window->screen()) {
        const QRect room = screen->availableGeometry(), frame = window->frameGeometry();
        if (frame.right() > room.right())
            window->move(std::max(room.left(), frame.left() - (frame.right() - room.right())), window->y());
    }
    window->raise();
    window->activateWindow();
}

// Where the operator last left a window of our own, when a screen still
// shows that place; beside this one otherwise.
void Principale::place_where_it_was(QWidget* window, const char* key) const
{
    fit_to_screen(window);
    const QVariant kept = platform::settings()->value(QLatin1String(key));
    if (!kept.canConvert<QPoint>() || !kept.isValid() || QGuiApplication::screenAt(kept.toPoint()) == nullptr) {
        place_beside(window);
        return;
    }
    window->move(kept.toPoint());
}

// Its whole size when the screen has room (adjustSize stops at two thirds
// of the screen), never more than the screen: it scrolls then.
void Principale::fit_to_screen(QWidget* window) const
{
    const QScreen* screen = this->screen();
    if (screen == nullptr)
        return;
    const QSize frame = window->frameGeometry().size() - window->size();
    window->resize(window->sizeHint().expandedTo(window->minimumSizeHint()).boundedTo(
        screen->availableGeometry().size() - frame));
}

// A window of our own opens beside the acquisition window, never over its
// controls: to its right when the screen has room, else to its left, else
// as far right as the screen allows. Afterwards it stays where the operator
// puts it.
void Principale::place_beside(QWidget* window) const
{
    const QRect main = this->window()->frameGeometry();
    const QScreen* screen = this->screen();
    const QRect room = screen != nullptr ? screen->availableGeometry() : QRect(main.topLeft(), QSize(4096, 4096));
    const int width = window->frameGeometry().width();
    int x = main.right() + 1;
    if (x + width > room.right() + 1)
        x = main.left() - width >= room.left() ? main.left() - width : room.right() + 1 - width;
    window->move(std::max(x, room.left()), std::max(main.top(), room.top()));
}

} // namespace SonivarACQ32
