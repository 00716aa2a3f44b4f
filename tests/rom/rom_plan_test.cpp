// The ROM write's arithmetic and texts: plan, wire fields, command layouts,
// sums, the status texts, and reading the file eight bytes at a time.

#include <sys/stat.h>

#include "tests/support/test_main.h"

#include "rom/rom_file.h"
#include "rom/rom_plan.h"
#include "rom/rom_texts.h"
#include "tests/support/rig.h"

using namespace talvo;

using Bytes = std::vector<uint8_t>;
Q_DECLARE_METATYPE(Bytes)

namespace {
Bytes ToBytes(const CommandArray& c) { return Bytes(c.begin(), c.end()); }
}  // namespace

class RomPlanTest : public QObject {
    Q_OBJECT
  private slots:
    void plan_data() {
        QTest::addColumn<qint64>("file_length");
        QTest::addColumn<int>("L");
        QTest::addColumn<int>("N");
        QTest::addColumn<int>("B");
        QTest::addColumn<int>("S");
        const struct {
            const char* name;
            qint64 length;
            int l, n, b, s;
        } table[] = {
            {"empty", 0, 0, 0, 0, 0},
            {"negative", -5, 0, 0, 0, 0},
            {"one byte", 1, 8, 1, 0, 1},
            {"13 bytes", 13, 16, 13, 0, 1},
            {"one sector and a byte", 4097, 4104, 4097, 0, 2},
            {"one block: eight sectors", 32768, 32768, 32768, 0, 8},
            {"one block and a byte", 32769, 32776, 32769, 1, 1},
            {"40000 bytes", 40000, 40000, 40000, 1, 2},
            {"1 MiB less one", 1048575, 1048576, 1048575, 31, 8},
            {"1 MiB", 1048576, 1048576, 1048576, 31, 8},
            {"more than 1 MiB", 5000000, 1048576, 1048576, 31, 8},
        };
        for (const auto& row : table)
            QTest::newRow(row.name) << row.length << row.l << row.n << row.b << row.s;
    }
    void plan() {
        QFETCH(qint64, file_length);
        const WritePlan plan = PlanWrite(file_length);
        QTEST(plan.transfer_length, "L");
        QTEST(plan.checksum_length, "N");
        QTEST(plan.blocks, "B");
        QTEST(plan.sectors, "S");
    }

    // The erases cover every byte sent and reach at most into the sector
    // after it, for every length a write can have.
    void eraseCoversTheTransferTightly() {
        for (int64_t length = 1; length <= kMaxWriteLength + 8; ++length) {
            const WritePlan plan = PlanWrite(length);
            const int64_t covered = int64_t(plan.blocks) * kBlockSize + plan.sectors * kSectorSize;
            if (covered < plan.transfer_length || covered - plan.transfer_length >= kSectorSize ||
                plan.transfer_length % 8 != 0)
                QFAIL(qPrintable(QStringLiteral("length %1").arg(length)));
        }
    }

    void eraseAddresses() {
        const int32_t at = kRomAddress;
        QCOMPARE(BlockAddresses(PlanWrite(40000), at), std::vector<int32_t>{0xE8000});
        QCOMPARE(SectorAddresses(PlanWrite(40000), at), (std::vector<int32_t>{0xF0000, 0xF1000}));
        QVERIFY(BlockAddresses(PlanWrite(32768), at).empty());
        const auto sectors = SectorAddresses(PlanWrite(32768), at);
        QCOMPARE(sectors.size(), size_t(8));
        QCOMPARE(sectors.front(), 0xE8000);
        QCOMPARE(sectors.back(), 0xEF000);
        const auto whole = PlanWrite(1048576);
        QCOMPARE(BlockAddresses(whole, at).back(), 0xE8000 + 30 * 0x8000);
        QCOMPARE(SectorAddresses(whole, at).front(), 0x1E0000);
        QCOMPARE(SectorAddresses(whole, at).back(), 0x1E7000);
    }

    void commandLayouts_data() {
        QTest::addColumn<Bytes>("command");
        QTest::addColumn<Bytes>("expected");
        QTest::newRow("block erase") << ToBytes(EraseBlockCommand(0xE8000))
                                     << Bytes{5, 0, 0x00, 0x80, 0x0E, 0x55, 0xAA, 0x55};
        QTest::newRow("sector erase") << ToBytes(EraseSectorCommand(0xF1000))
                                      << Bytes{4, 0, 0x00, 0x10, 0x0F, 0x55, 0xAA, 0x55};
        QTest::newRow("write start, 13-byte file")
            << ToBytes(WriteStartCommand(0xE8000, 16)) << Bytes{1, 0, 0x00, 0x80, 0x0E, 0x10, 0, 0};
        QTest::newRow("write start, 1 MiB") << ToBytes(WriteStartCommand(0xE8000, 1048576))
                                            << Bytes{1, 0, 0, 0x80, 0x0E, 0, 0, 0x10};
        QTest::newRow("checksum request, 13-byte file")
            << ToBytes(ChecksumRequestCommand(0xE8000, 13))
            << Bytes{6, 0, 0, 0x80, 0x0E, 0x0D, 0, 0};
        QTest::newRow("status poll") << ToBytes(kStatusPoll) << Bytes(8, 0);
        // Only three bytes travel; a negative value goes by floor division.
        QTest::newRow("address past 24 bits") << ToBytes(WriteStartCommand(0x1ABCDEF, 0xFFFFFF))
                                              << Bytes{1, 0, 0xEF, 0xCD, 0xAB, 0xFF, 0xFF, 0xFF};
        QTest::newRow("negative address")
            << ToBytes(ChecksumRequestCommand(-256, 8)) << Bytes{6, 0, 0x00, 0xFF, 0xFF, 8, 0, 0};
    }
    void commandLayouts() {
        QFETCH(Bytes, command);
        QFETCH(Bytes, expected);
        QCOMPARE(command, expected);
    }

