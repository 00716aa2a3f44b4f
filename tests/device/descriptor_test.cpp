// The report-descriptor parser against descriptors of real devices, whose
// lengths Windows (or another parser) has stated, and against broken input.

#include "tests/support/test_main.h"

#include "device/report_descriptor.h"
#include "sim/talvo_model.h"

using namespace talvo;

using Bytes = std::vector<uint8_t>;
Q_DECLARE_METATYPE(Bytes)
Q_DECLARE_METATYPE(HidCaps)

namespace {

// A sample file: "key: value" lines, '#' comments.
using Sample = QMap<QString, QString>;

constexpr qsizetype kSampleFiles = 28;

QDir SampleFolder() { return QDir(QStringLiteral(TALVO_DESCRIPTOR_DIR)); }

QStringList SampleFiles(const QString& prefix = QString()) {
    return SampleFolder().entryList({prefix + QStringLiteral("*.txt")}, QDir::Files, QDir::Name);
}

Sample LoadSample(const QString& name) {
    Sample sample;
    QFile file(SampleFolder().filePath(name));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) return sample;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.isEmpty() || line.startsWith(u'#')) continue;
        const qsizetype colon = line.indexOf(u':');
        if (colon < 0) continue;
        sample.insert(line.left(colon).trimmed(), line.mid(colon + 1).trimmed());
    }
    return sample;
}

Bytes HexBytes(const QString& hex) {
    Bytes bytes;
    for (const QString& pair : hex.split(u' ', Qt::SkipEmptyParts)) {
        bool ok = false;
        bytes.push_back(static_cast<uint8_t>(pair.toUInt(&ok, 16)));
        if (!ok) return {};
    }
    return bytes;
}

uint16_t Length(const Sample& sample, const QString& key) {
    return static_cast<uint16_t>(sample.value(key).toUInt());
}

HidCaps WindowsLengths(const Sample& sample) {
    return {Length(sample, QStringLiteral("windows_input_report_byte_length")),
            Length(sample, QStringLiteral("windows_output_report_byte_length")),
            Length(sample, QStringLiteral("windows_feature_report_byte_length"))};
}

// Extracted from annotated text, which leaves out the End Collection items the
// device's own descriptor has.
bool LacksEndCollections(const QString& name) {
    QFile file(SampleFolder().filePath(name));
    return file.open(QIODevice::ReadOnly) && file.readAll().contains("(annotated format)");
}

Bytes WithEndCollections(Bytes bytes) {
    for (int i = 0; i < 32 && !ParseReportDescriptor(bytes); ++i) bytes.push_back(0xC0);
    return bytes;
}

// Every descriptor of the sample folder, for the tests that only need bytes.
std::vector<std::pair<QString, Bytes>> AllSampleDescriptors() {
    std::vector<std::pair<QString, Bytes>> all;
    for (const QString& name : SampleFiles()) {
        const Sample sample = LoadSample(name);
        for (const char* key :
             {"real_descriptor_hex", "expected_descriptor_hex", "descriptor_hex"}) {
            const QString hex = sample.value(QString::fromLatin1(key));
            if (hex.isEmpty()) continue;
            Bytes bytes = HexBytes(hex);
            if (LacksEndCollections(name) && QLatin1String(key) == "real_descriptor_hex")
                bytes = WithEndCollections(std::move(bytes));
            all.emplace_back(name + u' ' + QLatin1String(key), std::move(bytes));
        }
    }
    return all;
}

Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

// Building blocks for hand-made descriptors.
const Bytes kAppCollection = {0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01};
const Bytes kEnd = {0xC0};
Bytes ReportSize(uint8_t bits) { return {0x75, bits}; }
Bytes ReportCount(uint8_t count) { return {0x95, count}; }
Bytes ReportId(uint8_t id) { return {0x85, id}; }
const Bytes kInput = {0x81, 0x02};
const Bytes kOutput = {0x91, 0x02};
const Bytes kFeature = {0xB1, 0x02};
const Bytes kPush = {0xA4};
const Bytes kPop = {0xB4};

}  // namespace

