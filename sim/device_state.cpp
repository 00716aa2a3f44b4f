#include "sim/device_state.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace talvo::sim {
namespace {

constexpr char kMagic[] = "TALVO4-SIM\n";  // with the version after it
constexpr uint8_t kVersion = 1;
constexpr size_t kHeaderSize = sizeof kMagic - 1 + 1;
constexpr size_t kSlotsSize = 4 + 1;
constexpr size_t kSumSize = 4;
constexpr size_t kFileSize =
    kHeaderSize + RomModel::kSize + TimingModel::kBlockSize + kSlotsSize + kSumSize;

// FNV-1a: a file cut short or changed by hand is told from a kept state.
uint32_t Sum(const char* data, size_t size) {
    uint32_t hash = 2166136261u;
    for (size_t i = 0; i < size; ++i) hash = (hash ^ uint8_t(data[i])) * 16777619u;
    return hash;
}

std::string Reason(const std::string& what) { return what + ": " + std::strerror(errno); }

}  // namespace

std::string DeviceStateBytes(const TalvoModel& talvo) {
    std::string bytes;
    bytes.reserve(kFileSize);
    bytes.append(kMagic, sizeof kMagic - 1);
    bytes.push_back(char(kVersion));
    const auto& rom = talvo.rom.contents();
    bytes.append(rom.begin(), rom.end());
    const auto& block = talvo.timing.block();
    bytes.append(block.begin(), block.end());
    for (bool recorded : talvo.capture.image_slots.recorded) bytes.push_back(recorded ? 1 : 0);
    bytes.push_back(char(talvo.capture.image_slots.shown));
    const uint32_t sum = Sum(bytes.data(), bytes.size());
    for (int shift = 0; shift < 32; shift += 8) bytes.push_back(char(sum >> shift));
    return bytes;
}

StateLoad LoadDeviceState(const std::string& path, TalvoModel& talvo, std::string& why) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0 && errno == ENOENT) return StateLoad::Absent;
    if (fd < 0) {
        why = Reason("cannot open it");
        return StateLoad::Unreadable;
    }
    // One byte more than a state has, to see a longer file as wrong.
    std::string bytes(kFileSize + 1, '\0');
    size_t got = 0;
    while (got < bytes.size()) {
        const ssize_t n = ::read(fd, bytes.data() + got, bytes.size() - got);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            why = Reason("cannot read it");
            ::close(fd);
            return StateLoad::Unreadable;
        }
        if (n == 0) break;
        got += size_t(n);
    }
    ::close(fd);
    bytes.resize(got);
    const auto byte = [&bytes](size_t at) { return uint8_t(bytes[at]); };
    uint32_t kept_sum = 0;
    if (got == kFileSize)
        for (size_t i = 0; i < kSumSize; ++i)
            kept_sum |= uint32_t(byte(got - kSumSize + i)) << 8 * i;
    if (got != kFileSize || bytes.compare(0, sizeof kMagic - 1, kMagic) != 0 ||
        byte(kHeaderSize - 1) != kVersion || kept_sum != Sum(bytes.data(), got - kSumSize)) {
        why = "not a state this program wrote, or cut short";
        return StateLoad::Unreadable;
    }
    const auto* rom = reinterpret_cast<const uint8_t*>(bytes.data()) + kHeaderSize;
    const uint8_t* block = rom + RomModel::kSize;
    const uint8_t* slot_bytes = block + TimingModel::kBlockSize;
    ImageSlots kept;
    for (size_t i = 0; i < kept.recorded.size(); ++i) kept.recorded[i] = slot_bytes[i] != 0;
    kept.shown = slot_bytes[kept.recorded.size()];
    if (kept.shown > kept.recorded.size()) {
        why = "it shows an image slot the device does not have";
        return StateLoad::Unreadable;
    }
    talvo.rom.restore({rom, RomModel::kSize});
    std::copy_n(block, TimingModel::kBlockSize, talvo.timing.block().begin());
    talvo.capture.image_slots = kept;
    return StateLoad::Loaded;
}

bool SaveDeviceState(const std::string& path, const std::string& bytes, std::string& why) {
    const std::string beside = path + ".new";
    const int fd =
        ::open(beside.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        why = Reason("cannot create " + beside);
        return false;
    }
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            why = Reason("cannot write " + beside);
            ::close(fd);
            ::unlink(beside.c_str());
            return false;
        }
        done += size_t(n);
    }
    if (::close(fd) != 0 || ::rename(beside.c_str(), path.c_str()) != 0) {
        why = Reason("cannot put " + beside + " in place");
        ::unlink(beside.c_str());
        return false;
    }
    return true;
}

void MakeFresh(TalvoModel& talvo) {
    talvo.rom.makeFresh();
    talvo.timing.block() = TimingModel::PlausibleBlock();
    talvo.capture.image_slots = ImageSlots();
}

}  // namespace talvo::sim
