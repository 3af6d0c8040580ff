#include "carte/ecoute_wav.h"

#include "recording/system_errors.h"
#include "recording/temporary_file.h"
#include "stream/float_wav.h"
#include "stream/header_facts.h"
#include "stream/saved_file.h"

#include <QFileInfo>
#include <QMetaObject>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdint>
#include <unistd.h>

namespace SonivarACQ32 {

namespace {

// A plain WAV's sizes are 32-bit, header included.
constexpr std::uint64_t max_wav_samples = (UINT32_MAX - stream::float_header_bytes) / sizeof(float);

} // namespace

EcouteWav::EcouteWav(QObject* parent) : QObject(parent) {}

EcouteWav::~EcouteWav()
{
    if (calcul_.joinable()) {
        calcul_.request_stop();
        calcul_.join();
    }
}

bool EcouteWav::ecrit(const QString& path, EcouteDemandee demande, const std::vector<stream::FileIdentity>& reads,
                      QString& why)
{
    if (en_cours_) {
        why = QStringLiteral("un son est déjà en cours d'enregistrement");
        return false;
    }
    why = stream::save_refusal(path, reads);
    if (why.isEmpty() && demande.plage.frames() > max_wav_samples)
        why = QStringLiteral("plus de 4 Gio de son : sonivar-dat listen l'écrit en plusieurs tranches (--from, --to)");
    const QString target = stream::save_target(path);
    std::string temp;
    const int fd = why.isEmpty() ? create_temporary(QFileInfo(target).absolutePath().toStdString(), temp) : -1;
    if (why.isEmpty() && fd < 0)
        why = raison_erreur(errno);
    if (!why.isEmpty())
        return false;
    if (calcul_.joinable())
        calcul_.join();  // the last one, finished
    en_cours_ = true;
    calcul_ = std::jthread([this, fd, temp, target, demande = std::move(demande)](std::stop_token stop) {
        calcule(stop, fd, temp, target, demande);
    });
    return true;
}

// The thread's work: the header, the samples as they come, the header again
// with their count, then the name. Says how far it is every tenth.
void EcouteWav::calcule(std::stop_token stop, int fd, std::string temp, QString target, EcouteDemandee d)
{
    std::FILE* file = ::fdopen(fd, "wb");
    const int rate = static_cast<int>(std::lround(stream::sampling_rate_hz(d.enregistrement.header)));
    auto header = stream::float_wav_header(1, rate, 0);
    bool written = file != nullptr && std::fwrite(header.data(), 1, header.size(), file) == header.size();
    std::uint64_t samples = 0, said = 0;
    const std::uint64_t wanted = std::max<std::uint64_t>(d.plage.frames(), 1);
    std::string reading = !written ? std::string() : acoustic_map::focus_recording(
        d.enregistrement, d.geometrie, d.point, d.facteurs, d.plage, [&](const float* x, std::size_t n) {
            written = std::fwrite(x, sizeof(float), n, file) == n;
            samples += n;
            if (samples * 10 / wanted > said) {
                said = samples * 10 / wanted;
                QMetaObject::invokeMethod(this, [this, f = double(samples) / wanted] { emit avance(f); },
                                          Qt::QueuedConnection);
            }
            return written && !stop.stop_requested();
        });
    header = stream::float_wav_header(1, rate, samples);
    written = written && !stop.stop_requested() && std::fseek(file, 0, SEEK_SET) == 0 &&
              std::fwrite(header.data(), 1, header.size(), file) == header.size() && std::fflush(file) == 0 &&
              ::fsync(fd) == 0;
    const int err = errno;
    const bool closed = file != nullptr ? std::fclose(file) == 0 : ::close(fd) == 0;
    QString why = !reading.empty() ? QString::fromStdString(reading)
                  : !written || !closed ? raison_erreur(written ? errno : err)
                                        : QString();
    if (why.isEmpty() && std::rename(temp.c_str(), target.toLocal8Bit().constData()) != 0)
        why = raison_erreur(errno);
    if (!why.isEmpty())
        ::unlink(temp.c_str());
    en_cours_ = false;
    QMetaObject::invokeMethod(this, [this, why] { emit fini(why); }, Qt::QueuedConnection);
}

} // namespace SonivarACQ32
