#include "carte/ecoute_point.h"

#include "stream/header_facts.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QMediaDevices>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace SonivarACQ32 {

namespace am = acoustic_map;

bool FileSon::push(const float* samples, std::size_t count)
{
    std::unique_lock lock(mutex_);
    room_.wait(lock, [&] { return closed_ || samples_.size() + count <= max_samples; });
    if (closed_)
        return false;
    samples_.insert(samples_.end(), samples, samples + count);
    return true;
}

void FileSon::finish()
{
    std::lock_guard lock(mutex_);
    finished_ = true;
}

void FileSon::close_queue()
{
    {
        std::lock_guard lock(mutex_);
        closed_ = true;
    }
    room_.notify_all();
}

bool FileSon::drained()
{
    std::lock_guard lock(mutex_);
    return finished_ && samples_.empty();
}

qint64 FileSon::readData(char* data, qint64 max_bytes)
{
    std::size_t n = 0;
    {
        std::lock_guard lock(mutex_);
        n = std::min(samples_.size(), static_cast<std::size_t>(max_bytes) / sizeof(float));
        std::copy_n(samples_.begin(), n, reinterpret_cast<float*>(data));
        samples_.erase(samples_.begin(), samples_.begin() + static_cast<std::ptrdiff_t>(n));
    }
    room_.notify_all();
    return static_cast<qint64>(n * sizeof(float));
}

qint64 FileSon::bytesAvailable() const
{
    std::lock_guard lock(mutex_);
    return static_cast<qint64>(samples_.size() * sizeof(float)) + QIODevice::bytesAvailable();
}

EcoutePoint::EcoutePoint(QObject* parent) : QObject(parent) {}

EcoutePoint::~EcoutePoint() { arrete(); }

bool EcoutePoint::joue(const stream::Recording& recording, const am::Geometry& geometry, const am::Position& point,
                       const stream::Calibration& factors, double from_s, QString& why)
{
    arrete();
    const QAudioDevice output = QMediaDevices::defaultAudioOutput();
    QAudioFormat format;
    format.setSampleRate(static_cast<int>(std::lround(stream::sampling_rate_hz(recording.header))));
    format.setChannelCount(1);
    format.setSampleFormat(QAudioFormat::Float);
    if (output.isNull()) {
        why = QStringLiteral("Aucune sortie son : écoute impossible ici (sonivar-dat listen écrit ce son dans un fichier WAV)");
        return false;
    }
    if (!output.isFormatSupported(format)) {
        why = QStringLiteral("La sortie son « %1 » ne prend pas %2 Hz en mono").arg(output.description()).arg(format.sampleRate());
        return false;
    }
    son_ = std::make_unique<FileSon>();
    son_->open(QIODevice::ReadOnly);
    FileSon* son = son_.get();
    const stream::FrameRange range = stream::frame_range(recording, from_s, -1.0);
    calcul_ = std::jthread([recording, geometry, point, factors, range, son](std::stop_token stop) {
        float loudest = 1e-12f;
        std::vector<float> scaled;
        am::focus_recording(recording, geometry, point, factors, range, [&](const float* x, std::size_t n) {
            for (std::size_t i = 0; i < n; ++i)
                loudest = std::max(loudest, std::abs(x[i]));
            const float gain = 0.5f / loudest;
            scaled.assign(x, x + n);
            for (float& v : scaled)
                v *= gain;
            return !stop.stop_requested() && son->push(scaled.data(), scaled.size());
        });
        son->finish();
    });
    sink_ = new QAudioSink(output, format, this);
    connect(sink_, &QAudioSink::stateChanged, this, [this] { etat_change(); });
    sink_->start(son);
    return true;
}

// The output goes idle when the queue runs dry: the end once the thread has
// finished, else a pause until it catches up.
void EcoutePoint::etat_change()
{
    if (sink_ == nullptr)
        return;
    if (sink_->state() == QAudio::StoppedState || (sink_->state() == QAudio::IdleState && son_->drained())) {
        arrete();
        emit fini();
    }
}

void EcoutePoint::arrete()
{
    if (son_)
        son_->close_queue();
    if (calcul_.joinable()) {
        calcul_.request_stop();
        calcul_.join();
    }
    if (sink_ != nullptr) {
        QAudioSink* sink = std::exchange(sink_, nullptr);
        sink->disconnect(this);
        sink->stop();
        sink->deleteLater();
    }
    son_.reset();
}

} // namespace SonivarACQ32
