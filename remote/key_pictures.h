#pragma once
// The pictures the remote control is drawn with.

#include <QPixmap>

#include "remote/key_table.h"

namespace talvo {

QPixmap DrawKeyPicture(const RemoteKey& key);
// The window's background: 225 x 579, drawn behind the groups and buttons.
QPixmap DrawRemoteBackground();

}  // namespace talvo
