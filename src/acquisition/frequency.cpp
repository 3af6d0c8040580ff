// Sampling frequency, delay and sample count.
#include "app/principale.h"
#include "device/vendor_commands.h"

#include "acquisition/timing.h"
#include "app/format.h"
#include "platform/clock.h"
#include "recording/header_record.h"

#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QListWidget>

namespace SonivarACQ32 {

namespace {
constexpr std::uint32_t clock_settle_ms = 500;

bool valid_list_index(int index)
{
    return index >= 0 && index < static_cast<int>(Principale::FREQ.size());
}
} // namespace

void Principale::listBox_Freq_Click()
{
    if (!initialisation && initialise() != 0)
        return;
    // The unit may have been initialised once and its link lost since (a
    // failed reopen leaves no handle): nothing can be sent then.
    if (handle == nullptr)
        return;
    // The entry chosen is the one scrolled into the list's single line, not
    // the highlighted one.
    const int top = list_top_index();
    if (!valid_list_index(top))
        return;
    buf[0] = vendor::clock_division;
    num_freq = top;
    listBox_Freq->clearSelection();
    buf[1] = timing::division_byte(FREQ[num_freq]);
    commande(1);
    platform::sleep(clock_settle_ms);

    frequence = timing::frequency_from_division_byte(buf[1]);
    header_file.freq = frequence;
    duree_max = timing::max_duration(frequence);
    // A duration above the new maximum is clamped by the box, which then
    // runs its own change handler.
    numericUpDown_Duree->setMaximum(duree_max);

    if (test)
        call_verb(QStringLiteral("Clock division : %1.  ").arg(fmt::G(unsigned{buf[1]})), 0);
    call_verb(QStringLiteral("Fréquence : %1 Hz.  Durée max d'acquisition (si le disque le "
                             "supporte) : %2 s \r\n")
                  .arg(fmt::N(frequence, 0), fmt::N(duree_max, 1)),
              0);
    clock_def = true;
    count_def = false;
    numericUpDown_Delay_ValueChanged();
}

void Principale::numericUpDown_Delay_ValueChanged()
{
    // The box may change while no unit is open (its initial value, or the
    // operator in advanced mode before Init): there is nothing to send then.
    if (handle == nullptr)
        return;
    buf[0] = vendor::n_delay;
    if (test) {
        const double value = numericUpDown_Delay->value();
        buf[1] = timing::delay_byte(value);
        call_verb(QStringLiteral("N_DELAY : %1  \r\n").arg(fmt::G(value)), 0);
    } else {
        // The delay that goes with the entry now shown, which a click has
        // just made the programmed one.
        const int top = list_top_index();
        if (!valid_list_index(top))
            return;
        buf[1] = static_cast<unsigned char>(DELAY[top]);
    }
    commande(1);
}

void Principale::calcul_count()
{
    if (!initialisation_FX3 && init_USB() != 0)
        return;
    if (!clock_def)
        listBox_Freq_Click();

    duree = static_cast<float>(numericUpDown_Duree->value());
    count = timing::sample_count(duree, frequence);
    if (!checkBox_Definie->isChecked())
        count = 0;

    buf[0] = vendor::sample_count;
    const auto bytes = timing::count_bytes(count);
    std::copy(bytes.begin(), bytes.end(), buf.begin() + 1);
    commande(4);
    count_def = true;
}

} // namespace SonivarACQ32
