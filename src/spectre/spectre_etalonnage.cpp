// The spectrum window's calibration controls, and the last second of
// auto-spectra that a calibrator's measurement reads.
#include "spectre/spectre_acoustique.h"

#include "platform/folders.h"
#include "platform/settings.h"
#include "spectrum/calibrator.h"
#include "stream/levels.h"

#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QCheckBox>
#include <QComboBox>

#include <algorithm>

namespace SonivarACQ32 {

namespace {

constexpr double calibrator_level_db = 94.0;      // the usual class 1 calibrator
constexpr double calibrator_frequency_hz = 1000.0;
constexpr double kept_seconds = 1.0;

QDoubleSpinBox* spin(double low, double high, int decimals, double value, const QString& suffix)
{
    auto* box = new QDoubleSpinBox;
    box->setRange(low, high);
    box->setDecimals(decimals);
    box->setValue(value);
    box->setSuffix(suffix);
    return box;
}

} // namespace

QWidget* SpectreAcoustique::build_calibration()
{
    auto* group = new QGroupBox(QStringLiteral("Étalonnage"));
    button_Etalonnage = new QPushButton(QStringLiteral("Étalonnage…"));
    numericUpDown_Etalonneur_Niveau = spin(60.0, 160.0, 1, calibrator_level_db, QStringLiteral(" dB SPL"));
    numericUpDown_Etalonneur_Frequence = spin(50.0, 20000.0, 0, calibrator_frequency_hz, QStringLiteral(" Hz"));
    button_Mesurer = new QPushButton(QStringLiteral("Mesurer"));
    button_Mesurer->setToolTip(QStringLiteral("L'étalonneur posé sur un micro pendant une acquisition"));
    button_Enregistrer_Etalonnage = new QPushButton(QStringLiteral("Enregistrer…"));
    label_Etalonnage = new QLabel(QStringLiteral("Aucun étalonnage : niveaux en dBFS"));
    label_Etalonnage->setWordWrap(true);
    auto* grid = new QGridLayout(group);
    grid->addWidget(button_Etalonnage, 0, 0);
    grid->addWidget(new QLabel(QStringLiteral("Étalonneur")), 0, 1);
    grid->addWidget(numericUpDown_Etalonneur_Niveau, 0, 2);
    grid->addWidget(numericUpDown_Etalonneur_Frequence, 0, 3);
    grid->addWidget(button_Mesurer, 0, 4);
    grid->addWidget(button_Enregistrer_Etalonnage, 0, 5);
    grid->addWidget(label_Etalonnage, 1, 0, 1, 6);
    connect(button_Etalonnage, &QPushButton::clicked, this, [this] { choisit_fichier(false); });
    connect(button_Enregistrer_Etalonnage, &QPushButton::clicked, this, [this] { choisit_fichier(true); });
    connect(button_Mesurer, &QPushButton::clicked, this, [this] {
        emit mesure_demandee(numericUpDown_Etalonneur_Niveau->value(), numericUpDown_Etalonneur_Frequence->value());
    });
    return group;
}

// The dialog is not modal to the program: a run keeps streaming while the
// operator picks a file.
void SpectreAcoustique::choisit_fichier(bool to_save)
{
    auto* dialog = new QFileDialog(this, QStringLiteral("Fichier d'étalonnage"),
                                   platform::folder_for(platform::FileKind::calibrations),
                                   QStringLiteral("Étalonnage XML (*.xml);;Tous les fichiers (*)"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setAcceptMode(to_save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog->setFileMode(to_save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog->setDefaultSuffix(QStringLiteral("xml"));
    connect(dialog, &QFileDialog::fileSelected, this, [this, to_save](const QString& path) {
        platform::remember_folder(platform::FileKind::calibrations, path);
        if (to_save)
            emit enregistrement_choisi(path);
        else
            emit etalonnage_choisi(path);
    });
    dialog->show();
}

void SpectreAcoustique::sauve_reglages(QSettings& s) const
{
    s.setValue(QStringLiteral("spectre/bandes"), comboBox_Bandes->currentIndex());
    s.setValue(QStringLiteral("spectre/ponderation_a"), checkBox_PonderationA->isChecked());
    s.setValue(QStringLiteral("spectre/etalonneur_niveau"), numericUpDown_Etalonneur_Niveau->value());
    s.setValue(QStringLiteral("spectre/etalonneur_frequence"), numericUpDown_Etalonneur_Frequence->value());
}

void SpectreAcoustique::reprend_reglages(const QSettings& s)
{
    platform::KeptValues kept(s);
    if (const auto v = kept.index(QStringLiteral("spectre/bandes"), 0, comboBox_Bandes->count() - 1))
        comboBox_Bandes->setCurrentIndex(*v);
    checkBox_PonderationA->setChecked(s.value(QStringLiteral("spectre/ponderation_a"), false).toBool());
    for (auto [key, box] : {std::pair{"spectre/etalonneur_niveau", numericUpDown_Etalonneur_Niveau},
                            std::pair{"spectre/etalonneur_frequence", numericUpDown_Etalonneur_Frequence}})
        if (const auto v = kept.number(QLatin1String(key), box->minimum(), box->maximum()))
            box->setValue(*v);
    if (const QString report = kept.report(); !report.isEmpty())
        montre_etalonnage(report);
}

void SpectreAcoustique::montre_etalonnage(const QString& text) { label_Etalonnage->setText(text); }

void SpectreAcoustique::garde_seconde(const spectrum::SpectrumOutcome& outcome)
{
    if (outcome.made == 0)
        return;  // the last piece again, with new settings: no new second
    Seconde s;
    s.auto_spectra = outcome.auto_spectra;
    for (int m : run_.layout.micros)
        s.per_count.push_back(stream::per_count_factor(etalonnage_, m));
    s.seconds = outcome.new_seconds;
    if (static_cast<int>(s.per_count.size()) != outcome.microphones)
        derniere_seconde_.clear();  // another run's layout
    derniere_seconde_.push_back(std::move(s));
    double total = 0.0;
    for (const Seconde& kept : derniere_seconde_)
        total += kept.seconds;
    while (derniere_seconde_.size() > 1 && total - derniere_seconde_.front().seconds >= kept_seconds) {
        total -= derniere_seconde_.front().seconds;
        derniere_seconde_.pop_front();
    }
}

std::vector<double> SpectreAcoustique::puissances_bande(double frequency, std::vector<int>& micros) const
{
    micros = run_.layout.micros;
    std::vector<double> mean(micros.size(), 0.0);
    double total = 0.0;
    for (const Seconde& s : derniere_seconde_) {
        if (s.per_count.size() != micros.size())
            continue;
        const auto power = spectrum::band_power_counts(s.auto_spectra, static_cast<int>(micros.size()),
                                                       dernier_.sample_rate, frequency, s.per_count);
        for (std::size_t c = 0; c < mean.size(); ++c)
            mean[c] += power[c] * s.seconds;
        total += s.seconds;
    }
    if (!(total > 0.0))
        return {};
    for (double& p : mean)
        p /= total;
    return mean;
}

} // namespace SonivarACQ32
