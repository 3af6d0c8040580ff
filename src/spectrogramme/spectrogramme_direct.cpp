// The spectrogram window during a run: each spectrum the worker makes of
// the newest stretch of the stream becomes a column at the right, the
// older ones scrolling left.
#include "spectrogramme/spectrogramme.h"

#include "spectrum/spectrum.h"

#include <QComboBox>
#include <QLabel>

#include <algorithm>
#include <numeric>

namespace SonivarACQ32 {

namespace sp = spectrum;

namespace {

constexpr std::size_t live_columns = 400;  // about a minute at the top rate
constexpr int live_picture_ms = 100;

} // namespace

void Spectrogramme::capture(feed::Capture state, const feed::RunFacts& run)
{
    if (state == feed::Capture::stopped) {
        if (run.serial != 0 && !en_revue())
            label_Etat->setText(capture_text(state));
        return;
    }
    if (run.serial != run_.serial) {  // a new run: its own columns, from none
        run_ = run;
        direct_ = {};
        direct_.sample_rate = run.sample_rate;
        sp::SpectrumJob job;
        job.layout = run.layout;
        job.sample_rate = run.sample_rate;
        job.calibration = etalonnage_;
        worker_->set_job(job);
        if (!en_revue())
            sources_changent(run.layout.micros, false);
    }
    if (!en_revue())
        label_Etat->setText(capture_text(state));
}

void Spectrogramme::piece(const feed::Piece& p) { worker_->push(p.data, p.len, p.stream_position, p.run); }

void Spectrogramme::recoit_direct(const sp::SpectrumOutcome& outcome)
{
    if (!outcome.valid || en_revue() || outcome.new_seconds <= 0.0)
        return;
    const int channel = std::max(-1, comboBox_Source->currentData().toInt());
    const std::vector<sp::Line> lines =
        sp::narrow_band(outcome.auto_spectra, outcome.microphones, channel, outcome.sample_rate);
    std::vector<float> column(sp::spectrogram_bins, 0.0f);
    for (std::size_t b = 0; b < lines.size() && b < column.size(); ++b)
        column[b] = static_cast<float>(lines[b].power);
    const std::size_t frame = run_.layout.frame_bytes();
    direct_.colonnes.push_back(std::move(column));
    direct_.temps.push_back(frame > 0 ? static_cast<double>(outcome.stream_end / frame) / outcome.sample_rate : 0.0);
    direct_.unit = outcome.unit;
    while (direct_.colonnes.size() > live_columns) {
        direct_.colonnes.pop_front();
        direct_.temps.pop_front();
    }
    draw_paced(live_picture_ms, [this] {
        spectrogramme_direct();
        dessine();
    });
}

// The live columns as a spectrogram: evenly spaced at their mean step,
// the first at the time of the oldest kept.
void Spectrogramme::spectrogramme_direct()
{
    const std::size_t n = direct_.colonnes.size();
    if (n == 0 || !(direct_.sample_rate > 0.0))
        return;
    const double span = n > 1 ? direct_.temps.back() - direct_.temps.front() : 0.0;
    const double step_s = n > 1 ? span / static_cast<double>(n - 1) : 0.1;
    sp::SpectrogramGrid grid = sp::spectrogram_grid(0, direct_.sample_rate, std::max(step_s, 1e-3));
    grid.frames = grid.step_frames * (n - 1) + static_cast<std::uint64_t>(acoustic_map::block_frames);
    donnees_ = sp::empty_spectrogram(grid, direct_.temps.front() - step_s, direct_.unit);
    for (std::size_t c = 0; c < n; ++c)
        std::copy(direct_.colonnes[c].begin(), direct_.colonnes[c].end(),
                  donnees_.power.begin() + static_cast<std::ptrdiff_t>(c * sp::spectrogram_bins));
    donnees_.done = static_cast<int>(n);
}

} // namespace SonivarACQ32
