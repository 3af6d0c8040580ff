#pragma once
// A window of live data: it subscribes to the run's feed while it is shown
// and lets go of it when hidden or closed, so that a closed window costs
// the acquisition nothing; it says when it shows and hides.
#include "feed/packet_feed.h"
#include "feed/stream_worker.h"

#include <QElapsedTimer>
#include <QSettings>
#include <QTimer>
#include <QString>
#include <QWidget>

#include <functional>
#include <memory>

namespace SonivarACQ32::feed {

class LiveWindow : public QWidget, public Subscriber {
    Q_OBJECT

public:
    // Without a feed the window shows only what is handed to it.
    LiveWindow(QWidget* parent, PacketFeed* feed);
    ~LiveWindow() override;

    // The capture state as the windows write it.
    static QString capture_text(Capture state);

    // The window's settings kept between sessions.
    virtual void sauve_reglages(QSettings& settings) const = 0;
    virtual void reprend_reglages(const QSettings& settings) = 0;

signals:
    // The window was shown (true) or hidden or closed (false).
    void visibilite(bool visible);

protected:
    // The feed the window subscribes to (null without one), for a window
    // it opens in turn.
    PacketFeed* feed() const { return feed_; }
    // A worker running `Computation` whose outcomes reach `receive` on this
    // window's thread; once the window is gone they are dropped with the
    // events addressed to it.
    template <class Computation, typename Receive>
    std::unique_ptr<StreamWorker<Computation>> make_worker(Receive receive)
    {
        using Outcome = typename Computation::Outcome;
        return std::make_unique<StreamWorker<Computation>>([this, receive](Outcome outcome) {
            QMetaObject::invokeMethod(
                this, [receive, outcome = std::move(outcome)] { receive(outcome); }, Qt::QueuedConnection);
        });
    }
    // The same, `prepare` making on the worker's thread what `receive` takes
    // with each outcome (a picture drawn there rather than here).
    template <class Computation, typename Prepare, typename Receive>
    std::unique_ptr<StreamWorker<Computation>> make_worker(Prepare prepare, Receive receive)
    {
        using Outcome = typename Computation::Outcome;
        return std::make_unique<StreamWorker<Computation>>([this, prepare, receive](Outcome outcome) {
            auto made = prepare(outcome);
            QMetaObject::invokeMethod(
                this, [receive, outcome = std::move(outcome), made = std::move(made)] { receive(outcome, made); },
                Qt::QueuedConnection);
        });
    }

    // Calls `draw` now when `interval_ms` have passed since it last drew,
    // else once they have (the newest state then): a live picture no more
    // often than the eye needs, so that it costs the acquisition's thread
    // little.
    void draw_paced(int interval_ms, std::function<void()> draw);

    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    PacketFeed* feed_ = nullptr;
    QElapsedTimer drawn_;
    QTimer* draw_timer_ = nullptr;
    std::function<void()> draw_;
};

} // namespace SonivarACQ32::feed
