// Channel activation: the selection sent to the unit and its bookkeeping.
#include "app/principale.h"
#include "device/vendor_commands.h"

#include "platform/clock.h"
#include "recording/header_record.h"
#include "selection/channel_map.h"

#include <QCheckBox>

#include <algorithm>

namespace SonivarACQ32 {

namespace {
constexpr std::uint32_t activation_settle_ms = 300;
} // namespace

void Principale::choix_micros()
{
    channels::Selection selection{};
    for (int k = 0; k < channels::nb_beams; ++k)
        for (int j = 0; j < channels::mics_per_beam; ++j)
            selection[k][j] = grid[k][j] != nullptr && grid[k][j]->isChecked();
    const channels::ChannelMap map = channels::channel_map(
        selection, checkBox_Compteur->isChecked(), checkBox_Status->isChecked());

    nb_micros = map.nb_micros;
    // Only the meaningful prefix is rewritten; later entries are never read.
    std::copy_n(map.num_mic_valid.begin(), map.nb_micros, num_mic_valid.begin());
    std::copy(map.flags.begin(), map.flags.end(), header_file.micros_actifs);

    // The unit is told the whole selection every time, empty beams included.
    buf[0] = vendor::beam_activation;
    buf[1] = 0;
    for (int k = 0; k < channels::nb_beams; ++k) {
        buf[2] = static_cast<unsigned char>(k);
        buf[3] = map.masks[k];
        commande(3);
    }

    nb_voies = map.nb_voies;
    compteur = map.compteur;
    header_file.compteurs_actifs[0] = map.compteur ? 1 : 0;
    buf[2] = vendor::extra_channels_beam;
    buf[3] = map.extra_flags;
    commande(3);
    platform::sleep(activation_settle_ms);
}

} // namespace SonivarACQ32
