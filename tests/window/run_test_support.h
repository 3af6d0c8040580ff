#pragma once
// Helpers of the acquisition-run window tests: files, the header record as
// written, and actions that fire from inside the run's own event pumping.
#include "app/principale.h"
#include "recording/header_record.h"
#include "test_dialogs.h"

#include <QByteArray>
#include <QFile>
#include <QElapsedTimer>
#include <QString>
#include <QTimer>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace testsupport {

inline QByteArray read_all(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

inline std::optional<SonivarACQ32::type_header_file> read_header(const QString& path)
{
    const QByteArray bytes = read_all(path);
    if (bytes.size() != static_cast<qsizetype>(sizeof(SonivarACQ32::type_header_file)))
        return std::nullopt;
    SonivarACQ32::type_header_file h{};
    std::memcpy(&h, bytes.constData(), sizeof h);
    return h;
}

inline std::uint32_t word(const QByteArray& data, std::size_t index)
{
    std::uint32_t w = 0;
    std::memcpy(&w, data.constData() + 4 * index, 4);
    return w;
}

// Index of the first frame whose counter word is not its frame number, or
// -1 when the counter runs 0, 1, 2... through the whole file.
inline long first_counter_break(const QByteArray& data, int nb_voies)
{
    const std::size_t frames = static_cast<std::size_t>(data.size()) / 4 / nb_voies;
    for (std::size_t k = 0; k < frames; ++k)
        if (word(data, k * nb_voies) != static_cast<std::uint32_t>(k))
            return static_cast<long>(k);
    return -1;
}

// Runs `action` once, from the event processing of whatever loop is running,
// as soon as `condition` holds. Kept alive by the returned handle.
class When {
public:
    When(std::function<bool()> condition, std::function<void()> action)
    {
        timer_.setInterval(0);
        QObject::connect(&timer_, &QTimer::timeout, [this, condition, action] {
            if (!condition())
                return;
            timer_.stop();
            fired = true;
            action();
        });
        timer_.start();
    }
    bool fired = false;

private:
    QTimer timer_;
};

// Steps taken one after the other from the event processing of whatever
// loop is running (a run's own loop included): each step's action once its
// condition holds; then, or once `deadline_ms` has passed, `at_end` (which
// typically stops the run). Kept alive by the object.
class Steps {
public:
    struct Step {
        std::function<bool()> condition;
        std::function<void()> action;
    };
    Steps(std::vector<Step> steps, std::function<void()> at_end, int deadline_ms = 60000)
        : steps_(std::move(steps))
    {
        started_.start();
        timer_.setInterval(20);
        QObject::connect(&timer_, &QTimer::timeout, [this, at_end, deadline_ms] {
            if (done < steps_.size() && steps_[done].condition()) {
                steps_[done].action();
                ++done;
            }
            timed_out = done < steps_.size() && started_.hasExpired(deadline_ms);
            if (done == steps_.size() || timed_out) {
                timer_.stop();
                at_end();
            }
        });
        timer_.start();
    }
    std::size_t done = 0;
    bool timed_out = false;

private:
    std::vector<Step> steps_;
    QElapsedTimer started_;
    QTimer timer_;
};

// The number of requests with this code and these data bytes.
template <typename Requests>
int count_requests(const Requests& requests, std::uint8_t code, std::vector<std::uint8_t> data)
{
    int n = 0;
    for (const auto& r : requests)
        if (r.request == code && r.data == data)
            ++n;
    return n;
}

// Position of the first such request, or -1.
template <typename Requests>
long find_request(const Requests& requests, std::uint8_t code, std::vector<std::uint8_t> data,
                  long from = 0)
{
    for (long i = from; i < static_cast<long>(requests.size()); ++i)
        if (requests[i].request == code && requests[i].data == data)
            return i;
    return -1;
}

// The unit has gone: told once, link closed, the panel as before any Init.
inline bool left_for_a_new_init(const SonivarACQ32::Principale& w,
                                const std::vector<testsupport::Alert>& alerts)
{
    using SonivarACQ32::Principale;
    const auto loss = std::count_if(alerts.begin(), alerts.end(), [](const testsupport::Alert& a) {
        return a.text == QStringLiteral("Alerte : Sonivar 32 déconnecté !\r\n");
    });
    if (loss != 1 || w.handle != nullptr || w.initialisation || w.run_active)
        return false;
    for (std::size_t i = 0; i < SonivarACQ32::sw::count; ++i)
        if (Principale::enabled[i] != (i == SonivarACQ32::sw::init))
            return false;
    return true;
}

} // namespace testsupport
