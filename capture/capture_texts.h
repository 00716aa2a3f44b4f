#pragma once
// Captions and messages of the capture window, exactly as the tool shows them.

#include <QString>

namespace talvo::capture_texts {

inline const QString kCaption = QStringLiteral("TALVO-4 Capture Tool");
inline const QString kReady = QStringLiteral(
    "TALVO-4 Capture 準備完了\n"
    "キャプチャー操作中は本体やリモコンのボタンを操作しないでください。");
// The first line ends with a blank.
inline const QString kSelectFpga = QStringLiteral(
    "TALVO-4 FPGA SELECTをB2にしてください。 \n"
    "TALVO-4と本アプリを再スタートしてください。");
inline const QString kNoInput = QStringLiteral("入力映像が無いか、不適切です。");
inline const QString kNothingToSave = QStringLiteral("保存できる画像がありません。");
inline const QString kSaveFailed = QStringLiteral("BMPファイルを保存できませんでした。");
inline const QString kDeviceSilent =
    QStringLiteral("TALVO-4から応答が無いため、キャプチャーを中止しました。");

inline const QString kRecord = QStringLiteral("REC");
inline const QString kStill = QStringLiteral("静止");
inline const QString kCapture = QStringLiteral("キャプチャー");
inline const QString kStop = QStringLiteral("停止");
inline const QString kSave = QStringLiteral("BMP保存");
inline const QString kClose = QStringLiteral("終了");
inline const QString kLive = QStringLiteral("再生");
inline const QString kCopy = QStringLiteral("コピー");
inline const QString kCopyDescription =
    QStringLiteral("取り込んだ画像をクリップボードにコピーする (Ctrl+C)");
inline QString SlotCaption(int slot) { return QStringLiteral("画像%1").arg(slot); }

inline const QString kSaveTitle = QStringLiteral("ファイルを保存");
inline const QString kSaveFilter = QStringLiteral("24ﾋﾞｯﾄ ﾋﾞｯﾄﾏｯﾌﾟ(*.bmp)");

}  // namespace talvo::capture_texts
