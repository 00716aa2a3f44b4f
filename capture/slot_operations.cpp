#include "capture/slot_operations.h"

#include "capture/capture_protocol.h"

namespace talvo {

void SendSlotCode(DeviceLink& link, uint8_t code) {
    link.CommandBytes[0] = kImageSlotCommand;
    link.CommandBytes[1] = code;
    link.SendCommand();
    link.ReadResponse();
}

int FirstFreeSlot(const std::array<bool, kImageSlots>& ticked) {
    for (int slot = 1; slot <= kImageSlots; ++slot)
        if (!ticked[size_t(slot - 1)]) return slot;
    return 0;
}

bool RecordSlot(DeviceLink& link, int slot, Pacer& pacer) {
    if (!IsImageSlot(slot)) return false;
    const SlotCodes codes = CodesOfSlot(slot);
    SendSlotCode(link, codes.record_first);
    if (!pacer.waitTicks(kRecordFirstWait)) return false;
    SendSlotCode(link, codes.record_second);
    if (!pacer.waitTicks(kRecordSecondWait)) return false;
    SendSlotCode(link, codes.record_third);
    return true;
}

bool ShowSlot(DeviceLink& link, int slot) {
    if (!IsImageSlot(slot)) return false;
    SendSlotCode(link, CodesOfSlot(slot).show);
    return true;
}

void ShowLivePicture(DeviceLink& link) { SendSlotCode(link, kLivePictureCode); }

}  // namespace talvo
