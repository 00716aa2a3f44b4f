#pragma once
// Input reports a simulated command produces, 64 data bytes each.

#include <array>
#include <cstdint>
#include <initializer_list>
#include <vector>

namespace talvo::sim {

inline constexpr size_t kInputDataLength = 64;
using Answer = std::array<uint8_t, kInputDataLength>;

class Answers {
  public:
    void add(const Answer& answer) { list_.push_back(answer); }
    // Data bytes from byte 1 on; the rest of the 64 are zero.
    void add(std::initializer_list<uint8_t> leading) {
        Answer answer{};
        size_t i = 0;
        for (uint8_t b : leading)
            if (i < answer.size()) answer[i++] = b;
        list_.push_back(answer);
    }
    const std::vector<Answer>& list() const { return list_; }

  private:
    std::vector<Answer> list_;
};

}  // namespace talvo::sim
