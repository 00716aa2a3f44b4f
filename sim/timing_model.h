#pragma once
// The OMBRIX-3 timing block as the timing window sees it: 80 bytes at a
// register base and page that the device reports when timing mode starts.

#include <array>
#include <cstdint>
#include <optional>

#include "device/device_link.h"
#include "sim/answers.h"

namespace talvo::sim {

class TimingModel {
  public:
    static constexpr size_t kBlockSize = 80;
    using Block = std::array<uint8_t, kBlockSize>;

    TimingModel();

    // Every timing command gets exactly one answer, since the tool reads one
    // after each of them.
    void command(const CommandArray& command, Answers& answers);

    // The register address of block offset 0 and the page byte that every
    // read and write must carry; reported in the answer to timing-mode start.
    void setBase(uint8_t base) { base_ = base; }
    void setPage(uint8_t page) { page_ = page; }
    uint8_t base() const { return base_; }
    uint8_t page() const { return page_; }

    Block& block() { return block_; }
    const Block& block() const { return block_; }
    // The block the model starts with: every parameter at a plausible value
    // within its range, the bytes between them non-zero so that carrying
    // them along is visible.
    static Block PlausibleBlock();

    bool inTimingMode() const { return in_timing_mode_; }
    int modeStarts() const { return mode_starts_; }
    int modeEnds() const { return mode_ends_; }
    int reads() const { return reads_; }
    int writes() const { return writes_; }
    // Writes whose address or page missed the block.
    int strayWrites() const { return stray_writes_; }
    int writeEnds() const { return write_ends_; }
    std::optional<CommandArray> lastWriteEnd() const { return last_write_end_; }

  private:
    // Block offset an address byte points at, if the page is right and the
    // address lies within the block.
    std::optional<size_t> offsetOf(uint8_t address, uint8_t page) const;
    void read(const CommandArray& command, Answers& answers);
    void write(const CommandArray& command);

    Block block_;
    uint8_t base_ = 0x20;
    uint8_t page_ = 0x5A;
    bool in_timing_mode_ = false;
    int mode_starts_ = 0;
    int mode_ends_ = 0;
    int reads_ = 0;
    int writes_ = 0;
    int stray_writes_ = 0;
    int write_ends_ = 0;
    std::optional<CommandArray> last_write_end_;
};

}  // namespace talvo::sim
