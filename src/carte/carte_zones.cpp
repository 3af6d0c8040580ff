// The map window's zones: drawn, moved and named on the map, kept with the
// window's settings, their levels ranked in the "Zones" table with each map.
#include "carte/carte_acoustique.h"

#include "app/format.h"
#include "stream/levels.h"

#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QSettings>
#include <QSignalBlocker>
#include <QTableWidget>
#include <QVBoxLayout>

#include <cmath>

namespace SonivarACQ32 {

namespace am = acoustic_map;

namespace {

const QString zones_key = QStringLiteral("carte/zones");
// The level before the name: it stays in view in a narrow window.
enum ColonneZone { colonne_rang, colonne_niveau, colonne_nom };

} // namespace

QWidget* CarteAcoustique::build_zone_controls()
{
    auto* group = groupBox_Zones = new QGroupBox(QStringLiteral("Zones"));
    tableWidget_Zones = new QTableWidget(0, 3);
    tableWidget_Zones->setHorizontalHeaderLabels({QStringLiteral("Rang"), QStringLiteral("Niveau"), QStringLiteral("Zone")});
    tableWidget_Zones->verticalHeader()->hide();
    tableWidget_Zones->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    tableWidget_Zones->horizontalHeader()->setSectionResizeMode(colonne_nom, QHeaderView::Stretch);
    tableWidget_Zones->setSelectionBehavior(QAbstractItemView::SelectRows);
    tableWidget_Zones->setSelectionMode(QAbstractItemView::SingleSelection);
    tableWidget_Zones->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed);
    tableWidget_Zones->setMaximumHeight(130);
    tableWidget_Zones->setToolTip(QStringLiteral("Double-clic sur un nom pour le changer"));
    button_Supprimer_Zone = new QPushButton(QStringLiteral("Supprimer la zone"));
    auto* hint = new QLabel(QStringLiteral("Sur la carte : glisser trace un rectangle, Maj+glisser un cercle ; "
                                           "glisser une zone la déplace."));
    hint->setWordWrap(true);
    auto* box = new QVBoxLayout(group);
    box->addWidget(tableWidget_Zones);
    box->addWidget(button_Supprimer_Zone);
    box->addWidget(hint);
    connect(button_Supprimer_Zone, &QPushButton::clicked, this, [this] { supprime_zone(); });
    connect(tableWidget_Zones, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* item) { renomme_zone(item); });
    remplit_table_zones();
    return group;
}

// The map's point under the mouse, m (the picture lies against the label's
// right edge).
QPointF CarteAcoustique::metres_sous(const QPointF& position) const
{
    const am::MapView view = vue();
    const QPointF left(pictureBox_Carte->width() - pictureBox_Carte->pixmap().width(), 0.0);
    return am::metres_of(position - left, view.grid, am::cell_pixels(view));
}

// Press, drag and release on the map: a click chooses the point to listen
// to, a drag draws or moves a zone.
bool CarteAcoustique::souris_carte(QEvent* event)
{
    const auto* mouse = static_cast<QMouseEvent*>(event);
    GlisseZone& g = zones_.glisse;
    if (event->type() == QEvent::MouseButtonPress && mouse->button() == Qt::LeftButton) {
        const QPointF at = metres_sous(mouse->position());
        const int under = zone_at(zones_.liste, at);
        const bool shift = mouse->modifiers() & Qt::ShiftModifier;
        g = {under >= 0 && !shift ? GlisseZone::Sorte::deplacement
             : shift              ? GlisseZone::Sorte::cercle
                                  : GlisseZone::Sorte::rectangle,
             at, mouse->position(), false, under, under >= 0 ? zones_.liste[static_cast<std::size_t>(under)] : am::Zone{},
             std::nullopt};
    } else if (event->type() == QEvent::MouseMove && g.sorte != GlisseZone::Sorte::aucune) {
        const QPointF moved = mouse->position() - g.pixel_depart;
        g.commence = g.commence || std::hypot(moved.x(), moved.y()) > drag_threshold_px;
        if (g.commence)
            suit_glisse(metres_sous(mouse->position()));
    } else if (event->type() == QEvent::MouseButtonRelease && g.sorte != GlisseZone::Sorte::aucune) {
        const GlisseZone done = std::exchange(g, GlisseZone{});
        if (!done.commence)
            clic_carte(done.depart);
        else
            finit_glisse(done);
    }
    return true;
}

void CarteAcoustique::clic_carte(QPointF at)
{
    if (button_Aligner->isChecked()) {
        aligne_sur(at);
        return;
    }
    const double extent = reglages_carte.grid.extent;
    if (std::abs(at.x()) <= extent && std::abs(at.y()) <= extent)
        set_point_ecoute(at.x(), at.y());
}

// The zone followed as the mouse moves: drawn, or moved.
void CarteAcoustique::suit_glisse(QPointF at)
{
    GlisseZone& g = zones_.glisse;
    if (g.sorte == GlisseZone::Sorte::deplacement)
        zones_.liste[static_cast<std::size_t>(g.zone)] = moved_zone(g.avant, at - g.depart);
    else
        g.trace = dragged_zone(g.depart, at, g.sorte == GlisseZone::Sorte::cercle, free_zone_name(zones_.liste));
    dessine();
}

