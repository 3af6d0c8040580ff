// The array's calibration in the acquisition window: read from a file,
// measured with a sound calibrator, written to a file, remembered between
// sessions, and given to the windows that show levels.
#include "app/principale.h"

#include "app/format.h"
#include "carte/carte_acoustique.h"
#include "spectrum/calibrator.h"
#include "spectre/spectre_acoustique.h"
#include "stream/saved_file.h"
#include "stream/calibration_file.h"

#include "platform/settings.h"

#include <QFile>
#include <QFileInfo>
#include <QSettings>

namespace SonivarACQ32 {

namespace {

constexpr const char* etalonnage_key = "etalonnage/fichier";

QString measured_list(const spectrum::Measured& measured)
{
    QStringList micros;
    for (std::size_t m = 0; m < measured.size(); ++m)
        if (measured[m])
            micros << QString::number(m);
    if (micros.isEmpty())
        return {};
    return QStringLiteral(" ; mesurés jusqu'ici : %1 %2")
        .arg(micros.size() == 1 ? QStringLiteral("micro") : QStringLiteral("micros"), micros.join(QStringLiteral(", ")));
}

} // namespace

// The operator reads why in the spectrum window, where the calibration's
// controls are; a run goes on meanwhile.
void Principale::dit_etalonnage(const QString& text)
{
    if (spectre != nullptr)
        spectre->montre_etalonnage(text + measured_list(own.mesures_etalonneur));
}

void Principale::applique_etalonnage(const std::optional<stream::Calibration>& calibration)
{
    own.etalonnage = calibration;
    if (carte != nullptr)
        carte->set_etalonnage(calibration);
    if (spectre != nullptr)
        spectre->set_etalonnage(calibration);
}

bool Principale::charge_etalonnage(const QString& path)
{
    const stream::CalibrationResult read = stream::read_calibration(path.toStdString());
    if (!read.calibration) {
        dit_etalonnage(QString::fromStdString(read.error) + QStringLiteral(" : l'étalonnage précédent est conservé"));
        return false;
    }
    applique_etalonnage(read.calibration);
    platform::settings()->setValue(etalonnage_key, QFileInfo(path).absoluteFilePath());
    dit_etalonnage(QStringLiteral("Étalonnage : %1, niveaux en dB SPL").arg(QFileInfo(path).fileName()));
    return true;
}

bool Principale::mesure_etalonneur(double niveau_db, double frequence_hz)
{
    std::vector<int> micros;
    const std::vector<double> power = spectre != nullptr ? spectre->puissances_bande(frequence_hz, micros)
                                                         : std::vector<double>{};
    const spectrum::CalibratorReading reading = spectrum::read_calibrator(power, micros, niveau_db);
    if (reading.microphone < 0) {
        dit_etalonnage(QString::fromStdString(reading.why));
        return false;
    }
    own.mesures_etalonneur[static_cast<std::size_t>(reading.microphone)] = static_cast<float>(reading.factor);
    dit_etalonnage(QStringLiteral("Micro %1 mesuré : %2 Pa par unité")
                       .arg(reading.microphone)
                       .arg(fmt::french_locale().toString(reading.factor, 'g', 4)));
    return true;
}

bool Principale::enregistre_etalonnage(const QString& path)
{
    const auto calibration = spectrum::complete_calibration(own.mesures_etalonneur, own.etalonnage);
    if (!calibration) {
        dit_etalonnage(QStringLiteral("Aucun micro mesuré : rien n'est enregistré"));
        return false;
    }
    const std::string xml = stream::calibration_xml(*calibration, QFileInfo(path).completeBaseName().toStdString());
    if (const QString why = stream::save_whole(path, QByteArray::fromStdString(xml)); !why.isEmpty()) {
        dit_etalonnage(QStringLiteral("Écriture impossible de %1 : %2").arg(path, why));
        return false;
    }
    applique_etalonnage(calibration);
    platform::settings()->setValue(etalonnage_key, QFileInfo(path).absoluteFilePath());
    dit_etalonnage(QStringLiteral("Étalonnage enregistré : %1, niveaux en dB SPL").arg(QFileInfo(path).fileName()));
    return true;
}

// The calibration of the last session, when its file still reads.
void Principale::reprend_etalonnage()
{
    const QString path = platform::settings()->value(etalonnage_key).toString();
    if (path.isEmpty())
        return;
    const stream::CalibrationResult read = stream::read_calibration(path.toStdString());
    if (read.calibration)
        own.etalonnage = read.calibration;
}

// The spectrum window's calibration controls.
void Principale::relie_etalonnage()
{
    connect(spectre, &SpectreAcoustique::etalonnage_choisi, this, [this](const QString& path) { charge_etalonnage(path); });
    connect(spectre, &SpectreAcoustique::mesure_demandee, this,
            [this](double niveau, double frequence) { mesure_etalonneur(niveau, frequence); });
    connect(spectre, &SpectreAcoustique::enregistrement_choisi, this,
            [this](const QString& path) { enregistre_etalonnage(path); });
    if (own.etalonnage)
        dit_etalonnage(QStringLiteral("Étalonnage : %1, niveaux en dB SPL")
                           .arg(QFileInfo(platform::settings()->value(etalonnage_key).toString()).fileName()));
}

} // namespace SonivarACQ32
