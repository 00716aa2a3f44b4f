#pragma once
// Captions and messages of the main window, exactly as the tool shows them.

#include <QString>

namespace talvo::texts {

inline const QString kMainCaption = QStringLiteral("TALVO-4 映像信号調整TOOL Ver 0.80");
inline const QString kConnected = QStringLiteral("ＴＡＬＶＯ－４  Ｃｏｎｎｅｃｔ");
inline const QString kNotConnected = QStringLiteral("ＴＡＬＶＯ－４\u3000No\u3000Ｃｏｎｎｅｃｔ");
// Tooltip and accessible description of Text1 when a TALVO-4 is plugged in
// but this user may not open it.
inline const QString kNoPermissionHint = QStringLiteral(
    "TALVO-4 は接続されていますが、このユーザーには開く権限がありません。"
    "udev ルール 70-talvo4.rules で許可できます");
inline const QString kCommand1Caption = QStringLiteral("入出力映像信号調整");
inline const QString kCommand2Caption = QStringLiteral("リモートコントロール");
inline const QString kCommand3Caption = QStringLiteral("キャプチャー");
inline const QString kCommand10Caption = QStringLiteral("ombrix cmd\u3000load");

}  // namespace talvo::texts
