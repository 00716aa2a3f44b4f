#pragma once
// The 64 x 32 pictures of the capture window's picture buttons.

#include <QPixmap>

namespace talvo {

enum class CaptureButtonPicture { Capture, Stop, Save, Close };

inline constexpr int kButtonPictureWidth = 64;
inline constexpr int kButtonPictureHeight = 32;

// Drawn at the highest device pixel ratio among the screens, so that the
// picture is sharp on any of them; its logical size is 64 x 32.
QPixmap DrawButtonPicture(CaptureButtonPicture picture);
QPixmap DrawButtonPicture(CaptureButtonPicture picture, qreal device_pixel_ratio);

}  // namespace talvo
