// The map window in the acquisition window: the "Carte" button; the window
// takes the run's data from the feed.
#include "app/principale.h"

#include "app/panel_layout.h"
#include "map/carte_acoustique.h"

#include "platform/settings.h"

#include <QGuiApplication>
#include <QPushButton>
#include <QSettings>
#include <QScreen>

#include <algorithm>

namespace SonivarACQ32 {

namespace {

constexpr const char* carte_place_key = "carte/position";

} // namespace

// In the free space beside "Mode avancé", under "Fichier"; no enablement
// switch governs it, so it works before, during and after a run.
void Principale::creation_carte()
{
    button_Carte = panel::button_under(this, button_Fichier, QStringLiteral("Carte"), "button_Carte", 32);
    connect(button_Carte, &QPushButton::clicked, this, [this] { button_Carte_Click(); });
}

void Principale::button_Carte_Click()
{
    if (carte == nullptr) {
        carte = new CarteAcoustique(this, &own.feed);
        // The program ends with its main window, whether the map is open or not.
        carte->setAttribute(Qt::WA_QuitOnClose, false);
        carte->reprend_reglages(*platform::settings());
        connect(carte, &CarteAcoustique::visibilite, this, [this](bool visible) {
            own.carte_ouverte = visible;
            if (!visible) {
                const auto kept = platform::settings();
                kept->setValue(carte_place_key, carte->pos());
                carte->sauve_reglages(*kept);
            }
        });
        carte->set_etalonnage(own.etalonnage);
        connect(carte, &CarteAcoustique::spectre_demande, this, [this] { button_Spectre_Click(); });
        relie_carte_spectre();
        place_where_it_was(carte, carte_place_key);
    }
    bring_forward(carte);
}

void Principale::bring_forward(QWidget* window)
{
    window->show();
    window->raise();
    window->activateWindow();
}

// Where the operator last left a window of our own, when a screen still
// shows that place; beside this one otherwise.
void Principale::place_where_it_was(QWidget* window, const char* key) const
{
    const QVariant kept = platform::settings()->value(QLatin1String(key));
    if (kept.canConvert<QPoint>() && kept.isValid() && QGuiApplication::screenAt(kept.toPoint()) != nullptr)
        window->move(kept.toPoint());
    else
        place_beside(window);
}

// A window of our own opens beside the acquisition window, never over its
// controls: to its right when the screen has room, else to its left, else
// as far right as the screen allows. Afterwards it stays where the operator
// puts it.
void Principale::place_beside(QWidget* window) const
{
    window->adjustSize();
    const QRect main = this->window()->frameGeometry();
    const QScreen* screen = this->screen();
    const QRect room = screen != nullptr ? screen->availableGeometry() : QRect(main.topLeft(), QSize(4096, 4096));
    const int width = window->frameGeometry().width();
    int x = main.right() + 1;
    if (x + width > room.right() + 1)
        x = main.left() - width >= room.left() ? main.left() - width : room.right() + 1 - width;
    window->move(std::max(x, room.left()), std::max(main.top(), room.top()));
}

} // namespace SonivarACQ32
