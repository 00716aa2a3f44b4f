#pragma once
// What a front end lends a device sequence: how its waits are spent, and
// whether it should go on. The sequences themselves (the capture, the ROM
// write, the timing read-back ...) know nothing of windows or terminals.

#include <chrono>
#include <functional>
#include <optional>
#include <utility>
#include <variant>

namespace talvo {

class DeviceLink;

class Pacer {
  public:
    virtual ~Pacer() = default;
    // Spends a wait of `ticks` ticks of the clock the sequence counts in.
    // False when the sequence must end at once: its front end is gone (a
    // window closed, the program ends, a second Ctrl+C).
    virtual bool waitTicks(int ticks) = 0;
    // The front end's turn between two reports: the windows handle the
    // events that are waiting, a terminal may draw its progress. False as
    // for waitTicks.
    virtual bool pass() = 0;
    // The time a sequence measures its own bounds by (how long the ROM
    // write polls for its checksum). Tests that drive a simulated clock
    // give their own.
    virtual std::chrono::steady_clock::time_point now() const {
        return std::chrono::steady_clock::now();
    }
};

// Asked where a sequence may end early at the user's wish (the capture's
// stop button, a first Ctrl+C); true: stop there, with the sequence's own
// closing steps.
using StopRequest = std::function<bool()>;

// What a sequence does once the link reports the device gone or silent
// (DeviceLink::deviceLost). The windows go on: failed reads alone do not tell
// them the device went. They learn it from the system (the main window
// follows the device as it is pulled out), and their stop request ends the
// sequence then, as the user's stop would. A terminal ends the sequence at
// once and says why.
enum class OnDeviceLost { GoOn, End };

// What a front end lends every sequence that waits.
struct FrontEnd {
    Pacer& pacer;
    StopRequest stop = {};
    OnDeviceLost on_lost = OnDeviceLost::GoOn;
};

// How a sequence ended, in the same words for every operation. What it came
// to (the picture's size, the two sums, a refused file) is the operation's
// own detail beside it.
enum class Ending {
    Done,          // ran its course; the detail tells what came of it
    Stopped,       // the user's stop request, honoured with the sequence's closing steps
    FrontEndGone,  // the pacer said the front end went away: nothing more went out
                   // but what the sequence's own closing steps owe the device
    DeviceLost,    // writes or reads failed: the node is gone (only with OnDeviceLost::End)
    WriteFailed,   // the device, still there, did not take a report, even sent again (only
                   // with OnDeviceLost::End)
    DeviceSilent,  // reads in a row waited out their full wait (with OnDeviceLost::End; a
                   // capture gives up on a silent device under either setting)
    DeviceBusy,    // another sequence holds the link: nothing was sent
};

template <typename Detail = std::monostate>
struct Outcome {
    Ending ending = Ending::Done;
    Detail detail{};

    bool done() const { return ending == Ending::Done; }
};

// Calls an observer's member where the front end set it; front ends leave
// empty what they do not show.
template <typename Signature, typename... Args>
void Tell(const std::function<Signature>& listener, Args&&... args) {
    if (listener) listener(std::forward<Args>(args)...);
}

// WriteFailed, DeviceLost or DeviceSilent once the link says a report did
// not go out or the device went, and only when the front end asked to end
// then; nullopt while the sequence goes on.
std::optional<Ending> EndingOnTrouble(const DeviceLink& link, OnDeviceLost on_lost);

// Spends every tick asleep, for front ends without an event loop: a tick of
// the main window's clock is 10 ms, one of the capture window's 100 ms.
class SleepingPacer : public Pacer {
  public:
    explicit SleepingPacer(
        std::chrono::milliseconds tick, std::function<bool()> gone = [] { return false; },
        std::function<void()> on_pass = {});
    bool waitTicks(int ticks) override;
    bool pass() override;

  private:
    std::chrono::milliseconds tick_;
    std::function<bool()> gone_;
    std::function<void()> on_pass_;
};

inline constexpr std::chrono::milliseconds kMainTick{10};
inline constexpr std::chrono::milliseconds kCaptureTick{100};

}  // namespace talvo
