// Every text any window shows must be representable in code page 932.

#include "tests/support/test_main.h"

#include "tests/support/rig.h"

using namespace talvo;
using namespace talvo::testing;

namespace {
bool InsideScrollArea(const QWidget* control) {
    for (const QWidget* w = control->parentWidget(); w; w = w->parentWidget())
        if (w->inherits("QAbstractScrollArea")) return true;
    return false;
}
}  // namespace

class ShownTextsTest : public QObject {
    Q_OBJECT
  private slots:
    void encoderKnowsTheCodePage() {
        QVERIFY(EncodesInCp932(QStringLiteral("ﾋﾞｯﾄ\u3000ＴＡＬＶＯ")));
        QVERIFY(!EncodesInCp932(QStringLiteral("\u00E9")));  // not in the code page
    }

    void everyWindowsTextsEncode_data() {
        QTest::addColumn<bool>("connected");
        QTest::newRow("connected") << true;
        QTest::newRow("not connected") << false;
    }
    void everyWindowsTextsEncode() {
        QFETCH(bool, connected);
        Rig rig(connected);
        MainWindow& w = rig.main();
        w.Command1_Click();
        w.Command2_Click();
        w.Command3_Click();
        QStringList texts;
        for (QWidget* top : QApplication::topLevelWidgets()) texts << ShownTexts(top);
        QVERIFY(texts.size() > 50);
        for (const QString& text : texts) QVERIFY2(EncodesInCp932(text), qPrintable(text));
    }

    void everyControlHasAnAccessibleName() {
        Rig rig;
        MainWindow& w = rig.main();
        w.Command1_Click();
        w.Command2_Click();
        w.Command3_Click();
        for (QWidget* top : QApplication::topLevelWidgets()) {
            for (QWidget* control : top->findChildren<QWidget*>()) {
                const bool interactive = control->focusPolicy() != Qt::NoFocus ||
                                         control->inherits("QAbstractButton") ||
                                         control->inherits("QAbstractSlider");
                if (!interactive || control->objectName().startsWith(QLatin1String("qt_")))
                    continue;
                if (control->objectName().isEmpty() && InsideScrollArea(control))
                    continue;  // the viewport and scroll bars of a text box
                const QString what = top->objectName() + QLatin1Char('/') + control->objectName() +
                                     QLatin1Char(' ') +
                                     QString::fromLatin1(control->metaObject()->className());
                QVERIFY2(!control->accessibleName().isEmpty(), qPrintable(what));
                QVERIFY2(!control->accessibleDescription().isEmpty(), qPrintable(what));
            }
        }
    }
};

TALVO_TEST_MAIN(ShownTextsTest)
#include "shown_texts_test.moc"
