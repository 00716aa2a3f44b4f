#pragma once
// The captured picture as an image, for the clipboard and for PNG files.

#include <QImage>

#include "capture/capture_state.h"

namespace talvo {

// frame_buffer as an RGB888 image of exactly frame_width x frame_height
// pixels. A null image when there is no picture, or when the buffer does not
// hold exactly the pixels its sizes describe.
QImage FrameImage(const CaptureState& state);

}  // namespace talvo
