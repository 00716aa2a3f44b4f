// Finding a remote key by its button, its code and its button's name, as the
// terminal tool and the window look keys up.

#include <clocale>
#include <string>

#include "tests/support/test_main.h"

#include "remote/remote_key.h"
#include "sim/sim_platform.h"

using namespace talvo;

Q_DECLARE_METATYPE(talvo::Ending)
Q_DECLARE_METATYPE(talvo::OnDeviceLost)

class RemoteKeyTest : public QObject {
    Q_OBJECT
  private slots:
    // Each row: what is looked up, and the button it must find (0: none).
    void byButton_data() {
        QTest::addColumn<int>("number");
        QTest::addColumn<int>("found");
        for (int n : {1, 18, 22, 36}) QTest::addRow("Command%d", n) << n << n;
        // The pad skips 7, 14, 15 and 34; nothing lies outside 1 to 36.
        for (int n : {0, 7, 14, 15, 34, 37, -1}) QTest::addRow("no Command%d", n) << n << 0;
    }
    void byButton() {
        QFETCH(int, number);
        QFETCH(int, found);
        const auto key = RemoteKeyOfButton(number);
        QCOMPARE(key ? key->number : 0, found);
    }

    void byCode_data() {
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("found");
        QTest::newRow("0x00") << 0x00 << 18;
        QTest::newRow("0x03, centre") << 0x03 << 22;
        QTest::newRow("0x1B") << 0x1B << 30;
        QTest::newRow("0x54, highest") << 0x54 << 28;
        QTest::newRow("0x02, unused") << 0x02 << 0;
        QTest::newRow("0xFF") << 0xFF << 0;
        // Wider than a byte: must not wrap onto 0x03 or 0x00.
        QTest::newRow("0x103") << 0x103 << 0;
        QTest::newRow("0x100") << 0x100 << 0;
        QTest::newRow("-253") << -253 << 0;
    }
    void byCode() {
        QFETCH(int, code);
        QFETCH(int, found);
        const auto key = RemoteKeyOfCode(code);
        QCOMPARE(key ? key->number : 0, found);
        if (key) QCOMPARE(int(key->code), code);
    }

    void byName_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("found");
        QTest::newRow("as written") << "Command22" << 22;
        QTest::newRow("lower case") << "command18" << 18;
        QTest::newRow("upper case") << "COMMAND36" << 36;
        QTest::newRow("skipped number") << "Command7" << 0;
        QTest::newRow("leading zero") << "Command022" << 0;
        QTest::newRow("no number") << "Command" << 0;
        QTest::newRow("empty") << "" << 0;
        QTest::newRow("trailing text") << "Command22x" << 0;
        QTest::newRow("sign") << "Command+22" << 0;
        QTest::newRow("negative") << "Command-1" << 0;
        QTest::newRow("space") << "Command 22" << 0;
        QTest::newRow("too large for an int") << "Command99999999999999999999" << 0;
        QTest::newRow("other word") << "Cmd22" << 0;
        QTest::newRow("prefix only partly") << "Comman22" << 0;
    }
    void byName() {
        QFETCH(QString, name);
        QFETCH(int, found);
        const QByteArray bytes = name.toLatin1();
        const auto key = RemoteKeyNamed(std::string_view(bytes.constData(), size_t(bytes.size())));
        QCOMPARE(key ? key->number : 0, found);
    }

    // Names written from the window's captions and the cross, -1 for none.
    void byNamePeopleUse_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("code");
        QTest::newRow("up") << "up" << 0x0C;
        QTest::newRow("centre, any case") << "ENTER" << 0x03;
        QTest::newRow("caption 15, not decimal") << "15" << 0x15;
        QTest::newRow("caption 1B, lower case") << "1b" << 0x1B;
        QTest::newRow("caption 05") << "05" << 0x05;
        QTest::newRow("overscan up") << "Overscan+" << 0x43;
        QTest::newRow("brightness down") << "brightness-" << 0x47;
        QTest::newRow("home 3") << "h3" << 0x4D;
        QTest::newRow("mode select 2") << "M2" << 0x16;
        QTest::newRow("big round button") << "round" << 0x00;
        QTest::newRow("corner") << "down-right" << 0x54;
        QTest::newRow("a code is no name") << "5" << -1;
        QTest::newRow("near a name") << "upp" << -1;
    }
    void byNamePeopleUse() {
        QFETCH(QString, name);
        QFETCH(int, code);
        const auto key = RemoteKeyNamed(name.toStdString());
        QCOMPARE(key ? int(key->code) : -1, code);
    }

    // Under a Turkish locale, where tolower makes I no i: a name in capitals
    // still finds its key (the tool runs under the user's locale).
    void byNameUnderATurkishLocale() {
        const std::string before = std::setlocale(LC_ALL, nullptr);
        if (!std::setlocale(LC_ALL, "tr_TR.UTF-8")) QSKIP("no tr_TR.UTF-8 locale here");
        const auto brightness = RemoteKeyNamed("BRIGHTNESS+");
        const auto corner = RemoteKeyNamed("UP-RIGHT");
        const auto button = RemoteKeyNamed("COMMAND1");
        std::setlocale(LC_ALL, before.c_str());
        QVERIFY(brightness && corner && button);
        QCOMPARE(brightness->code, RemoteKeyNamed("brightness+")->code);
        QCOMPARE(corner->code, RemoteKeyNamed("up-right")->code);
        QCOMPARE(button->number, 1);
    }

    // One report and its answer, unless another sequence holds the link.
    void send_data() {
        QTest::addColumn<bool>("held");
        QTest::addColumn<bool>("vanished");
        QTest::addColumn<OnDeviceLost>("onLost");
        QTest::addColumn<Ending>("ending");
        QTest::addColumn<int>("reads");
        QTest::newRow("sent") << false << false << OnDeviceLost::End << Ending::Done << 1;
        QTest::newRow("link held") << true << false << OnDeviceLost::End << Ending::DeviceBusy << 0;
        QTest::newRow("vanished, ends")
            << false << true << OnDeviceLost::End << Ending::DeviceLost << 0;
        QTest::newRow("vanished, goes on")
            << false << true << OnDeviceLost::GoOn << Ending::Done << 0;
    }
    void send() {
        QFETCH(bool, held);
        QFETCH(bool, vanished);
        QFETCH(OnDeviceLost, onLost);
        QFETCH(Ending, ending);
        QFETCH(int, reads);
        sim::TalvoModel talvo;
        sim::SimPlatform platform(talvo);
        DeviceLink link(platform);
        QVERIFY(link.FindDevice());
        if (vanished) talvo.vanishAfter(0);
        std::optional<DeviceLink::Exclusive> rom_write;
        if (held) rom_write.emplace(link);
        const RemoteKeyOutcome sent = SendRemoteKey(link, 0x4C, onLost);
        QCOMPARE(sent.ending, ending);
        QCOMPARE(sent.detail, uint8_t(0x4C));
        QCOMPARE(talvo.readsServed(), reads);
        QCOMPARE(link.heldOffCount(), 0);
    }
};

TALVO_TEST_MAIN(RemoteKeyTest)
#include "remote_key_test.moc"