    void checksumStatus() {
        InputReport response;
        QVERIFY(!ReadChecksumStatus(response).ready);  // no report at all
        response.reset(65);
        auto bytes = response.writable();
        bytes[1] = 1, bytes[2] = 0x34, bytes[3] = 0x12;
        QVERIFY(ReadChecksumStatus(response).ready);
        QCOMPARE(ReadChecksumStatus(response).device_sum, uint16_t(0x1234));
        bytes[1] = 0x81;  // only exactly 1 means ready
        QVERIFY(!ReadChecksumStatus(response).ready);
    }

    void sumWrapsAt16Bits() {
        const Bytes ff(258, 0xFF);
        QCOMPARE(AddToSum(0, ff), uint16_t(258 * 255 % 65536));
        QCOMPARE(AddToSum(0xFFFF, Bytes{1}), uint16_t(0));
    }

    void texts_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        QTest::newRow("hex zero") << rom_texts::Hex(0) << "0";
        QTest::newRow("hex upper case") << rom_texts::Hex(0xABCDEF) << "ABCDEF";
        QTest::newRow("progress 0") << rom_texts::ProgressText(0) << "0byte";
        QTest::newRow("progress 1F8") << rom_texts::ProgressText(0x1F8) << "1F8byte";
        QTest::newRow("progress last of 1 MiB") << rom_texts::ProgressText(0xFFFF8) << "FFFF8byte";
        QTest::newRow("success 2F")
            << rom_texts::VerdictText(0x2F, 0x2F) << "Chack sum=002F  Write OK  rom=2F file=2F";
        QTest::newRow("success 0")
            << rom_texts::VerdictText(0, 0) << "Chack sum=0000  Write OK  rom=0 file=0";
        QTest::newRow("success FFFF") << rom_texts::VerdictText(0xFFFF, 0xFFFF)
                                      << "Chack sum=FFFF  Write OK  rom=FFFF file=FFFF";
        QTest::newRow("error") << rom_texts::VerdictText(0x1234, 0x1235)
                               << "Write error  rom=1234 file=1235";
    }
    void texts() {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        QCOMPARE(text, expected);
    }

    void newTextsAreShortAndCp932() {
        for (const QString& text : {rom_texts::kOpenTitle, rom_texts::kEmptyFile,
                                    rom_texts::kUnreadableFile, rom_texts::kNoChecksum}) {
            QVERIFY2(talvo::testing::EncodesInCp932(text), qPrintable(text));
            QVERIFY(text.size() <= 12);
        }
    }

    // The planned bytes are read, reports past them are zeros, and a file
    // that ends before them (shortened since the plan) is no report at all
    // from there on, never one filled up with zeros.
    void fileIsReadInZeroFilledReports_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<int>("expected");
        QTest::addColumn<int>("reports");  // that read before the first that fails; -1: none fails
        QTest::newRow("13 bytes") << QByteArray("ABCDEFGHIJKLM") << 13 << -1;
        QTest::newRow("planned past its end, at a report's end")
            << QByteArray("ABCDEFGH") << 13 << 1;
        QTest::newRow("planned past its end, inside a report")
            << QByteArray("ABCDEFGHIJ") << 13 << 1;
        QTest::newRow("empty, planned for 13") << QByteArray() << 13 << 0;
    }
    void fileIsReadInZeroFilledReports() {
        QFETCH(QByteArray, content);
        QFETCH(int, expected);
        QFETCH(int, reports);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("file.bin"));
        QVERIFY(testing::WriteFile(path, content));
        RomFile file;
        QVERIFY(file.open(path));
        QCOMPARE(file.length(), content.size());
        file.expect(expected);
        const QByteArray padded = content.leftJustified(24, '\0');
        for (int i = 0; i < 3; ++i) {
            const std::optional<RomReportData> data = file.next();
            QCOMPARE(data.has_value(), reports < 0 || i < reports);
            if (!data) break;
            RomReportData wanted{};
            if (i * 8 < expected)
                std::copy_n(padded.constData() + i * 8, 8, reinterpret_cast<char*>(wanted.data()));
            QCOMPARE(*data, wanted);
        }
        QVERIFY(file.open(path));
        const std::optional<uint16_t> sum = SumReports(file, 2);
        QCOMPARE(sum.has_value(), reports < 0);
        if (sum)
            QCOMPARE(*sum,
                     AddToSum(0, std::span(reinterpret_cast<const uint8_t*>(content.constData()),
                                           size_t(content.size()))));
    }

    // None of these may block the tool or count as a file to write.
    void onlyRegularFilesOpen() {
        QTemporaryDir dir;
        const QString fifo = dir.filePath(QStringLiteral("pipe"));
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        RomFile file;
        QVERIFY(!file.open(fifo));
        QVERIFY(!file.open(dir.path()));
        QVERIFY(!file.open(dir.filePath(QStringLiteral("missing.bin"))));
        QVERIFY(!file.next());
    }
};

TALVO_TEST_MAIN(RomPlanTest)
#include "rom_plan_test.moc"
