#include "feed/live_window.h"

namespace SonivarACQ32::feed {

LiveWindow::LiveWindow(QWidget* parent, PacketFeed* feed) : QWidget(parent, Qt::Window), feed_(feed) {}

LiveWindow::~LiveWindow()
{
    if (feed_ != nullptr)
        feed_->unsubscribe(this);
}

QString LiveWindow::capture_text(Capture state)
{
    switch (state) {
    case Capture::awaiting_trigger: return QStringLiteral("En attente du déclenchement");
    case Capture::running: return QStringLiteral("Acquisition en cours");
    case Capture::stopped: break;
    }
    return QStringLiteral("Acquisition arrêtée");
}

void LiveWindow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (feed_ != nullptr)
        feed_->subscribe(this);
    emit visibilite(true);
}

void LiveWindow::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    if (feed_ != nullptr)
        feed_->unsubscribe(this);
    emit visibilite(false);
}

} // namespace SonivarACQ32::feed
