#pragma once
// The ROM write's dialog title and status texts, exactly as the tool shows them.

#include <QString>
#include <cstdint>

namespace talvo::rom_texts {

inline const QString kOpenTitle = QStringLiteral("ファイルを開く");
inline const QString kErase = QStringLiteral("Erace");
inline const QString kDownload = QStringLiteral("Download");
inline const QString kDownloadEnd = QStringLiteral("Download End");
inline const QString kChecksumStart = QStringLiteral("check sum start");
// Verdicts for what the write cannot even start on, or cannot finish.
inline const QString kEmptyFile = QStringLiteral("ファイルが空です");
inline const QString kUnreadableFile = QStringLiteral("ファイルを読めません");
inline const QString kNoChecksum = QStringLiteral("チェックサム応答なし");

// Upper-case hexadecimal without leading zeros; zero is "0".
QString Hex(uint32_t value);
// Before each data report: the offset of its first byte, then "byte".
QString ProgressText(int32_t offset);
// The success text when the sums agree, else the error text.
QString VerdictText(uint16_t device_sum, uint16_t file_sum);

}  // namespace talvo::rom_texts
