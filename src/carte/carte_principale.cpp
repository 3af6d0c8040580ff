// The map window in the acquisition window: the "Carte" button; the window
// takes the run's data from the feed.
#include "app/principale.h"

#include "app/panel_layout.h"
#include "carte/carte_acoustique.h"

#include <QPushButton>

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
        prepare_live_window(carte, carte_place_key);
        connect(carte, &CarteAcoustique::visibilite, this, [](bool visible) { own.carte_ouverte = visible; });
        carte->set_etalonnage(own.etalonnage);
        connect(carte, &CarteAcoustique::spectre_demande, this, [this] { button_Spectre_Click(); });
        relie_carte_spectre();
        place_where_it_was(carte, carte_place_key);
    }
    bring_forward(carte);
}

} // namespace SonivarACQ32
