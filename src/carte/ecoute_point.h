#pragma once
// Listening to a point of a recording through the system's sound output:
// the focused signal (focus.h) is computed on a thread of its own a little
// ahead of the output, which pulls it from a bounded queue. The volume is
// set from the loudest sample heard so far, so that a faint point is heard
// and a loud one does not clip.
#include "map/focused_recording.h"

#include <QIODevice>
#include <QObject>
#include <QString>

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

class QAudioSink;

namespace SonivarACQ32 {

// The samples between the computing thread and the sound output.
class FileSon : public QIODevice {
public:
    static constexpr std::size_t max_samples = 1u << 17;  // about 2.6 s at 50 kHz

    // Waits for room; false once closed.
    bool push(const float* samples, std::size_t count);
    void finish();  // nothing more will come
    void close_queue();
    bool drained();  // finished and empty

protected:
    qint64 readData(char* data, qint64 max_bytes) override;
    qint64 writeData(const char*, qint64) override { return -1; }
    qint64 bytesAvailable() const override;

private:
    mutable std::mutex mutex_;
    std::condition_variable room_;
    std::deque<float> samples_;
    bool finished_ = false;
    bool closed_ = false;
};

class EcoutePoint : public QObject {
    Q_OBJECT

public:
    explicit EcoutePoint(QObject* parent = nullptr);
    ~EcoutePoint() override;

    // Plays the focused signal of `recording` at `point` from `from_s` on;
    // false with `why` (French) when there is no sound output for it.
    bool joue(const stream::Recording& recording, const acoustic_map::Geometry& geometry,
              const acoustic_map::Position& point, const stream::Calibration& factors, double from_s,
              QString& why);
    void arrete();
    bool en_cours() const { return sink_ != nullptr; }

signals:
    void fini();

private:
    void etat_change();

    std::unique_ptr<FileSon> son_;
    QAudioSink* sink_ = nullptr;
    std::jthread calcul_;
};

} // namespace SonivarACQ32
