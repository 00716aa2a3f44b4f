#pragma once
// The pictures the remote control is drawn with. Each is drawn at a device
// pixel ratio, so that it is sharp on a screen of any resolution; its
// logical size is the size the window lays it out at.

#include <QPixmap>

#include "remote/key_table.h"

namespace talvo {

enum class KeyFace { Up, Pressed };

QPixmap DrawKeyPicture(const RemoteKey& key, qreal device_pixel_ratio, KeyFace face = KeyFace::Up);
// At the highest ratio among the screens.
QPixmap DrawKeyPicture(const RemoteKey& key);

// The window's background: 225 x 579, drawn behind the groups and buttons.
QPixmap DrawRemoteBackground(qreal device_pixel_ratio);
QPixmap DrawRemoteBackground();

}  // namespace talvo
