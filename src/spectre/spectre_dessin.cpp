// The spectrum window's picture: the auto-spectra the worker sent, drawn as
// the controls ask, and a click on it.
#include "spectre/spectre_acoustique.h"

#include "app/format.h"

#include <QComboBox>
#include <QCheckBox>
#include <QLabel>
#include <QMouseEvent>
#include <QPixmap>

#include <algorithm>

namespace SonivarACQ32 {

void SpectreAcoustique::dessine()
{
    if (!valide_) {
        pictureBox_Spectre->clear();
        label_Pic->clear();
        return;
    }
    // The chosen microphone's place among those the spectra were made of.
    const int micro = comboBox_Micro->currentData().toInt();
    const auto& micros = run_.layout.micros;
    const auto at = std::find(micros.begin(), micros.end(), micro);
    const int channel = micro < 0 || at == micros.end() || static_cast<int>(micros.size()) != dernier_.microphones
                            ? -1
                            : static_cast<int>(at - micros.begin());
    const bool third_octave = comboBox_Bandes->currentIndex() == 1;
    const bool a_weighted = checkBox_PonderationA->isChecked();
    const stream::LevelUnit unit = dernier_.unit;
    trace_.lines = spectrum::narrow_band(dernier_.auto_spectra, dernier_.microphones, channel, dernier_.sample_rate);
    if (third_octave)
        trace_.lines = spectrum::third_octave_bands(trace_.lines);
    trace_.bars = third_octave;
    trace_.levels = spectrum::levels_db(trace_.lines, unit, a_weighted);
    trace_.unit = spectrum::unit_label(unit, a_weighted);
    trace_.nyquist = dernier_.sample_rate / 2.0;
    trace_.shade_lower = bande_basse_;
    trace_.shade_upper = bande_haute_;
    trace_zone();
    pictureBox_Spectre->setPixmap(QPixmap::fromImage(spectrum::spectrum_image(trace_, QSize(largeur_trace, hauteur_trace))));
    const spectrum::Peak peak = third_octave ? spectrum::peak_of(trace_.lines, trace_.levels)
                                             : spectrum::tone_peak(trace_.lines, unit, a_weighted);
    pic_hz = peak.frequency;
    pic_db = peak.level_db;
    label_Pic->setText(stream::is_silence(pic_db, unit)
                           ? QStringLiteral("Pic : silence")
                           : QStringLiteral("Pic : %1 Hz, %2 %3")
                                 .arg(fmt::fr(pic_hz, 0), fmt::fr(pic_db, 1), QString::fromStdString(trace_.unit)));
}

bool SpectreAcoustique::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == pictureBox_Spectre && event->type() == QEvent::MouseButtonPress && valide_) {
        const auto* click = static_cast<QMouseEvent*>(event);
        clic_frequence(spectrum::plot_axes(trace_, QSize(largeur_trace, hauteur_trace)).frequency_at(click->position().x()));
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace SonivarACQ32
