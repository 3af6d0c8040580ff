#pragma once
// "Diffuser le flux": while a run streams, its samples go to a PipeWire node
// as they arrive (the stream in flight, as the live map takes it), in
// fractions of full scale or, on request, in pascal with the calibration in
// use. It hangs on the run's feed like a live window; the acquisition never
// waits for it. The server missing or gone is said once and the run goes
// on; at the end of the run, what readers could not take is said.
#include "diffusion/frame_joiner.h"
#include "diffusion/pipewire_node.h"
#include "feed/packet_feed.h"
#include "stream/samples.h"

#include <QString>

#include <functional>
#include <optional>
#include <vector>

namespace SonivarACQ32::diffusion {

struct DiffusionSettings {
    bool pascal = false;  // in pascal when a calibration is in use
    std::optional<stream::Calibration> calibration;
};

class Diffusion : public feed::Subscriber {
public:
    // `say`: a line for the operator (the information pane); `settings`:
    // asked as each run begins.
    Diffusion(feed::PacketFeed* feed, std::function<void(const QString&)> say,
              std::function<DiffusionSettings()> settings)
        : feed_(feed), say_(std::move(say)), settings_of_(std::move(settings))
    {
    }
    ~Diffusion() override { set_active(false); }
    Diffusion(const Diffusion&) = delete;
    Diffusion& operator=(const Diffusion&) = delete;

    // On: the runs that stream from now on are fed (the one under way
    // too); off: the node goes at once.
    void set_active(bool on);
    const PipeWireNode& node() const { return node_; }

    void capture(feed::Capture state, const feed::RunFacts& run) override;
    void piece(const feed::Piece& piece) override;
    // Every event pass of the run: the node's ring is kept a few
    // milliseconds ahead, not a video frame.
    std::uint32_t offer_interval_ms() const override { return 5; }

private:
    void begin(const feed::RunFacts& run);
    void end();

    feed::PacketFeed* feed_;
    std::function<void(const QString&)> say_;
    std::function<DiffusionSettings()> settings_of_;
    bool active_ = false;
    PipeWireNode node_;
    stream::FrameLayout layout_;
    stream::Calibration factors_;
    std::vector<float> decoded_;
    FrameJoiner joiner_;
    std::uint64_t run_ = 0;        // the run being fed, 0: none
    bool refused_ = false;         // the node could not be made for this run
    bool gone_said_ = false;
};

} // namespace SonivarACQ32::diffusion
