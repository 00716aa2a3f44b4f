#include "rom/rom_texts.h"

namespace talvo::rom_texts {

QString Hex(uint32_t value) { return QString::number(value, 16).toUpper(); }

QString ProgressText(int32_t offset) { return Hex(uint32_t(offset)) + QLatin1String("byte"); }

QString VerdictText(uint16_t device_sum, uint16_t file_sum) {
    const QString rom = Hex(device_sum);
    const QString file = Hex(file_sum);
    if (device_sum != file_sum)
        return QLatin1String("Write error  rom=") + rom + QLatin1String(" file=") + file;
    return QLatin1String("Chack sum=") + (QLatin1String("000000") + file).right(4) +
           QLatin1String("  Write OK  rom=") + rom + QLatin1String(" file=") + file;
}

}  // namespace talvo::rom_texts
