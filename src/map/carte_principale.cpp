// The map window in the acquisition window: the "Carte" button, the copy of
// each accepted packet for the map while its window is open, and the map of
// the newest packet in the run loop's pass.
#include "app/principale.h"

#include "app/panel_layout.h"
#include "map/carte_acoustique.h"
#include "recording/header_record.h"
#include "selection/channel_map.h"

#include <QPushButton>

#include <algorithm>

namespace SonivarACQ32 {

bool Principale::carte_ouverte = false;
acoustic_map::PacketQueue Principale::carte_paquets;

// In the free space beside "Mode avancé", under "Fichier"; no enablement
// switch governs it, so it works before, during and after a run.
void Principale::creation_carte()
{
    button_Carte = new QPushButton(QStringLiteral("Carte"), this);
    button_Carte->setObjectName(QStringLiteral("button_Carte"));
    const QRect above = button_Fichier->geometry();
    button_Carte->setGeometry(above.x(), above.bottom() + 4, above.width(), 32);
    button_Carte->setFont(panel::gothic(12, true));
    connect(button_Carte, &QPushButton::clicked, this, [this] { button_Carte_Click(); });
}

void Principale::button_Carte_Click()
{
    if (carte == nullptr) {
        carte = new CarteAcoustique(this);
        // The program ends with its main window, whether the map is open or not.
        carte->setAttribute(Qt::WA_QuitOnClose, false);
        connect(carte, &CarteAcoustique::visibilite, this, [](bool visible) { carte_ouverte = visible; });
    }
    carte->show();
    carte->raise();
    carte->activateWindow();
}

// From the completion routine: the microphones of the packet just written,
// at byte `position` of the run's stream. The presence test's packets are
// not a run's.
void Principale::copie_carte(const unsigned char* data, std::uint32_t len, std::uint64_t position)
{
    if (!carte_ouverte || test_init)
        return;
    const auto* acquired = header_file.micros_actifs;
    const acoustic_map::StreamLayout layout{
        nb_voies, compteur,
        static_cast<std::int32_t>(std::count(acquired, acquired + channels::nb_mics, 1)),
        header_file.type_float != 0};
    acoustic_map::PacketSamples& slot = carte_paquets.next_slot();
    acoustic_map::copy_packet(slot, data, len, position, layout);
    if (slot.fresh)
        carte_paquets.commit();
}

void Principale::dessine_carte()
{
    while (acoustic_map::PacketSamples* paquet = carte_paquets.front()) {
        if (carte != nullptr && carte_ouverte)
            carte->carte_du_paquet(*paquet, {num_mic_valid.data(), static_cast<std::size_t>(nb_micros)},
                                   frequence);
        carte_paquets.pop();
    }
}

} // namespace SonivarACQ32