class DescriptorTest : public QObject {
    Q_OBJECT
  private slots:
    void sampleFolderIsComplete() {
        QVERIFY2(SampleFolder().exists(), qPrintable(SampleFolder().path()));
        QVERIFY2(SampleFiles().size() >= kSampleFiles,
                 qPrintable(QStringLiteral("%1 sample files").arg(SampleFiles().size())));
    }

    // The device's whole descriptor, judged by the collection Windows made
    // its lengths for. A sample naming several collections holds for each.
    void hidapiRealDescriptors_data() {
        QTest::addColumn<Bytes>("descriptor");
        QTest::addColumn<QList<int>>("collections");
        QTest::addColumn<int>("collectionCount");
        QTest::addColumn<HidCaps>("expected");
        QTest::addColumn<bool>("lacksEnds");
        const QStringList files = SampleFiles(QStringLiteral("hidapi_"));
        QVERIFY(files.size() >= 25);
        for (const QString& name : files) {
            const Sample sample = LoadSample(name);
            QList<int> collections;
            for (const QString& index :
                 sample.value(QStringLiteral("real_descriptor_matching_tlc_index"))
                     .split(u' ', Qt::SkipEmptyParts))
                collections.append(index.toInt());
            QVERIFY2(!collections.isEmpty(), qPrintable(name));
            QTest::newRow(qPrintable(name))
                << HexBytes(sample.value(QStringLiteral("real_descriptor_hex"))) << collections
                << sample.value(QStringLiteral("real_descriptor_top_level_collections")).toInt()
                << WindowsLengths(sample) << LacksEndCollections(name);
        }
    }
    void hidapiRealDescriptors() {
        QFETCH(Bytes, descriptor);
        QFETCH(QList<int>, collections);
        QFETCH(int, collectionCount);
        QFETCH(HidCaps, expected);
        QFETCH(bool, lacksEnds);
        QVERIFY(!descriptor.empty());
        if (lacksEnds) {
            QVERIFY2(!ParseReportDescriptor(descriptor), "an unclosed collection must be rejected");
            descriptor = WithEndCollections(std::move(descriptor));
        }
        const auto parsed = ParseReportDescriptor(descriptor);
        QVERIFY(parsed);
        QCOMPARE(int(parsed->collections.size()), collectionCount);
        for (int index : collections) {
            QVERIFY(index < collectionCount);
            const HidCaps& caps = parsed->collections[size_t(index)].caps;
            QCOMPARE(caps.InputReportByteLength, expected.InputReportByteLength);
            QCOMPARE(caps.OutputReportByteLength, expected.OutputReportByteLength);
            QCOMPARE(caps.FeatureReportByteLength, expected.FeatureReportByteLength);
        }
    }

    // hidapi's reconstruction of the same collection, with its usage.
    void hidapiReconstructedDescriptors_data() {
        QTest::addColumn<Bytes>("descriptor");
        QTest::addColumn<HidCaps>("expected");
        QTest::addColumn<bool>("usesIds");
        QTest::addColumn<uint>("usagePage");
        QTest::addColumn<uint>("usage");
        for (const QString& name : SampleFiles(QStringLiteral("hidapi_"))) {
            const Sample sample = LoadSample(name);
            QTest::newRow(qPrintable(name))
                << HexBytes(sample.value(QStringLiteral("expected_descriptor_hex")))
                << WindowsLengths(sample)
                << (sample.value(QStringLiteral("report_ids_in_tlc")) != u"0")
                << sample.value(QStringLiteral("tlc_usage_page")).toUInt(nullptr, 16)
                << sample.value(QStringLiteral("tlc_usage")).toUInt(nullptr, 16);
        }
    }
    void hidapiReconstructedDescriptors() {
        QFETCH(Bytes, descriptor);
        QFETCH(HidCaps, expected);
        QFETCH(bool, usesIds);
        QFETCH(uint, usagePage);
        QFETCH(uint, usage);
        const auto parsed = ParseReportDescriptor(descriptor);
        QVERIFY(parsed);
        QCOMPARE(parsed->collections.size(), size_t(1));
        const CollectionReportLengths& collection = parsed->collections.front();
        QCOMPARE(collection.caps.InputReportByteLength, expected.InputReportByteLength);
        QCOMPARE(collection.caps.OutputReportByteLength, expected.OutputReportByteLength);
        QCOMPARE(collection.caps.FeatureReportByteLength, expected.FeatureReportByteLength);
        QCOMPARE(parsed->uses_report_ids, usesIds);
        QCOMPARE(uint(collection.usage_page), usagePage);
        QCOMPARE(uint(collection.usage), usage);
    }

