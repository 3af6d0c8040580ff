#include "diffusion/diffusion.h"

#include "app/format.h"
#include "recording/system_errors.h"
#include "stream/levels.h"

#include <algorithm>
#include <cerrno>

namespace SonivarACQ32::diffusion {

void Diffusion::set_active(bool on)
{
    if (on == active_ || feed_ == nullptr)
        return;
    active_ = on;
    if (on) {
        feed_->subscribe(this);
        return;
    }
    feed_->unsubscribe(this);
    if (run_ != 0)
        end();
}

void Diffusion::capture(feed::Capture state, const feed::RunFacts& run)
{
    if (state == feed::Capture::running && run.serial != run_)
        begin(run);
    else if (state == feed::Capture::stopped && run_ != 0)
        end();
}

void Diffusion::begin(const feed::RunFacts& run)
{
    run_ = run.serial;
    layout_ = run.layout;
    joiner_.reset();
    gone_said_ = false;
    const DiffusionSettings settings = settings_of_();
    const bool in_pascal = settings.pascal && settings.calibration.has_value();
    factors_ = stream::sample_factors(in_pascal ? settings.calibration : std::nullopt, layout_.is_float);
    int error = 0;
    refused_ = !node_.open({layout_.micros, static_cast<unsigned>(run.sample_rate + 0.5)}, error);
    const bool no_server = error == EHOSTDOWN || error == ECONNREFUSED || error == ENOENT;
    if (refused_)
        say_(QStringLiteral("Diffusion du flux impossible : %1 ; l'acquisition continue sans elle\r\n")
                 .arg(no_server ? QStringLiteral("aucun serveur PipeWire") : raison_erreur(error)));
    else if (settings.pascal && !in_pascal)
        say_(QStringLiteral("Diffusion du flux en fractions de la pleine échelle : pas d'étalonnage pour le pascal\r\n"));
}

void Diffusion::piece(const feed::Piece& piece)
{
    if (piece.run != run_ || refused_ || !node_.is_open())
        return;
    if (node_.gone()) {
        if (!gone_said_)
            say_(QStringLiteral("Serveur PipeWire perdu : diffusion arrêtée, l'acquisition continue\r\n"));
        gone_said_ = true;
        node_.close();
        return;
    }
    joiner_.add(piece.data, piece.len, piece.stream_position, layout_,
                [this](const unsigned char* data, std::size_t len, std::uint64_t position) {
                    const std::size_t frames = stream::decode_frames(data, len, position, layout_, factors_, decoded_);
                    node_.write(decoded_.data(), frames);
                });
}

void Diffusion::end()
{
    run_ = 0;
    if (!node_.is_open())
        return;
    const std::uint64_t dropped = node_.dropped();
    if (dropped != 0)
        say_(QStringLiteral("Diffusion du flux : %1 trames non lues par les programmes à l'écoute, écartées\r\n")
                 .arg(fmt::fr(static_cast<double>(dropped), 0)));
    if (const std::uint64_t dry = node_.dry_cycles(); dry != 0)
        say_(QStringLiteral("Diffusion du flux : %1 fois le flux arrivé trop tard pour le serveur de son "
                            "(silence comblé ; l'enregistrement n'en perd rien)\r\n")
                 .arg(fmt::fr(static_cast<double>(dry), 0)));
    node_.close();
}

} // namespace SonivarACQ32::diffusion
