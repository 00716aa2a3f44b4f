// The captured picture to the clipboard: Ctrl+C in the capture window and
// "コピー" on the picture's context menu.

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QMenu>
#include <QMimeData>

#include "capture/capture_texts.h"
#include "capture/picture_box.h"
#include "tests/capture/capture_window.h"
#include "tests/support/test_main.h"

using namespace talvo;
using namespace talvo::testing;
namespace texts = talvo::capture_texts;

namespace {

const QString kUntouched = QStringLiteral("nothing copied");

// The clipboard holds frame_buffer's picture, pixel for pixel.
bool ClipboardHoldsTheFrame(const CaptureState& c) {
    const QImage image = QGuiApplication::clipboard()->image();
    if (!FrameMatchesSizes(c) || image.size() != QSize(c.frame_width, c.frame_height)) return false;
    for (int y = 0; y < c.frame_height; ++y)
        for (int x = 0; x < c.frame_width; ++x) {
            const uint8_t* p = &c.frame_buffer[(size_t(y) * c.frame_width + x) * 3];
            if (image.pixel(x, y) != qRgb(p[2], p[1], p[0])) return false;
        }
    return true;
}

bool ClipboardUntouched() {
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    return data && !data->hasImage() && data->text() == kUntouched;
}

void PressCtrlC(Form5* f) {
    f->activateWindow();
    QTest::keyClick(f->Command2, Qt::Key_C, Qt::ControlModifier);
}

// Opens the picture's context menu as a right click does and picks "コピー";
// returns the menu's entries.
QStringList CopyThroughContextMenu(Form5* f) {
    QStringList entries;
    QTimer::singleShot(0, f, [&entries] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        if (!menu) return;
        for (QAction* action : menu->actions()) entries << action->text();
        QAction* copy = menu->actions().value(0);
        if (copy && copy->isEnabled())
            QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(copy).center());
        if (menu->isVisible()) menu->close();
    });
    const QPoint at(10, 10);
    QContextMenuEvent event(QContextMenuEvent::Mouse, at, f->Picture1->mapToGlobal(at));
    QApplication::sendEvent(f->Picture1, &event);
    return entries;
}

}  // namespace

class Form5ClipboardTest : public QObject {
    Q_OBJECT
  private slots:
    void init() { QGuiApplication::clipboard()->setText(kUntouched); }
    void nothingToCopyBeforeAPicture();
    void copiesThePicture_data();
    void copiesThePicture();
    void nothingCopiedDuringACapture();
    void theEntryIsDescribed();
};

void Form5ClipboardTest::nothingToCopyBeforeAPicture() {
    Rig rig;
    Form5* f = OpenCaptureWindow(rig);
    PressCtrlC(f);
    QVERIFY(ClipboardUntouched());
    QVERIFY(!f->copyAction()->isEnabled());
    f->copyAction()->trigger();
    QVERIFY(ClipboardUntouched());
    // A rejected size brings no picture either.
    rig.talvo.capture.width = 0;
    f->Command2_Click();
    PressCtrlC(f);
    QCOMPARE(CopyThroughContextMenu(f), QStringList{texts::kCopy});
    QVERIFY(ClipboardUntouched());
}

void Form5ClipboardTest::copiesThePicture_data() {
    QTest::addColumn<bool>("by_menu");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("stop_after_line");  // -1: the whole picture
    QTest::newRow("Ctrl+C, 1001 x 110") << false << 1001 << -1;
    QTest::newRow("menu, 1001 x 110") << true << 1001 << -1;
    QTest::newRow("Ctrl+C, 65 x 110 stopped") << false << 65 << 20;
    QTest::newRow("menu, 640 x 110") << true << 640 << -1;
}

void Form5ClipboardTest::copiesThePicture() {
    QFETCH(bool, by_menu);
    QFETCH(int, width);
    QFETCH(int, stop_after_line);
    Rig rig;
    rig.talvo.capture.width = uint16_t(width);
    rig.talvo.capture.height = 110;
    Form5* f = OpenCaptureWindow(rig);
    rig.talvo.capture.on_line_request = [&](int line) {
        if (line == stop_after_line)
            QMetaObject::invokeMethod(
                f, [f] { f->Command3_Click(); }, Qt::QueuedConnection);
    };
    f->Command2_Click();
    QVERIFY(f->copyAction()->isEnabled());
    if (by_menu)
        QCOMPARE(CopyThroughContextMenu(f), QStringList{texts::kCopy});
    else
        PressCtrlC(f);
    QVERIFY(ClipboardHoldsTheFrame(rig.program.capture));
    QCOMPARE(QGuiApplication::clipboard()->image().width(), (width + 3) / 4 * 4);
}

void Form5ClipboardTest::nothingCopiedDuringACapture() {
    Rig rig;
    rig.talvo.capture.width = 65;
    rig.talvo.capture.height = 101;
    Form5* f = OpenCaptureWindow(rig);
    f->Command2_Click();
    bool enabled_during = true;
    rig.talvo.capture.on_line_request = [&](int line) {
        if (line != 5) return;
        enabled_during = f->copyAction()->isEnabled();
        QMetaObject::invokeMethod(
            f, [f] { f->copyAction()->trigger(); }, Qt::QueuedConnection);
    };
    QGuiApplication::clipboard()->setText(kUntouched);
    f->Command2_Click();
    QVERIFY(!enabled_during);
    QVERIFY(ClipboardUntouched());
}

void Form5ClipboardTest::theEntryIsDescribed() {
    Rig rig;
    Form5* f = OpenCaptureWindow(rig);
    QAction* copy = f->copyAction();
    QCOMPARE(copy->text(), QStringLiteral("コピー"));
    QCOMPARE(copy->shortcut(), QKeySequence(QKeySequence::Copy));
    QVERIFY(f->actions().contains(copy) && f->Picture1->actions().contains(copy));
    for (const QString& text : {copy->toolTip(), copy->statusTip(), copy->whatsThis(),
                                f->Picture1->accessibleDescription()}) {
        QVERIFY(text.contains(QStringLiteral("Ctrl+C")));
        QVERIFY(EncodesInCp932(text));
    }
    QVERIFY(EncodesInCp932(copy->text()));
}

TALVO_TEST_MAIN(Form5ClipboardTest)
#include "form5_clipboard_test.moc"