    // Chromium counts the longest report over all collections, without the
    // report-ID byte.
    void chromiumDescriptors_data() {
        QTest::addColumn<Bytes>("descriptor");
        QTest::addColumn<HidCaps>("expected");
        QTest::addColumn<bool>("usesIds");
        const QStringList files = SampleFiles(QStringLiteral("chromium_"));
        QVERIFY(files.size() >= 3);
        for (const QString& name : files) {
            const Sample sample = LoadSample(name);
            QTest::newRow(qPrintable(name))
                << HexBytes(sample.value(QStringLiteral("descriptor_hex")))
                << HidCaps{Length(sample, QStringLiteral("chromium_max_input_report_size")),
                           Length(sample, QStringLiteral("chromium_max_output_report_size")),
                           Length(sample, QStringLiteral("chromium_max_feature_report_size"))}
                << (sample.value(QStringLiteral("chromium_has_report_id")) == u"true");
        }
    }
    void chromiumDescriptors() {
        QFETCH(Bytes, descriptor);
        QFETCH(HidCaps, expected);
        QFETCH(bool, usesIds);
        const auto parsed = ParseReportDescriptor(descriptor);
        QVERIFY(parsed);
        QCOMPARE(parsed->uses_report_ids, usesIds);
        const HidCaps longest = LongestReportLengths(*parsed);
        const auto withoutId = [](uint16_t length) { return length == 0 ? 0 : length - 1; };
        QCOMPARE(withoutId(longest.InputReportByteLength), int(expected.InputReportByteLength));
        QCOMPARE(withoutId(longest.OutputReportByteLength), int(expected.OutputReportByteLength));
        QCOMPARE(withoutId(longest.FeatureReportByteLength), int(expected.FeatureReportByteLength));
    }

    void talvoDescriptor() {
        const auto parsed = ParseReportDescriptor(sim::TalvoReportDescriptor());
        QVERIFY(parsed);
        QVERIFY(!parsed->uses_report_ids);
        QCOMPARE(parsed->collections.size(), size_t(1));
        const HidCaps caps = LongestReportLengths(*parsed);
        QCOMPARE(caps.InputReportByteLength, 65);
        QCOMPARE(caps.OutputReportByteLength, 9);
        QCOMPARE(caps.FeatureReportByteLength, 0);
    }

    // Every prefix of every real descriptor: the parser must reject it or, for
    // a prefix that ends after a top-level collection, give that collection
    // the same lengths as the whole descriptor does.
    void truncatedSampleDescriptors() {
        const auto all = AllSampleDescriptors();
        QVERIFY(all.size() >= size_t(kSampleFiles));
        for (const auto& [name, bytes] : all) {
            const auto whole = ParseReportDescriptor(bytes);
            QVERIFY2(whole, qPrintable(name));
            for (size_t length = 0; length < bytes.size(); ++length) {
                // A copy of exactly `length` bytes, so a read past it is caught
                // by the sanitizers.
                const auto prefix = std::make_unique<uint8_t[]>(length);
                std::copy_n(bytes.begin(), length, prefix.get());
                const auto parsed = ParseReportDescriptor({prefix.get(), length});
                if (!parsed) continue;
                QVERIFY2(parsed->collections.size() <= whole->collections.size(), qPrintable(name));
                for (size_t i = 0; i < parsed->collections.size(); ++i) {
                    QCOMPARE(parsed->collections[i].caps.InputReportByteLength,
                             whole->collections[i].caps.InputReportByteLength);
                    QCOMPARE(parsed->collections[i].caps.OutputReportByteLength,
                             whole->collections[i].caps.OutputReportByteLength);
                }
            }
        }
    }

