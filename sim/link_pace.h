#pragma once
// How fast reports travel between the host and the simulated TALVO-4. The
// device sits on a full-speed interrupt endpoint in each direction, and such
// an endpoint carries one report per 1 ms frame: a 1 MiB ROM write is
// 131 072 frames out, a 640 x 480 capture 14 400 frames in, whatever the
// host does. `Instant` lets reports pass as fast as the host sends and reads.

#include <chrono>
#include <optional>
#include <string_view>

#include "sim/sim_clock.h"

namespace talvo::sim {

enum class LinkSpeed { Instant, Usb };

// "usb" or "instant"; nullopt for anything else.
std::optional<LinkSpeed> LinkSpeedNamed(std::string_view name);

// The frames of one direction, 1 ms apart on a fixed grid: each report goes
// in the frame under way when it is ready, or the first free one after, and
// has arrived at that frame's end. A host a little late for a frame loses
// no time as long as it is ready again within the next one.
class FrameLane {
  public:
    static constexpr std::chrono::milliseconds kFrame{1};

    // When a report ready to go at `ready` has arrived.
    Clock::time_point arrival(Clock::time_point ready) {
        const Clock::time_point wanted = ready > next_free_ ? ready : next_free_;
        const Clock::time_point start(
            std::chrono::floor<std::chrono::milliseconds>(wanted.time_since_epoch()));
        next_free_ = start + kFrame;
        return next_free_;
    }

  private:
    Clock::time_point next_free_{};
};

}  // namespace talvo::sim