void CarteAcoustique::finit_glisse(const GlisseZone& done)
{
    if (done.sorte != GlisseZone::Sorte::deplacement) {
        if (!done.trace)
            return;
        if (const std::string why = am::zone_problem(*done.trace, reglages_carte.grid); !why.empty()) {
            label_Etat->setText(QStringLiteral("Zone non tracée : ") + QString::fromStdString(why));
            dessine();
            return;
        }
        zones_.liste.push_back(*done.trace);
    }
    zones_changees();
}

// The zones as they are now go to the maps, the table and the picture.
void CarteAcoustique::zones_changees()
{
    zones_.puissances.clear();
    remplit_table_zones();
    reglages_changes();
    dessine();
}

void CarteAcoustique::supprime_zone()
{
    const QList<QTableWidgetItem*> chosen = tableWidget_Zones->selectedItems();
    if (chosen.isEmpty()) {
        label_Etat->setText(QStringLiteral("Choisissez dans la table la zone à supprimer"));
        return;
    }
    const int zone = chosen.front()->data(Qt::UserRole).toInt();
    zones_.liste.erase(zones_.liste.begin() + zone);
    zones_changees();
}

void CarteAcoustique::renomme_zone(QTableWidgetItem* item)
{
    if (item->column() != colonne_nom)
        return;
    const int zone = item->data(Qt::UserRole).toInt();
    const std::string name = item->text().trimmed().toStdString();
    if (const std::string why = zone_name_problem(zones_.liste, zone, name); !why.empty()) {
        label_Etat->setText(QString::fromStdString(why));
        remplit_table_zones();
        return;
    }
    zones_.liste[static_cast<std::size_t>(zone)].name = name;
    zones_changees();
}

// Each map's levels of the zones it measured, if they are still the zones
// drawn.
void CarteAcoustique::montre_zones(const am::MapOutcome& outcome)
{
    if (!outcome.valid || outcome.zones != zones_.liste)
        return;
    zones_.puissances = outcome.zone_powers;
    remplit_table_zones();
}

// Loudest first; "—" for a zone no map has measured yet.
void CarteAcoustique::remplit_table_zones()
{
    const QSignalBlocker quiet(tableWidget_Zones);
    const bool measured = zones_.puissances.size() == zones_.liste.size();
    const std::vector<int> order =
        measured ? zones_ranked(zones_.puissances) : zones_ranked(std::vector<double>(zones_.liste.size(), 0.0));
    tableWidget_Zones->setRowCount(static_cast<int>(order.size()));
    for (int row = 0; row < static_cast<int>(order.size()); ++row) {
        const auto z = static_cast<std::size_t>(order[static_cast<std::size_t>(row)]);
        QString level = QStringLiteral("—");
        if (measured) {
            const double db = stream::level_db(std::max(zones_.puissances[z], 0.0), derniere_carte.unit);
            level = stream::is_silence(db, derniere_carte.unit) ? QStringLiteral("silence")
                                                               : QStringLiteral("%1 %2").arg(fmt::fr(db, 1), unite);
        }
        const QString texts[] = {QString::number(row + 1), level, QString::fromStdString(zones_.liste[z].name)};
        for (int column = 0; column < 3; ++column) {
            auto* item = new QTableWidgetItem(texts[column]);
            item->setData(Qt::UserRole, static_cast<int>(z));
            if (column != colonne_nom)
                item->setFlags(item->flags() & ~Qt::ItemIsEditable);
            tableWidget_Zones->setItem(row, column, item);
        }
    }
    button_Supprimer_Zone->setEnabled(!zones_.liste.empty());
}

// The zones drawn, and the one being drawn.
std::vector<am::Zone> CarteAcoustique::zones_montrees() const
{
    std::vector<am::Zone> shown = zones_.liste;
    if (zones_.glisse.trace)
        shown.push_back(*zones_.glisse.trace);
    return shown;
}

void CarteAcoustique::sauve_zones(QSettings& s) const
{
    QStringList texts;
    for (const am::Zone& z : zones_.liste)
        texts << QString::fromStdString(am::zone_text(z));
    s.setValue(zones_key, texts);
}

// A kept zone that no longer reads is left out and named.
void CarteAcoustique::reprend_zones(const QSettings& s)
{
    zones_.liste.clear();
    QStringList refused;
    for (const QString& text : s.value(zones_key).toStringList()) {
        std::string why;
        if (const auto zone = am::parse_zone(text.toStdString(), why);
            zone && zone_name_problem(zones_.liste, -1, zone->name).empty())
            zones_.liste.push_back(*zone);
        else
            refused << text;
    }
    if (!refused.isEmpty())
        label_Etat->setText(QStringLiteral("Zones gardées illisibles, laissées de côté : ") + refused.join(QStringLiteral(" ; ")));
    zones_changees();
}

} // namespace SonivarACQ32
