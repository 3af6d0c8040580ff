#include "app/cadre_principal.h"

#include "app/panel_layout.h"
#include "app/principale.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QStyle>

#include <algorithm>

namespace SonivarACQ32 {

CadrePrincipal::CadrePrincipal(Principale* panel) : panel_(panel)
{
    setWindowTitle(panel->windowTitle());
    setWindowIcon(panel->windowIcon());
    setFrameShape(QFrame::NoFrame);
    // Tab goes straight to the controls: the frame itself shows nothing to act on.
    setFocusPolicy(Qt::NoFocus);
    // Never smaller than its arrangement: the pane follows the width beyond it.
    panel->setMinimumSize(panel::client_width, panel::client_height);
    setWidgetResizable(true);
    setWidget(panel);
    // The panel closes its frame once a run it had to end is over.
    panel->setAttribute(Qt::WA_DeleteOnClose, false);
    resize(sizeHint());
}

// The whole panel when the screen holds it, else as much as it holds.
QSize CadrePrincipal::sizeHint() const
{
    const QSize whole(panel::client_width, panel::client_height);
    const QScreen* screen = this->screen() != nullptr ? this->screen() : QGuiApplication::primaryScreen();
    if (screen == nullptr)
        return whole;
    const QSize room = (screen->availableGeometry().size() - QSize(16, 48))  // the frame's own border
                           .expandedTo(QSize(200, 150));
    // A scroll bar the one way takes room the other way.
    const int bar = style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    QSize hint = whole;
    if (whole.height() > room.height())
        hint.rwidth() += bar;
    if (whole.width() > room.width())
        hint.rheight() += bar;
    return hint.boundedTo(room);
}

void CadrePrincipal::closeEvent(QCloseEvent* event)
{
    event->setAccepted(panel_->close());
}

} // namespace SonivarACQ32
