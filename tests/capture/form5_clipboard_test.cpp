// The captured picture to the clipboard: Ctrl+C in the capture window and
// "コピー" on the picture's context menu. Which widget holds the focus on a
// real display is the end-to-end test's (e2e_demo).

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

// Ctrl+C as it reaches the widget with the focus, shortcut override first.
void PressCtrlC(QWidget* focused) {
    focused->window()->activateWindow();
    QTest::keyClick(focused, Qt::Key_C, Qt::ControlModifier);
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
    void selectedTextCopiesTheText();
    void theEntryIsDescribed();
};

void Form5ClipboardTest::nothingToCopyBeforeAPicture() {
    Rig rig;
    Form5* f = OpenCaptureWindow(rig);
    PressCtrlC(f->Text1);
    QVERIFY(ClipboardUntouched());
    QVERIFY(!f->copyAction()->isEnabled());
    f->copyAction()->trigger();
    QVERIFY(ClipboardUntouched());
    // A rejected size brings no picture either.
    rig.talvo.capture.width = 0;
    f->Command2_Click();
    PressCtrlC(f->Text1);
    QCOMPARE(CopyThroughContextMenu(f), QStringList{texts::kCopy});
    QVERIFY(ClipboardUntouched());
}

void Form5ClipboardTest::copiesThePicture_data() {
    QTest::addColumn<QString>("through");  // the menu, or Ctrl+C on the focused widget
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("stop_after_line");  // -1: the whole picture
    QTest::newRow("Ctrl+C, Text1 focused, nothing selected, 1001 x 110") << "Text1" << 1001 << -1;
    QTest::newRow("Ctrl+C, picture focused, 65 x 110 stopped") << "Picture1" << 65 << 20;
    QTest::newRow("menu, 640 x 110") << "menu" << 640 << -1;
}

void Form5ClipboardTest::copiesThePicture() {
    QFETCH(QString, through);
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
    if (through == "menu")
        QCOMPARE(CopyThroughContextMenu(f), QStringList{texts::kCopy});
    else
        PressCtrlC(through == "Text1" ? static_cast<QWidget*>(f->Text1) : f->Picture1);
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

void Form5ClipboardTest::selectedTextCopiesTheText() {
    Rig rig;
    Form5* f = OpenCaptureWindow(rig);
    f->Command2_Click();
    f->Text1->selectAll();
    PressCtrlC(f->Text1);
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    QVERIFY(data && !data->hasImage());
    QCOMPARE(data->text(), StatusText(*f));
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
