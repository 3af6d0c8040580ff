#pragma once
// The picture of a spectrogram: time across in seconds, frequency up in
// kHz (0 to Nyquist), levels in the map's colours, `range_db` below the top
// of the scale; its facts above and the scale with its unit on the right.
// The window and sonivar-dat draw the same picture.
#include "picture/map_picture.h"
#include "spectrum/spectrogram.h"

#include <QImage>
#include <QRect>

#include <cmath>
#include <vector>

namespace SonivarACQ32::spectrum {

// The spectrogram's levels as colours, one pixel per column and bin (the
// columns not yet filled in white), time across and frequency up.
QImage spectrogram_image(const Spectrogram& data, bool a_weighted, float top_db, int range_db);
// The loudest level of the columns filled, dB (A-weighted if asked).
float spectrogram_top_db(const Spectrogram& data, bool a_weighted);

// Where the framed picture puts the plot, and the time and frequency at a
// point of it.
struct SpectrogramLayout {
    acoustic_map::FramedLayout frame;
    double time_at(const Spectrogram& data, double x) const;
    double frequency_at(const Spectrogram& data, double y) const;
};
SpectrogramLayout spectrogram_layout(QSize plot, std::size_t lines);

// The framed picture: the plot scaled to `plot` pixels.
QImage framed_spectrogram(const Spectrogram& data, bool a_weighted, float top_db, int range_db, QSize plot,
                          const std::vector<QString>& lines);

} // namespace SonivarACQ32::spectrum