    void handMadeDescriptors_data() {
        QTest::addColumn<Bytes>("descriptor");
        QTest::addColumn<QList<int>>("lengths");  // input, output, feature per collection

        QTest::newRow("empty descriptor: no collection") << Bytes{} << QList<int>{};
        QTest::newRow("no report ID still counts its byte")
            << Concat({kAppCollection, ReportSize(8), ReportCount(3), kInput, kEnd})
            << QList<int>{4, 0, 0};
        QTest::newRow("bits round up to whole bytes")
            << Concat({kAppCollection, ReportSize(1), ReportCount(9), kInput, ReportCount(1),
                       kOutput, kEnd})
            << QList<int>{3, 2, 0};
        QTest::newRow("constant padding counts")
            << Concat({kAppCollection, ReportSize(1), ReportCount(3), kInput, ReportSize(5),
                       ReportCount(1), Bytes{0x81, 0x03}, kEnd})
            << QList<int>{2, 0, 0};
        QTest::newRow("reports of one ID add up, the longest ID wins")
            << Concat({kAppCollection, ReportId(1), ReportSize(8), ReportCount(2), kInput, kInput,
                       ReportId(2), ReportCount(5), kInput, kFeature, kEnd})
            << QList<int>{6, 0, 6};
        QTest::newRow("an ID seen again continues its report")
            << Concat({kAppCollection, ReportId(1), ReportSize(8), ReportCount(4), kInput,
                       ReportId(2), ReportCount(5), kInput, ReportId(1), ReportCount(3), kInput,
                       kEnd})
            << QList<int>{8, 0, 0};
        QTest::newRow("lengths per collection")
            << Concat({kAppCollection, ReportId(1), ReportSize(8), ReportCount(4), kInput, kEnd,
                       kAppCollection, ReportId(2), ReportCount(10), kOutput, kEnd})
            << QList<int>{5, 0, 0, 0, 11, 0};
        QTest::newRow("nested collections belong to their top level")
            << Concat({kAppCollection, ReportSize(8), ReportCount(2), Bytes{0xA1, 0x00}, kInput,
                       kEnd, kInput, kEnd})
            << QList<int>{5, 0, 0};
        QTest::newRow("four-byte items")
            << Concat(
                   {kAppCollection, Bytes{0x77, 0x08, 0, 0, 0, 0x97, 0x20, 0, 0, 0}, kInput, kEnd})
            << QList<int>{33, 0, 0};
        QTest::newRow("long items are skipped")
            << Concat({kAppCollection, Bytes{0xFE, 0x03, 0x10, 0x81, 0x95, 0x7F}, ReportSize(8),
                       ReportCount(2), kInput, Bytes{0xFE, 0x00, 0x11}, kEnd})
            << QList<int>{3, 0, 0};
        QTest::newRow("push and pop restore size and count")
            << Concat({kAppCollection, ReportSize(8), ReportCount(4), kPush, ReportSize(1),
                       ReportCount(1), kInput, kPop, kInput, kEnd})
            << QList<int>{6, 0, 0};
        QTest::newRow("pop keeps the current report ID")
            << Concat({kAppCollection, ReportId(1), ReportSize(8), ReportCount(4), kPush,
                       ReportId(2), kPop, kInput, kEnd})
            << QList<int>{5, 0, 0};
        QTest::newRow("reserved items are ignored")
            << Concat({kAppCollection, Bytes{0xF1, 0x00, 0x0D, 0x55, 0xEC}, ReportSize(8),
                       ReportCount(1), kInput, kEnd})
            << QList<int>{2, 0, 0};
        QTest::newRow("count zero gives no report")
            << Concat({kAppCollection, ReportSize(8), ReportCount(0), kInput, kEnd})
            << QList<int>{0, 0, 0};
        // IDs are one byte: 255 is the last valid one, in either item size.
        QTest::newRow("report ID 255")
            << Concat({kAppCollection, ReportId(255), ReportSize(8), ReportCount(64), kInput,
                       ReportId(1), ReportCount(8), kOutput, kEnd})
            << QList<int>{65, 9, 0};
        QTest::newRow("report ID 255 in a two-byte item")
            << Concat({kAppCollection, Bytes{0x86, 0xFF, 0x00}, ReportSize(8), ReportCount(4),
                       kFeature, kEnd})
            << QList<int>{0, 0, 5};
        QTest::newRow("longest report still fits 16 bits")
            << Concat({kAppCollection, Bytes{0x75, 0x08, 0x96, 0xFE, 0xFF}, kInput, kEnd})
            << QList<int>{65535, 0, 0};
    }
    void handMadeDescriptors() {
        QFETCH(Bytes, descriptor);
        QFETCH(QList<int>, lengths);
        const auto parsed = ParseReportDescriptor(descriptor);
        QVERIFY(parsed);
        QList<int> got;
        for (const auto& collection : parsed->collections)
            got << collection.caps.InputReportByteLength << collection.caps.OutputReportByteLength
                << collection.caps.FeatureReportByteLength;
        QCOMPARE(got, lengths);
    }

