#include "capture/slot_operations.h"

#include "capture/capture_protocol.h"

namespace talvo {
namespace {

void SendSlotCode(DeviceLink& link, uint8_t code) {
    link.CommandBytes[0] = kImageSlotCommand;
    link.CommandBytes[1] = code;
    link.exchange();
}

// The ending of a sequence that sent all it had to.
template <typename Detail>
Outcome<Detail> Sent(const DeviceLink& link, OnDeviceLost on_lost, Detail detail) {
    return {EndingOnTrouble(link, on_lost).value_or(Ending::Done), detail};
}

}  // namespace

int FirstFreeSlot(const std::array<bool, kImageSlots>& ticked) {
    for (int slot = 1; slot <= kImageSlots; ++slot)
        if (!ticked[size_t(slot - 1)]) return slot;
    return 0;
}

Outcome<SlotCheck> RecordSlot(DeviceLink& link, int slot, const FrontEnd& front) {
    if (link.heldExclusively()) return {Ending::DeviceBusy};
    if (!IsImageSlot(slot)) return {Ending::Done, SlotCheck::NoSuchSlot};
    const SlotCodes codes = CodesOfSlot(slot);
    SendSlotCode(link, codes.record_first);
    if (!front.pacer.waitTicks(kRecordFirstWait)) return {Ending::FrontEndGone};
    SendSlotCode(link, codes.record_second);
    if (!front.pacer.waitTicks(kRecordSecondWait)) return {Ending::FrontEndGone};
    SendSlotCode(link, codes.record_third);
    return Sent(link, front.on_lost, SlotCheck::Passed);
}

Outcome<SlotCheck> ShowSlot(DeviceLink& link, int slot, OnDeviceLost on_lost) {
    if (link.heldExclusively()) return {Ending::DeviceBusy};
    if (!IsImageSlot(slot)) return {Ending::Done, SlotCheck::NoSuchSlot};
    SendSlotCode(link, CodesOfSlot(slot).show);
    return Sent(link, on_lost, SlotCheck::Passed);
}

Outcome<> ShowLivePicture(DeviceLink& link, OnDeviceLost on_lost) {
    if (link.heldExclusively()) return {Ending::DeviceBusy};
    SendSlotCode(link, kLivePictureCode);
    return Sent(link, on_lost, std::monostate{});
}

}  // namespace talvo
