#pragma once
// The 64 x 32 pictures of the capture window's picture buttons.

#include <QPixmap>

namespace talvo {

enum class CaptureButtonPicture { Capture, Stop, Save, Close };

inline constexpr int kButtonPictureWidth = 64;
inline constexpr int kButtonPictureHeight = 32;

QPixmap DrawButtonPicture(CaptureButtonPicture picture);

}  // namespace talvo
