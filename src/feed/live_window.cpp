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

void LiveWindow::draw_paced(int interval_ms, std::function<void()> draw)
{
    draw_ = std::move(draw);
    if (draw_timer_ == nullptr) {
        draw_timer_ = new QTimer(this);
        draw_timer_->setSingleShot(true);
        connect(draw_timer_, &QTimer::timeout, this, [this] {
            drawn_.start();
            draw_();
        });
    }
    if (draw_timer_->isActive())
        return;  // the newest state is drawn when it fires
    const qint64 since = drawn_.isValid() ? drawn_.elapsed() : interval_ms;
    if (since >= interval_ms) {
        drawn_.start();
        draw_();
    } else {
        draw_timer_->start(static_cast<int>(interval_ms - since));
    }
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
