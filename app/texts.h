#pragma once
// Captions and messages of the main window, exactly as the tool shows them.

#include <QString>

#include "device/interface_lock.h"

namespace talvo::texts {

inline const QString kMainCaption = QStringLiteral("TALVO-4 映像信号調整TOOL Ver 0.80");
inline const QString kConnected = QStringLiteral("ＴＡＬＶＯ－４  Ｃｏｎｎｅｃｔ");
inline const QString kNotConnected = QStringLiteral("ＴＡＬＶＯ－４\u3000No\u3000Ｃｏｎｎｅｃｔ");
// The next step both hints below end with: the terminal tool's check of
// everything between this user and the device.
inline const QString kDoctorStep =
    QStringLiteral("。原因と直し方は次のコマンドで確認できます：talvo4ctl doctor");
// Tooltip and accessible description of Text1 when a TALVO-4 is plugged in
// but this user may not open it.
inline const QString kNoPermissionHint =
    QStringLiteral(
        "TALVO-4 は接続されていますが、このユーザーには開く権限がありません。"
        "udev ルール 70-talvo4.rules で許可できます") +
    kDoctorStep;
// Tooltip and accessible description of Text1 when another program holds
// the TALVO-4, naming it as far as it is known. The name comes from the
// system's process table and may hold any byte; whatever is not printable
// ASCII shows as '?', so that the text stays within the code page.
inline QString InUseHint(const LockHolder& holder) {
    QString who = QStringLiteral("他のプログラム");
    if (!holder.program.empty()) {
        who += QLatin1Char(' ');
        for (const char c : holder.program)
            who += c >= 0x20 && c < 0x7F ? QLatin1Char(c) : QLatin1Char('?');
    }
    if (holder.pid > 0) who += QStringLiteral("（プロセス ID %1）").arg(holder.pid);
    return QStringLiteral(
               "TALVO-4 は%1が使用中です。"
               "そのプログラムを終了してから、このツールを起動し直してください")
               .arg(who) +
           kDoctorStep;
}
inline const QString kCommand1Caption = QStringLiteral("入出力映像信号調整");
inline const QString kCommand2Caption = QStringLiteral("リモートコントロール");
inline const QString kCommand3Caption = QStringLiteral("キャプチャー");
inline const QString kCommand10Caption = QStringLiteral("ombrix cmd\u3000load");

}  // namespace talvo::texts