    void malformedDescriptors_data() {
        QTest::addColumn<Bytes>("descriptor");
        const Bytes body = Concat({ReportSize(8), ReportCount(1), kInput});
        QTest::newRow("item cut after its prefix") << Concat({kAppCollection, Bytes{0x95}});
        QTest::newRow("four-byte item cut") << Concat({kAppCollection, Bytes{0x97, 1, 0, 0}});
        QTest::newRow("long item header cut") << Concat({kAppCollection, Bytes{0xFE, 0x05}});
        QTest::newRow("long item data cut")
            << Concat({kAppCollection, Bytes{0xFE, 0x05, 0x10, 1, 2}});
        QTest::newRow("pop without push") << Concat({kAppCollection, kPop, body, kEnd});
        QTest::newRow("more pops than pushes")
            << Concat({kAppCollection, kPush, kPop, kPop, body, kEnd});
        QTest::newRow("end collection without collection") << Concat({body, kEnd});
        QTest::newRow("one end collection too many") << Concat({kAppCollection, body, kEnd, kEnd});
        QTest::newRow("collection never closed") << Concat({kAppCollection, body});
        QTest::newRow("nested collection never closed")
            << Concat({kAppCollection, Bytes{0xA1, 0x00}, body, kEnd});
        QTest::newRow("input outside any collection") << body;
        QTest::newRow("output after the last collection")
            << Concat({kAppCollection, body, kEnd, kOutput});
        QTest::newRow("report ID 0") << Concat({kAppCollection, ReportId(0), body, kEnd});
        QTest::newRow("report ID beyond one byte")
            << Concat({kAppCollection, Bytes{0x86, 0x00, 0x01}, body, kEnd});
        QTest::newRow("size times count overflows 32 bits") << Concat(
            {kAppCollection, Bytes{0x77, 0, 0, 0, 0x80, 0x97, 0, 0, 0, 0x80}, kInput, kEnd});
        QTest::newRow("report one byte too long for 16 bits")
            << Concat({kAppCollection, Bytes{0x75, 0x08, 0x96, 0xFF, 0xFF}, kInput, kEnd});
        QTest::newRow("two fields that together are too long for 16 bits")
            << Concat({kAppCollection, Bytes{0x75, 0x08, 0x96, 0x00, 0x80}, kInput, kInput, kEnd});
    }
    void malformedDescriptors() {
        QFETCH(Bytes, descriptor);
        QVERIFY(!ParseReportDescriptor(descriptor));
    }

    void usesReportIdsOnlyWhenAnIdAppears() {
        const auto without = ParseReportDescriptor(
            Concat({kAppCollection, ReportSize(8), ReportCount(1), kInput, kEnd}));
        QVERIFY(without && !without->uses_report_ids);
        // An ID only in a later collection still marks the whole interface.
        const auto later =
            ParseReportDescriptor(Concat({kAppCollection, ReportSize(8), ReportCount(1), kInput,
                                          kEnd, kAppCollection, ReportId(7), kFeature, kEnd}));
        QVERIFY(later && later->uses_report_ids);
        const auto last = ParseReportDescriptor(
            Concat({kAppCollection, ReportId(255), ReportSize(8), ReportCount(1), kInput, kEnd}));
        QVERIFY(last && last->uses_report_ids);
    }
};

TALVO_TEST_GUILESS_MAIN(DescriptorTest)
#include "descriptor_test.moc"
