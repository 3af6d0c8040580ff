// Level display: the colour bar and the per-microphone level cells.
#include "app/principale.h"

#include "picture/colour_map.h"
#include "display/level_meter.h"
#include "stream/samples.h"
#include "selection/channel_map.h"

#include <QColor>
#include <QFrame>
#include <QImage>
#include <QLabel>
#include <QPalette>
#include <QPixmap>

namespace SonivarACQ32 {

namespace {

constexpr int bar_width = 23;

// Paints a level cell, touching the widget only when its colour changes: the
// run loop repaints every cell on every pass.
void paint_cell(QFrame* cell, QRgb colour)
{
    if (cell == nullptr)
        return;
    if (cell->autoFillBackground() && cell->palette().color(QPalette::Window).rgb() == colour)
        return;
    QPalette palette = cell->palette();
    palette.setColor(QPalette::Window, QColor::fromRgb(colour));
    cell->setPalette(palette);
    cell->setAutoFillBackground(true);
}

} // namespace

void Principale::init_colorbar()
{
    const colours::ColourMap map = colours::colour_map();
    R_jet = map.red;
    V_jet = map.green;
    B_jet = map.blue;

    const QSize size = pictureBox_ColorBar != nullptr && !pictureBox_ColorBar->size().isEmpty()
                           ? pictureBox_ColorBar->size()
                           : QSize(bar_width, colours::nb_levels);
    QImage bar(size, QImage::Format_RGB32);
    bar.fill(Qt::white);
    // Index 0 on the bottom row, 127 on the top one.
    for (int i = 0; i < colours::nb_levels && colours::nb_levels - 1 - i < size.height(); ++i) {
        const QRgb colour = qRgb(R_jet[i], V_jet[i], B_jet[i]);
        auto* row = reinterpret_cast<QRgb*>(bar.scanLine(colours::nb_levels - 1 - i));
        std::fill(row, row + size.width(), colour);
    }
    if (pictureBox_ColorBar != nullptr) {
        pictureBox_ColorBar->setPixmap(QPixmap::fromImage(bar));
        pictureBox_ColorBar->update();
    }
}

void Principale::update_levels()
{
    if (nb_micros == 0 || !(num_pkt < n_pkt))
        return;
    // Followed transfers start again from the fill once completed: only
    // the transfer in flight shows its data.
    if (own.follow_in_flight && own.buffer_is_dev_mem[num_pkt % nb_slots]) {
        if (!stopped)
            in_flight_levels();
        return;
    }
    if (num_pkt == 0)
        return;
    num_pkt_aff = num_pkt - 1;
    const std::uint32_t slot = num_pkt_aff % nb_slots;
    if (stopped || !levels::enough_frames(a_ecrire[slot], nb_voies) || buffers[slot] == nullptr)
        return;
    refresh_layout(run.layout);
    std::array<int, channels::nb_mics> indices{};
    paint_levels(indices.data(), levels::packet_levels(buffers[slot], num_pkt_aff, run.layout, indices.data()));
}

bool Principale::in_flight_levels()
{
    const InFlight part = in_flight();
    refresh_layout(run.layout);
    const std::uint64_t frame = run.layout.frame_bytes();
    if (part.data == nullptr || frame == 0)
        return false;
    const std::uint64_t first = stream::first_frame_offset(part.stream_position, run.layout);
    const std::uint64_t frames = part.filled > first ? (part.filled - first) / frame : 0;
    // The newest 2000 frames, or what has come of them: a slow stream shows
    // its first colours long before 2000 frames have come.
    if (frames < levels::fewest_frames)
        return false;
    const std::uint64_t shown = std::min<std::uint64_t>(frames, levels::window_frames);
    const std::uint64_t start = first + (frames - shown) * frame;
    std::array<int, channels::nb_mics> indices{};
    paint_levels(indices.data(), levels::window_levels(part.data + start, run.layout, indices.data(),
                                                       static_cast<std::uint32_t>(shown)));
    return true;
}

void Principale::paint_levels(const int* indices, int shown)
{
    for (int i = 0; i < shown && i < channels::nb_mics; ++i) {
        const int m = num_mic_valid[i];
        if (m < 0 || m >= channels::nb_mics)
            continue;
        const int index = indices[i];
        paint_cell(grid_n[channels::beam_of(m)][channels::mic_of(m)],
                   qRgb(R_jet[index], V_jet[index], B_jet[index]));
    }
}

} // namespace SonivarACQ32
