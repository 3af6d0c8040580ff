// The map window's maps: the beamformer configured for the acquired
// microphones, one map per packet, and its picture.
#include "map/carte_acoustique.h"

#include "app/format.h"
#include "display/colour_map.h"
#include "map/map_image.h"
#include "map/map_worker.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QPainter>
#include <QPixmap>

#include <algorithm>

namespace SonivarACQ32 {

namespace am = acoustic_map;

namespace {

constexpr int map_pixels = 410;  // side of the picture, about
constexpr int scale_width = 20;

// Centre of the grid cell holding (x, y), in pixels of a picture of
// `cell` pixels per grid point, y upwards.
QPointF pixel_of(double x, double y, const am::Grid& grid, int side, int cell)
{
    const double size = static_cast<double>(side) * cell;
    return {(x + grid.extent) / grid.step * cell + cell / 2.0,
            size - ((y + grid.extent) / grid.step * cell + cell / 2.0)};
}

std::string local_number(double value, int decimals) { return fmt::N(value, decimals).toStdString(); }

QString method_text(const am::Settings& s)
{
    return QString::fromStdString(am::method_caption(s.method, s.parameters, local_number));
}

// What the map shows: the method and its parameter, the band.
QString caption_of(const am::Settings& s)
{
    const QString band = s.band == am::BandKind::third_octave ? QStringLiteral("tiers d'octave")
                                                              : QStringLiteral("raie unique");
    QString text = method_text(s);
    if (s.remove_diagonal)
        text += QStringLiteral(", sans la diagonale");
    return text + QStringLiteral("\n%1 Hz, %2").arg(fmt::N(s.frequency, 0), band);
}

// In the map's top left corner, on a dark band that keeps it readable over
// any colour.
void draw_caption(QPainter& painter, const QString& text)
{
    QFont font = painter.font();
    font.setPixelSize(12);
    painter.setFont(font);
    const QRect area = painter.fontMetrics().boundingRect(QRect(0, 0, 400, 100), Qt::AlignLeft, text);
    painter.fillRect(area.adjusted(0, 0, 8, 4), QColor(0, 0, 0, 160));
    painter.setPen(Qt::white);
    painter.drawText(area.translated(4, 2), Qt::AlignLeft, text);
}

} // namespace


void CarteAcoustique::capture(feed::Capture state, const feed::RunFacts& run)
{
    const bool new_run = run.serial != run_.serial || run.sample_rate != run_.sample_rate ||
                         run.layout.micros != run_.layout.micros;
    run_ = run;
    if (new_run)
        reglages_changes();
    if (run.serial != 0)
        label_Etat->setText(capture_text(state));
}

void CarteAcoustique::piece(const feed::Piece& p)
{
    worker_->push(p.data, p.len, p.stream_position, p.run);
}

void CarteAcoustique::recoit_carte(const am::MapOutcome& outcome)
{
    cartes += outcome.mapped;
    paquets_sautes += outcome.skipped;
    if (outcome.valid) {
        derniere_carte = outcome.map;
        reglages_carte = outcome.settings;
        maximum = QPointF(derniere_carte.max_x, derniere_carte.max_y);
        carte_valide = true;
    } else if (!outcome.status.empty()) {
        carte_valide = false;
        label_Etat->setText(QString::fromStdString(outcome.status));
    }
    label_Sautes->setText(paquets_sautes == 0
                              ? QString()
                              : QStringLiteral("Paquets sans carte propre (calcul en retard) : %1")
                                    .arg(fmt::N(static_cast<double>(paquets_sautes), 0)));
    dessine();
}

void CarteAcoustique::dessine()
{
    if (!carte_valide) {
        pictureBox_Carte->clear();
        label_Maximum->clear();
        return;
    }
    const am::Map& map = derniere_carte;
    const am::Grid grid = reglages_carte.grid;
    const int range = comboBox_Dynamique->currentData().toInt();
    const int cell = std::max(1, map_pixels / map.side);
    const float scale_top =
        comboBox_Echelle->currentIndex() == 1 ? static_cast<float>(numericUpDown_Haut->value()) : map.max_db;
    QImage image = am::map_image(map, range, cell, scale_top);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Qt::white, 1));
    painter.setBrush(Qt::black);
    for (int m : run_.layout.micros)
        if (static_cast<std::size_t>(m) < geometrie.positions.size())
            painter.drawEllipse(pixel_of(geometrie.positions[m].x, geometrie.positions[m].y, grid,
                                         map.side, cell), 3.0, 3.0);
    const QPointF top = pixel_of(map.max_x, map.max_y, grid, map.side, cell);
    painter.setPen(QPen(Qt::white, 2));
    painter.setBrush(Qt::NoBrush);
    // A ring with ticks outside it: the maximum's own cell stays visible,
    // which matters for CLEAN-SC, whose sources are single cells.
    painter.drawEllipse(top, 11.0, 11.0);
    for (const QPointF tick : {QPointF(1, 0), QPointF(-1, 0), QPointF(0, 1), QPointF(0, -1)})
        painter.drawLine(top + 11.0 * tick, top + 18.0 * tick);
    draw_caption(painter, caption_of(reglages_carte));
    painter.end();
    pictureBox_Carte->setPixmap(QPixmap::fromImage(image));
    unite = QString::fromLatin1(stream::unit_text(map.unit));
    maximum_db = map.max_db;
    label_Maximum->setText(QStringLiteral("Maximum : x = %1 m, y = %2 m, %3 %4 (%5)")
                               .arg(fmt::N(map.max_x, 2), fmt::N(map.max_y, 2), fmt::N(map.max_db, 1), unite,
                                    method_text(reglages_carte)));
    label_Echelle_Haut->setText(QStringLiteral("%1 %2").arg(fmt::N(scale_top, 1), unite));
    label_Echelle_Bas->setText(QStringLiteral("%1 %2").arg(fmt::N(scale_top - range, 1), unite));
}

// The scale: the colour map from index 127 at the top to 0 at the bottom.
void CarteAcoustique::dessine_echelle()
{
    const colours::ColourMap palette = colours::colour_map();
    QImage bar(1, colours::nb_levels, QImage::Format_RGB32);
    for (int i = 0; i < colours::nb_levels; ++i)
        bar.setPixel(0, colours::nb_levels - 1 - i, qRgb(palette.red[i], palette.green[i], palette.blue[i]));
    pictureBox_Echelle->setPixmap(QPixmap::fromImage(bar.scaled(scale_width, 2 * colours::nb_levels)));
}

} // namespace SonivarACQ32
