// The colour bar and the level cells as the run loop paints them.
#include "window_harness.h"
#include "stream/stream_format.h"
#include "app/principale.h"
#include "stream/samples.h"
#include "display/level_meter.h"
#include "run_test_support.h"

#include <gtest/gtest.h>

#include "carte/carte_acoustique.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QImage>
#include <QLabel>
#include <QPixmap>

#include <cstdint>
#include <functional>
#include <vector>

using SonivarACQ32::Principale;

namespace {

constexpr std::uint32_t packet_bytes = SonivarACQ32::stream::packet_bytes;

using ColourBar = testsupport::AbsentUnitTest;

TEST_F(ColourBar, TopRowIsTheHighestLevelBottomRowTheLowest)
{
    const QImage bar = w.pictureBox_ColorBar->pixmap().toImage();
    ASSERT_EQ(bar.height(), 128);
    ASSERT_EQ(bar.width(), 23);
    // Rows of the map: index 127 dark red, 45 light blue, 0 dark blue.
    for (int x : {0, 11, 22}) {
        SCOPED_TRACE(x);
        EXPECT_EQ(bar.pixel(x, 0), qRgb(119, 0, 0));
        EXPECT_EQ(bar.pixel(x, 127 - 45), qRgb(0, 248, 255));
        EXPECT_EQ(bar.pixel(x, 127), qRgb(0, 0, 143));
    }
}

// A window in its level view with microphones 0 and 19 acquired behind the
// counter: microphone 0 hears a constant 1000, microphone 19 nothing. The
// newest packet is number 1, in slot 1.
class LevelCells : public testsupport::AbsentUnitTest {
protected:
    void SetUp() override
    {
        w.nb_micros = 2;
        w.num_mic_valid[0] = 0;
        w.num_mic_valid[1] = 19;
        Principale::nb_voies = 3;
        Principale::compteur = true;
        fill_packet(1);
        Principale::buffers[1] = packet.data();
        Principale::a_ecrire[1] = packet_bytes;
        Principale::num_pkt = 2;
        w.n_pkt = 100;
        w.stopped = false;
        w.affiche_cases(true);
    }

    // The stream's words: counter, microphone 0, microphone 19, frame after
    // frame; this packet holds stream bytes from number x 1 MiB on.
    void fill_packet(std::uint32_t number)
    {
        packet.assign(packet_bytes, 0);
        const std::uint64_t first = std::uint64_t{number} * packet_bytes / 4;
        for (std::uint32_t i = 0; i < packet_bytes / 4; ++i) {
            const std::uint64_t word = first + i;
            std::uint32_t value = 0;
            switch (word % 3) {
            case 0: value = static_cast<std::uint32_t>(word / 3); break;
            case 1: value = 1000; break;
            default: value = 0; break;
            }
            for (int b = 0; b < 4; ++b)
                packet[4 * i + b] = static_cast<unsigned char>(value >> (8 * b));
        }
    }

    QRgb cell(int m) const
    {
        return w.grid_n[m / 8][m % 8]->palette().color(QPalette::Window).rgb();
    }
    void expect_all_white() const
    {
        for (int m = 0; m < 32; ++m)
            EXPECT_EQ(cell(m), qRgb(255, 255, 255)) << m;
    }

