#pragma once
// The sound of a point of the recording under review saved as a mono float
// WAV, as `sonivar-dat listen` writes it: computed on a thread of its own (a
// long recording takes a while; the window goes on), under a temporary name
// beside the file, which takes its name only once whole.
#include "map/focused_recording.h"
#include "stream/input_file.h"

#include <QObject>
#include <QString>

#include <atomic>
#include <thread>
#include <vector>

namespace SonivarACQ32 {

// What is saved: the focused signal of `point` over `range`.
struct EcouteDemandee {
    stream::Recording enregistrement;
    acoustic_map::Geometry geometrie;
    acoustic_map::Position point;
    stream::Calibration facteurs;
    stream::FrameRange plage;
};

class EcouteWav : public QObject {
    Q_OBJECT

public:
    explicit EcouteWav(QObject* parent = nullptr);
    ~EcouteWav() override;  // a file not yet whole is abandoned: nothing left behind

    // Starts writing `path`; false with `why` (French) when it cannot start:
    // a file the window reads, a special file, a folder that takes no file,
    // a sound too long for a WAV.
    bool ecrit(const QString& path, EcouteDemandee demande, const std::vector<stream::FileIdentity>& reads,
               QString& why);
    bool en_cours() const { return en_cours_; }

signals:
    void avance(double fraction);
    void fini(const QString& why);  // empty: written whole

private:
    void calcule(std::stop_token stop, int fd, std::string temp, QString target, EcouteDemandee demande);

    std::jthread calcul_;
    std::atomic<bool> en_cours_{false};
};

} // namespace SonivarACQ32
