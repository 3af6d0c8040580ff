// The spectrum window's partial spectra: a zone of the map chosen, its
// level in each third-octave band (the map's method over the zone, its
// own worker over the newest second) outlined over the microphones'
// spectrum; every zone's spectrum saved as a CSV table.
#include "spectre/spectre_acoustique.h"

#include "app/format.h"
#include "platform/dialogs.h"
#include "platform/folders.h"
#include "stream/saved_file.h"

#include <QComboBox>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>

#include <algorithm>

namespace SonivarACQ32 {

namespace am = acoustic_map;

QWidget* SpectreAcoustique::build_zone_controls()
{
    auto* row = new QWidget;
    comboBox_Zone = new QComboBox;
    comboBox_Zone->addItem(QStringLiteral("Aucune zone"));
    comboBox_Zone->setToolTip(QStringLiteral("Le spectre par tiers d'octave d'une zone de la carte"));
    button_Exporter_Zones = new QPushButton(QStringLiteral("Exporter les spectres des zones…"));
    label_Zone = new QLabel;
    label_Zone->setWordWrap(true);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(comboBox_Zone);
    layout->addWidget(button_Exporter_Zones);
    layout->addWidget(label_Zone, 1);
    zone_worker_ = make_worker<am::LiveZoneSpectrum>([this](const am::ZoneSpectrumOutcome& o) { recoit_zones(o); });
    connect(comboBox_Zone, &QComboBox::currentIndexChanged, this, [this] {
        zones_ = {};
        if (zone_choisie() >= 0)
            zone_worker_->set_job(carte_);  // the last stretch again, for this zone
        dessine();
    });
    connect(button_Exporter_Zones, &QPushButton::clicked, this, [this] {
        const QString path = platform::dialogs().save_file(this, QStringLiteral("Table CSV (*.csv)"),
                                                           platform::folder_for(platform::FileKind::exports));
        if (!path.isEmpty()) {
            platform::remember_folder(platform::FileKind::exports, path);
            enregistre_spectres_zones(path);
        }
    });
    button_Exporter_Zones->setEnabled(false);
    return row;
}

int SpectreAcoustique::zone_choisie() const
{
    const std::string name = comboBox_Zone->currentText().toStdString();
    for (std::size_t z = 0; z < carte_.zones.size(); ++z)
        if (comboBox_Zone->currentIndex() > 0 && carte_.zones[z].name == name)
            return static_cast<int>(z);
    return -1;
}

// The map's zones offered by name, the one chosen kept while it exists.
void SpectreAcoustique::set_carte(const am::MapJob& job)
{
    carte_ = job;
    {
        const QSignalBlocker quiet(comboBox_Zone);
        const QString kept = comboBox_Zone->currentText();
        comboBox_Zone->clear();
        comboBox_Zone->addItem(QStringLiteral("Aucune zone"));
        for (const am::Zone& z : job.zones)
            comboBox_Zone->addItem(QString::fromStdString(z.name));
        comboBox_Zone->setCurrentIndex(std::max(0, comboBox_Zone->findText(kept)));
    }
    if (zone_choisie() >= 0)
        zone_worker_->set_job(carte_);
    dessine();
}

void SpectreAcoustique::recoit_zones(const am::ZoneSpectrumOutcome& outcome)
{
    if (outcome.valid && outcome.zones == carte_.zones)
        zones_ = outcome;
    else if (!outcome.status.empty())
        label_Zone->setText(QString::fromStdString(outcome.status));
    button_Exporter_Zones->setEnabled(zones_.valid);
    draw_paced(100, [this] { dessine(); });
}

// The chosen zone's bands on the picture, and its loudest band said.
void SpectreAcoustique::trace_zone()
{
    trace_.zone_bands.clear();
    trace_.zone_levels.clear();
    const int z = zone_choisie();
    if (z < 0 || !zones_.valid || zones_.zones != carte_.zones) {
        label_Zone->setText(z < 0 ? QString() : QStringLiteral("Spectre de la zone en cours de calcul…"));
        return;
    }
    for (std::size_t b = 0; b < zones_.spectrum.frequencies.size(); ++b) {
        trace_.zone_bands.push_back({zones_.spectrum.frequencies[b], zones_.spectrum.power[b][static_cast<std::size_t>(z)]});
        trace_.zone_levels.push_back(stream::level_db(std::max(trace_.zone_bands.back().power, 0.0), zones_.unit));
    }
    const spectrum::Peak peak = spectrum::peak_of(trace_.zone_bands, trace_.zone_levels);
    const QString unit = QString::fromStdString(stream::unit_label(zones_.unit, zones_.a_weighted));
    label_Zone->setText(stream::is_silence(peak.level_db, zones_.unit)
                            ? QStringLiteral("Zone « %1 » (orange) : silence").arg(comboBox_Zone->currentText())
                            : QStringLiteral("Zone « %1 » (orange) : %2 Hz, %3 %4")
                                  .arg(comboBox_Zone->currentText(), fmt::fr(peak.frequency, 0),
                                       fmt::fr(peak.level_db, 1), unit));
}

bool SpectreAcoustique::enregistre_spectres_zones(const QString& csv_path)
{
    QString why = zones_.valid ? QString() : QStringLiteral("aucun spectre de zone");
    if (why.isEmpty())
        why = stream::save_whole(csv_path, QByteArray::fromStdString(am::zone_spectrum_csv(zones_.zones, zones_.spectrum,
                                                                                             zones_.unit)));
    label_Zone->setText(why.isEmpty() ? QStringLiteral("Spectres des zones enregistrés : ") + QFileInfo(csv_path).fileName()
                                      : QStringLiteral("Spectres des zones non enregistrés : ") + why);
    return why.isEmpty();
}

} // namespace SonivarACQ32
