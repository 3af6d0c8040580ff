// The spectrum window in the acquisition window: the "Spectre" button, and
// the spectrum and the map working together (a click on the spectrum
// chooses the map's frequency, the map's band is shaded on the spectrum).
#include "app/principale.h"

#include "app/panel_layout.h"
#include "carte/carte_acoustique.h"
#include "spectre/spectre_acoustique.h"

#include <QPushButton>

namespace SonivarACQ32 {

namespace {

constexpr const char* spectre_place_key = "spectre/position";

} // namespace

// Under "Carte", in the same free space; no enablement switch governs it.
void Principale::creation_spectre()
{
    button_Spectre = panel::button_under(this, button_Carte, QStringLiteral("Spectre"), "button_Spectre",
                                         button_Carte->height());
    connect(button_Spectre, &QPushButton::clicked, this, [this] { button_Spectre_Click(); });
    reprend_etalonnage();
}

void Principale::button_Spectre_Click()
{
    if (spectre == nullptr) {
        spectre = new SpectreAcoustique(this, &own.feed);
        spectre->set_etalonnage(own.etalonnage);
        prepare_live_window(spectre, spectre_place_key);
        connect(spectre, &SpectreAcoustique::frequence_choisie, this, [this](double hz) {
            if (carte == nullptr)
                button_Carte_Click();
            carte->set_frequence(hz);
        });
        relie_carte_spectre();
        relie_etalonnage();
        place_where_it_was(spectre, spectre_place_key);
    }
    bring_forward(spectre);
    if (carte != nullptr)
        carte->relance_revue();  // a recording under review shows on the spectrum too
}

// Once both windows exist, the map's band follows on the spectrum.
void Principale::relie_carte_spectre()
{
    if (carte == nullptr || spectre == nullptr)
        return;
    connect(carte, &CarteAcoustique::bande_changee, spectre, &SpectreAcoustique::set_bande_carte,
            Qt::UniqueConnection);
    connect(carte, &CarteAcoustique::tranche_revue, spectre, &SpectreAcoustique::revue, Qt::UniqueConnection);
    connect(carte, &CarteAcoustique::travail_change, spectre, &SpectreAcoustique::set_carte, Qt::UniqueConnection);
    spectre->set_carte(carte->travail());
    const auto [lower, upper] = carte->bande_hz();
    spectre->set_bande_carte(lower, upper);
}

} // namespace SonivarACQ32
