#include "capture/capture_operations.h"

#include <utility>

#include "capture/capture_texts.h"
#include "capture/slot_operations.h"
#include "remote/key_table.h"

namespace talvo {
namespace {

namespace texts = capture_texts;

// A device that let this many reads in a row run into their wait has
// stopped answering; going on would keep the front end deaf to a stop for
// hours (a picture takes up to 120 000 reads).
constexpr int kSilentReadsToGiveUp = 3;

// The last read waited out its full wait. A read that another sequence's
// hold on the link turned away returned at once, and the link did not count
// it: it is no such read, whatever the holder's last read was.
bool WaitedOut(const DeviceLink& link) {
    return !link.heldExclusively() && link.health().last_read == ReadOutcome::TimedOut;
}

void SendCaptureEnd(DeviceLink& link) {
    link.CommandBytes[0] = kCaptureEndCommand;
    link.CommandBytes[1] = 0x00;
    link.exchange();
}

CaptureOutcome EndCapture(DeviceLink& link, const CaptureObserver& observer,
                          CaptureOutcome outcome) {
    Tell(observer.before_capture_end);
    SendCaptureEnd(link);
    return outcome;
}

// The front end went away between two lines. The device still needs to hear
// that the capture is over, unless the program closed it on its way out.
CaptureOutcome FrontEndWent(DeviceLink& link, const CaptureObserver& observer,
                            CaptureOutcome outcome) {
    outcome.ending = Ending::FrontEndGone;
    outcome.detail.program_ending = observer.program_ending && observer.program_ending();
    if (!outcome.detail.program_ending) SendCaptureEnd(link);
    return outcome;
}

// A sequence that ran its course to what the device's answers made of it.
CaptureOutcome RanItsCourse(CaptureCheck check) {
    CaptureOutcome outcome;
    outcome.detail.check = check;
    return outcome;
}

// Reads the line's reports into `line`. Stops early once the device has gone
// silent or, where the front end asked so, is lost; returns the silent reads
// in a row it ended with.
int ReadLine(DeviceLink& link, std::span<uint8_t> line, int reports, int silent_reads,
             OnDeviceLost on_lost) {
    for (int r = 0;
         r < reports && silent_reads < kSilentReadsToGiveUp && !EndingOnTrouble(link, on_lost);
         ++r) {
        link.ReadResponse();
        silent_reads = WaitedOut(link) ? silent_reads + 1 : 0;
        // Bytes past a short report read as 0.
        LineReportData data;
        for (int i = 0; i < kReportDataBytes; ++i) data[size_t(i)] = link.ResponseBuffer[i + 1];
        StoreLineReport(line, r, data);
    }
    return silent_reads;
}

}  // namespace

CaptureOutcome CheckCaptureReady(DeviceLink& link, const CaptureObserver& observer,
                                 OnDeviceLost on_lost) {
    if (link.heldExclusively()) return {Ending::DeviceBusy};
    ShowLivePicture(link);
    link.CommandBytes[0] = kRemoteKeyCommand;
    link.CommandBytes[1] = kCaptureReadyKey;
    link.exchange();
    // The argument element still holds the key.
    link.CommandBytes[0] = kPictureInfoCommand;
    link.exchange();
    if (const auto trouble = EndingOnTrouble(link, on_lost)) return {*trouble};
    if (link.ResponseBuffer[5] == kCaptureFpgaSelection) {
        Tell(observer.status, texts::kReady);
        return {};
    }
    Tell(observer.status, texts::kSelectFpga);
    return RanItsCourse(CaptureCheck::NotReady);
}

CaptureOutcome RunCapture(DeviceLink& link, CaptureState& state, const FrontEnd& front,
                          const CaptureObserver& observer) {
    if (link.heldExclusively()) return {Ending::DeviceBusy};
    state.stop_requested = 0;
    link.CommandBytes[0] = kPictureInfoCommand;
    link.exchange();
    if (const auto trouble = EndingOnTrouble(link, front.on_lost))
        return EndCapture(link, observer, {*trouble});
    const auto width = uint16_t(link.ResponseBuffer[1] + 256 * link.ResponseBuffer[2]);
    const auto height = uint16_t(link.ResponseBuffer[3] + 256 * link.ResponseBuffer[4]);
    const std::optional<PictureSize> size = CheckPictureSize(width, height);
    if (!size) {
        // The previous picture and the sizes that describe it stay as they were.
        Tell(observer.status, texts::kNoInput);
        return EndCapture(link, observer, RanItsCourse(CaptureCheck::SizeRejected));
    }
    state.source_width = size->source_width;
    state.transfer_width = size->transfer_width;
    state.frame_width = size->frame_width;
    state.frame_height = size->frame_height;
    Tell(observer.size_accepted, std::as_const(state));
    Tell(observer.status, PictureInfoText(state.frame_width, state.frame_height));
    state.frame_buffer.assign(size_t(size->frameBytes()), 0);

    CaptureOutcome outcome = RanItsCourse(CaptureCheck::Passed);
    outcome.detail.size = size;
    const int reports = size->reportsPerLine();
    const size_t line_bytes = size_t(size->frame_width) * 3;
    int silent_reads = 0;
    for (int32_t y = 0; y < size->frame_height; ++y) {
        link.CommandBytes[0] = kLineRequestCommand;
        link.CommandBytes[1] = uint8_t(reports);
        link.SendCommand();
        const std::span<uint8_t> line(state.frame_buffer.data() + size_t(y) * line_bytes,
                                      line_bytes);
        silent_reads = ReadLine(link, line, reports, silent_reads, front.on_lost);
        if (state.source_width < state.frame_width) BlackenLineTail(line, state.source_width);
        Tell(observer.line, int(y), std::span<const uint8_t>(line));

        if (!front.pacer.pass()) return FrontEndWent(link, observer, outcome);
        if (front.stop && front.stop()) {
            outcome.ending = Ending::Stopped;
            break;
        }
        if (silent_reads >= kSilentReadsToGiveUp) {
            Tell(observer.status, texts::kDeviceSilent);
            outcome.ending = Ending::DeviceSilent;
            break;
        }
        if (const auto trouble = EndingOnTrouble(link, front.on_lost)) {
            outcome.ending = *trouble;
            break;
        }
    }
    return EndCapture(link, observer, outcome);
}

}  // namespace talvo