    std::vector<unsigned char> packet;
};

TEST_F(LevelCells, SelectedCellsTakeTheirLevelOthersStayWhite)
{
    w.update_levels();
    EXPECT_EQ(w.num_pkt_aff, 1u);
    EXPECT_EQ(cell(0), qRgb(0, 248, 255));  // 60 dB: index 45
    EXPECT_EQ(cell(19), qRgb(0, 0, 143));   // silence: index 0
    for (int m = 1; m < 32; ++m) {
        if (m != 19) {
            EXPECT_EQ(cell(m), qRgb(255, 255, 255)) << m;
        }
    }

    // Leaving the level view whitens and hides every cell.
    w.affiche_cases(false);
    expect_all_white();
    for (int m = 0; m < 32; ++m)
        EXPECT_FALSE(w.grid_n[m / 8][m % 8]->isVisibleTo(&w)) << m;
}

TEST_F(LevelCells, NothingIsPaintedWhenThePassHasNothingToShow)
{
    struct Case {
        const char* what;
        void (*set)(Principale&);
    };
    const Case cases[] = {
        {"exactly 2001 frames received",
         [](Principale&) { Principale::a_ecrire[1] = 3 * 2001 * 4; }},
        {"stopped", [](Principale& w) { w.stopped = true; }},
        {"every expected packet in", [](Principale& w) { w.n_pkt = 2; }},
        {"no packet yet", [](Principale&) { Principale::num_pkt = 0; }},
        {"no microphone", [](Principale& w) { w.nb_micros = 0; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SetUp();
        c.set(w);
        w.update_levels();
        expect_all_white();
    }
}

// The colours the cells of the acquired microphones take during a run.
class LevelsDuringARun : public testsupport::WindowTest {
protected:
    // Cell colours once every acquired cell is painted (and `also` holds),
    // then Stop; the bytes received by then in `received`.
    std::vector<QRgb> colours_of_a_run(const std::function<bool()>& also = [] { return true; })
    {
        std::vector<QRgb> seen;
        const auto painted = [&] {
            for (int i = 0; i < w.nb_micros; ++i) {
                const int m = w.num_mic_valid[i];
                if (w.grid_n[m / 8][m % 8]->palette().color(QPalette::Window).rgb() == qRgb(255, 255, 255))
                    return false;
            }
            return w.nb_micros > 0;
        };
        testsupport::When capture([&] { return w.run_active && painted() && also(); }, [&] {
            received = Principale::ntr;
            for (int i = 0; i < w.nb_micros; ++i) {
                const int m = w.num_mic_valid[i];
                seen.push_back(w.grid_n[m / 8][m % 8]->palette().color(QPalette::Window).rgb());
            }
            w.button_Stop->click();
        });
        w.checkBox_Record->setChecked(false);
        w.checkBox_Definie->setChecked(false);
        w.button_Start->click();
        return seen;
    }
    std::uint64_t received = 0;
};

// The same sound in both sample types: the same colour in every cell.
TEST_F(LevelsDuringARun, SameSoundSameColoursInInt32AndFloat32)
{
    unit.set_paced(true);
    // Each microphone its own tone, in counts, then the same in float32
    // units (counts over 2^31).
    const auto tones = [&](double unit_of_data) {
        for (int m = 0; m < 32; ++m)
            unit.set_signal(m, {sim::Signal::Kind::Sine, 1.0e3 * (m + 1) * (m + 1) / unit_of_data, 1000.0});
    };
    w.button_Init->click();
    tones(1.0);
    const std::vector<QRgb> as_int = colours_of_a_run();
    w.radioButton_Float->setChecked(true);
    tones(SonivarACQ32::stream::int32_full_scale);
    const std::vector<QRgb> as_float = colours_of_a_run();
    ASSERT_EQ(as_int.size(), 32u);
    EXPECT_EQ(as_float, as_int);
    EXPECT_NE(as_int.front(), as_int.back());  // the cells do differ
}

// At 2 000 Hz with 2 microphones a transfer takes 43 s to fill: the cells
// show the data filling it long before it completes, within well under a
// second of data (2000 frames are a second there).
TEST_F(LevelsDuringARun, SlowestStreamShowsLevelsBeforeItsFirstTransferCompletes)
{
    unit.set_paced(true);
    w.button_Init->click();
    w.listBox_Freq->scrollToItem(w.listBox_Freq->item(16), QAbstractItemView::PositionAtTop);
    emit w.listBox_Freq->itemClicked(w.listBox_Freq->item(16));
    w.paq_T->click();  // none
    w.grid[0][0]->click();
    w.grid[2][3]->click();
    w.button_Carte->click();
    w.carte->comboBox_Bande->setCurrentIndex(1);
    w.carte->set_frequence(500.0);
    ASSERT_EQ(w.frequence, 2000.0f);
    std::uint64_t frames_at_first_colours = 0;
    const std::vector<QRgb> colours = colours_of_a_run([&] {
        if (frames_at_first_colours == 0)
            frames_at_first_colours = w.in_flight().filled / (3 * 4);
        return w.carte->cartes > 0;
    });
    EXPECT_EQ(colours.size(), 2u);
    EXPECT_EQ(received, 0u);  // no transfer had completed when they showed
    EXPECT_LT(frames_at_first_colours, 1000u);
}

// Without the counter (advanced mode) the microphones start at word 0:
// each cell shows its own microphone, loud and quiet ones alternating.
TEST_F(LevelsDuringARun, WithoutTheCounterEachCellShowsItsOwnMicrophone)
{
    unit.set_paced(true);
    w.button_Init->click();
    const auto amplitude = [](int m) { return m % 2 == 0 ? 1.0e3 : 1.0e6; };
    for (int m = 0; m < 32; ++m)
        unit.set_signal(m, {sim::Signal::Kind::Sine, amplitude(m), 1000.0});
    w.checkBox_Test->setChecked(true);
    w.checkBox_Compteur->setChecked(false);
    const std::vector<QRgb> colours = colours_of_a_run();
    ASSERT_EQ(colours.size(), 32u);
    ASSERT_FALSE(Principale::compteur);
    for (int m = 0; m < 32; ++m) {
        // A sine's mean power over whole periods: A^2 / 2.
        const int index = SonivarACQ32::levels::level_index(amplitude(m) * amplitude(m) / 2.0);
        EXPECT_EQ(colours[m], qRgb(w.R_jet[index], w.V_jet[index], w.B_jet[index])) << m;
    }
}

} // namespace
