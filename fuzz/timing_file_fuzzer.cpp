// Any file as a timing data file: the loader takes the first 256 bytes of a
// file long enough and leaves the image untouched otherwise.

#include <algorithm>
#include <cstdint>
#include <cstdlib>

#include "fuzz/fuzz_file.h"
#include "timing/timing_file.h"

namespace {

talvo::TimingImage Before() {
    talvo::TimingImage image;
    for (size_t i = 0; i < image.size(); ++i) image[i] = uint8_t(0xA5 ^ i);
    return image;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString path = talvo::fuzz::WriteFuzzFile({data, size}, int64_t(size));
    const talvo::TimingImage before = Before();
    talvo::TimingImage image = before;
    const bool loaded = talvo::LoadTimingFile(path, image);

    const auto load_length = size_t(talvo::kTimingFileLoadLength);
    if (loaded != (size >= load_length)) std::abort();
    if (!loaded) {
        if (image != before) std::abort();
        return 0;
    }
    if (!std::equal(data, data + load_length, image.begin())) std::abort();
    if (!std::equal(before.begin() + load_length, before.end(), image.begin() + load_length))
        std::abort();
    return 0;
}
