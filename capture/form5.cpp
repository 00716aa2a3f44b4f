#include "capture/form5.h"

#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QFileInfo>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTextDocument>
#include <QTimer>
#include <QToolButton>
#include <cmath>

#include "capture/bitmap_file.h"
#include "capture/button_pictures.h"
#include "capture/capture_operations.h"
#include "capture/capture_protocol.h"
#include "capture/capture_texts.h"
#include "capture/frame_image.h"
#include "capture/picture_box.h"
#include "capture/slot_codes.h"
#include "capture/slot_operations.h"
#include "rom/download.h"
#include "ui/program.h"
#include "ui/ui_support.h"
#include "ui/window_pacer.h"

namespace talvo {
namespace {

namespace texts = capture_texts;

constexpr int kPictureBandLeft = 1440;
constexpr int kPictureBandWidth = 8000;
constexpr int kPictureHeight = 4500;

int TwipsToPixelsRounded(double twips) { return int(std::lround(twips / 15.0)); }

QToolButton* MakePictureButton(QWidget* parent, const char* object_name, const QString& caption,
                               CaptureButtonPicture picture, QRect geometry,
                               const QString& description) {
    auto* button = new QToolButton(parent);
    button->setObjectName(QString::fromLatin1(object_name));
    button->setText(caption);
    button->setIcon(DrawButtonPicture(picture));
    button->setIconSize(QSize(kButtonPictureWidth, kButtonPictureHeight));
    button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    button->setGeometry(geometry);
    Describe(button, caption, description);
    return button;
}

}  // namespace

Form5::Form5(Program& program) : program_(program) {
    setObjectName(QStringLiteral("Form5"));
    setWindowTitle(texts::kCaption);
    Describe(this, texts::kCaption, QStringLiteral("TALVO-4 の画像キャプチャー"));
    setFixedSize(TwipsToPixels(9540), TwipsToPixels(6240));
    CommonDialog1 = &program_.dialogs;
    buildControls();
    Form_Load();
}

void Form5::buildControls() {
    Picture1 = new PictureBox(this);
    Picture1->setObjectName(QStringLiteral("Picture1"));
    Picture1->setGeometry(TwipsRect(kPictureBandLeft, 0, kPictureBandWidth, kPictureHeight));
    Picture1->clear();
    Describe(Picture1, QStringLiteral("キャプチャー画像"),
             QStringLiteral("取り込んだ画像。Ctrl+C か右クリックの「コピー」でクリップボードへ"));
    // A click on the picture takes the keyboard, so that Ctrl+C after it is
    // plainly meant for the picture.
    Picture1->setFocusPolicy(Qt::ClickFocus);
    buildCopyAction();

    Text1 = new QPlainTextEdit(this);
    Text1->setObjectName(QStringLiteral("Text1"));
    Text1->setGeometry(TwipsRect(1200, 5520, 7455, 615));
    Text1->setFont(UiFont(12));
    // Two lines of 12 pt only just fit the box: no room for margins, and a
    // long line wraps instead of hiding behind a horizontal scroll bar.
    Text1->document()->setDocumentMargin(1);
    Text1->setFrameShape(QFrame::Box);
    Text1->setLineWidth(1);
    Text1->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    Text1->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    Text1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Describe(Text1, QStringLiteral("状態"), QStringLiteral("キャプチャーの状態とメッセージ"));
    // Text1 holds the focus whenever nothing else took it, and would take
    // every Ctrl+C as a copy of its own, empty, selection.
    Text1->installEventFilter(this);

    Command1 = MakeButton(this, QStringLiteral("Command1"), texts::kRecord,
                          TwipsRect(1320, 4560, 1215, 855),
                          QStringLiteral("次の空き画像メモリに記録する"));
    Command2 =
        MakePictureButton(this, "Command2", texts::kCapture, CaptureButtonPicture::Capture,
                          TwipsRect(3000, 4560, 1215, 855), QStringLiteral("画像を取り込む"));
    Command3 =
        MakePictureButton(this, "Command3", texts::kStop, CaptureButtonPicture::Stop,
                          TwipsRect(4680, 4560, 1095, 855), QStringLiteral("取り込みを止める"));
    Command4 = MakePictureButton(this, "Command4", texts::kSave, CaptureButtonPicture::Save,
                                 TwipsRect(6240, 4560, 1095, 855),
                                 QStringLiteral("画像をBMPファイルに保存する"));
    Command5 =
        MakePictureButton(this, "Command5", texts::kClose, CaptureButtonPicture::Close,
                          TwipsRect(7800, 4560, 1095, 855), QStringLiteral("ウィンドウを閉じる"));
    QObject::connect(Command1, &QPushButton::clicked, this, &Form5::Command1_Click);
    // A capture runs for many seconds and the save opens a modal dialog: both
    // start after the click has returned, so that whoever pressed the button
    // (a screen reader's press action among them) is not held until they end.
    QObject::connect(Command2, &QToolButton::clicked, this, &Form5::Command2_Click,
                     Qt::QueuedConnection);
    QObject::connect(Command3, &QToolButton::clicked, this, &Form5::Command3_Click);
    QObject::connect(Command4, &QToolButton::clicked, this, &Form5::Command4_Click,
                     Qt::QueuedConnection);
    QObject::connect(Command5, &QToolButton::clicked, this, &Form5::Command5_Click);

    buildSlotControls();

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(int(program_.capture_ticks.period().count()));
    QObject::connect(Timer1, &QTimer::timeout, this, &Form5::Timer1_Timer);
    // Only the waits of "REC" read capture_ticks, and each resets it first:
    // WaitTicks runs the timer while one of them waits, so an idle window
    // never wakes.
    program_.capture_ticks.attachTimer(Timer1);
}

void Form5::buildCopyAction() {
    copy_action_ = new QAction(texts::kCopy, this);
    copy_action_->setObjectName(QStringLiteral("copyAction"));
    copy_action_->setShortcut(QKeySequence::Copy);
    copy_action_->setShortcutContext(Qt::WindowShortcut);
    copy_action_->setToolTip(texts::kCopyDescription);
    copy_action_->setStatusTip(texts::kCopyDescription);
    copy_action_->setWhatsThis(texts::kCopyDescription);
    QObject::connect(copy_action_, &QAction::triggered, this, &Form5::copyPicture);
    // Ctrl+C anywhere in the window; the entry on the picture's context menu.
    addAction(copy_action_);
    Picture1->addAction(copy_action_);
    Picture1->setContextMenuPolicy(Qt::ActionsContextMenu);
    updateCopyAction();
}

void Form5::updateCopyAction() {
    // A picture half received is no picture yet.
    copy_action_->setEnabled(!capturing_ && !FrameImage(program_.capture).isNull());
}

void Form5::copyPicture() {
    if (capturing_) return;
    const QImage picture = FrameImage(program_.capture);
    if (picture.isNull()) return;
    QGuiApplication::clipboard()->setImage(picture);
}

bool Form5::eventFilter(QObject* watched, QEvent* event) {
    // Left unaccepted, the key goes on to the window's shortcut: the picture.
    // With text selected, Ctrl+C stays Text1's own copy of it.
    if (watched == Text1 && event->type() == QEvent::ShortcutOverride &&
        static_cast<QKeyEvent*>(event)->matches(QKeySequence::Copy) &&
        !Text1->textCursor().hasSelection()) {
        event->ignore();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void Form5::buildSlotControls() {
    const int tops[kImageSlots] = {360, 1320, 2400, 3480};
    const int mark_tops[kImageSlots] = {600, 1560, 2640, 3720};
    QPushButton** show_buttons[kImageSlots] = {&Command6, &Command7, &Command8, &Command9};
    QCheckBox** marks[kImageSlots] = {&Check1, &Check2, &Check3, &Check4};
    void (Form5::*handlers[kImageSlots])() = {&Form5::Command6_Click, &Form5::Command7_Click,
                                              &Form5::Command8_Click, &Form5::Command9_Click};
    for (int i = 0; i < kImageSlots; ++i) {
        const int slot = i + 1;
        QPushButton* button =
            MakeButton(this, QStringLiteral("Command%1").arg(slot + 5), texts::SlotCaption(slot),
                       TwipsRect(120, tops[i], 855, 735),
                       QStringLiteral("画像メモリ%1の画像を表示する").arg(slot));
        QObject::connect(button, &QPushButton::clicked, this, handlers[i]);
        *show_buttons[i] = button;

        auto* check = new QCheckBox(this);
        check->setObjectName(QStringLiteral("Check%1").arg(slot));
        check->setGeometry(TwipsRect(1080, mark_tops[i], 255, 255));
        Describe(check, QStringLiteral("画像メモリ%1の記録済みマーク").arg(slot),
                 QStringLiteral("印が無い最初の画像メモリに REC で記録する"));
        *marks[i] = check;
    }
    Command10 =
        MakeButton(this, QStringLiteral("Command10"), texts::kLive, TwipsRect(120, 4560, 855, 735),
                   QStringLiteral("ライブ映像の表示に戻す"));
    Command10->setEnabled(false);
    QObject::connect(Command10, &QPushButton::clicked, this, &Form5::Command10_Click);
}

QCheckBox* Form5::mark(int slot) const {
    switch (slot) {
        case 1:
            return Check1;
        case 2:
            return Check2;
        case 3:
            return Check3;
        case 4:
            return Check4;
        default:
            return nullptr;
    }
}

QPushButton* Form5::showButton(int slot) const {
    switch (slot) {
        case 1:
            return Command6;
        case 2:
            return Command7;
        case 3:
            return Command8;
        case 4:
            return Command9;
        default:
            return nullptr;
    }
}

void Form5::Form_Load() {
    // Nothing can be saved before a capture has ended in this window.
    Command4->setEnabled(false);
    if (program_.link.heldExclusively()) {
        // A ROM write holds the device and would refuse the check: it runs
        // once the write has let go, and the device's buttons wait for it.
        for (QAbstractButton* button :
             std::initializer_list<QAbstractButton*>{Command1, Command2, Command3})
            button->setEnabled(false);
        AfterDownload([self = QPointer<Form5>(this)] {
            if (self) self->checkReadiness();
        });
        return;
    }
    checkReadiness();
}

void Form5::checkReadiness() {
    CaptureObserver observer;
    observer.status = [this](const QString& text) { Text1->setPlainText(text); };
    const CaptureOutcome ready = CheckCaptureReady(program_.link, observer);
    const bool passed = ready.done() && ready.detail.check == CaptureCheck::Passed;
    for (QAbstractButton* button :
         std::initializer_list<QAbstractButton*>{Command1, Command2, Command3})
        button->setEnabled(passed);
}

void Form5::Timer1_Timer() { program_.capture_ticks.advance(); }

void Form5::enableCaptureButtons(bool enabled) {
    for (QAbstractButton* button :
         std::initializer_list<QAbstractButton*>{Command1, Command2, Command4, Command5})
        button->setEnabled(enabled);
}

void Form5::Command2_Click() {
    if (capturing_ || !Command2->isEnabled()) return;
    capturing_ = true;
    updateCopyAction();
    const bool could_save = Command4->isEnabled();
    enableCaptureButtons(false);
    // A capture started from a "REC" wait holds that wait still: the passes
    // between its lines must not count its ticks.
    Timer1->stop();

    Program& program = program_;
    const QPointer<Form5> self(this);
    TickPacer pacer(program.capture_ticks, [self] { return !self.isNull(); });
    const StopRequest stop = [&program] {
        return program.capture.stop_requested == 1 || program.DeviceConnected == 0;
    };
    CaptureObserver observer;
    observer.status = [this](const QString& text) { Text1->setPlainText(text); };
    observer.size_accepted = [this](const CaptureState&) { setUpPicture1(); };
    observer.line = [this](int y, std::span<const uint8_t> line) { Picture1->plotLine(y, line); };
    observer.before_capture_end = [this] {
        enableCaptureButtons(true);
        Command1->setText(texts::kStill);
        Describe(Command1, texts::kStill, Command1->accessibleDescription());
    };
    observer.program_ending = [] { return ProgramEnding(); };
    const CaptureOutcome outcome =
        RunCapture(program.link, program.capture, FrontEnd{pacer, stop}, observer);
    // Gone or going: nothing of the window may be touched any more.
    if (outcome.ending == Ending::FrontEndGone) return;
    if (outcome.ending == Ending::DeviceBusy) {
        // Another sequence holds the device; nothing went out.
        enableCaptureButtons(true);
        Command4->setEnabled(could_save);
    }
    // A recording that started this capture from one of its waits counts on.
    if (program.capture_ticks.waiting() > 0) Timer1->start();
    capturing_ = false;
    updateCopyAction();
    closeIfAsked();
}

void Form5::setUpPicture1() {
    const CaptureState& capture = program_.capture;
    const DisplaySetup setup = SetUpDisplay(capture.frame_width, capture.frame_height);
    Picture1->setGeometry(TwipsToPixelsRounded(setup.left_twips), 0,
                          TwipsToPixelsRounded(setup.width_twips), TwipsToPixels(kPictureHeight));
    Picture1->setScale(capture.frame_width, capture.frame_height);
    Picture1->setPenWidth(setup.pen_width);
    Picture1->clear();
}

void Form5::Command3_Click() { program_.capture.stop_requested = 1; }

void Form5::Command5_Click() { close(); }

void Form5::closeEvent(QCloseEvent* event) {
    if (capturing_ || recording_) {
        // A capture still runs on this window: it ends at the next line with
        // its end step. A recording still owes the device its remaining codes
        // and waits: cut short, it leaves the device in the middle of one.
        // Whichever ends last closes the window.
        close_pending_ = true;
        if (capturing_) program_.capture.stop_requested = 1;
        event->ignore();
        return;
    }
    event->accept();
}

void Form5::closeIfAsked() {
    if (close_pending_ && !capturing_ && !recording_) close();
}

void Form5::Command1_Click() {
    if (!Command1->isEnabled()) return;
    // A click during a recording's waits records after it: the codes of two
    // recordings interleaved would leave both slots half written.
    ++recordings_asked_;
    if (recording_) return;
    recording_ = true;
    const QPointer<Form5> self(this);
    while (recordings_asked_ > 0 && !close_pending_) {
        --recordings_asked_;
        if (!recordIntoNextFreeSlot()) {
            // The program ends; nothing more goes out.
            if (self) recording_ = false;
            return;
        }
    }
    recording_ = false;
    // A close cuts off the recordings that had not started yet.
    recordings_asked_ = 0;
    closeIfAsked();
    if (save_pending_ && !close_pending_) {
        save_pending_ = false;
        QMetaObject::invokeMethod(this, &Form5::Command4_Click, Qt::QueuedConnection);
    }
}

bool Form5::recordIntoNextFreeSlot() {
    const int slot = FirstFreeSlot(
        {Check1->isChecked(), Check2->isChecked(), Check3->isChecked(), Check4->isChecked()});
    if (slot != 0) {
        mark(slot)->setChecked(true);
        const QPointer<Form5> self(this);
        TickPacer pacer(program_.capture_ticks, [self] { return !self.isNull(); });
        const Outcome<SlotCheck> recorded = RecordSlot(program_.link, slot, FrontEnd{pacer});
        // Only the end of the program cuts a recording short.
        if (!self || recorded.ending == Ending::FrontEndGone) return false;
        if (recorded.ending == Ending::DeviceBusy) {
            // Another sequence holds the device: nothing was recorded there.
            mark(slot)->setChecked(false);
            return true;
        }
    }
    Command10->setEnabled(false);
    return true;
}

void Form5::showSlot(int slot) {
    if (ShowSlot(program_.link, slot).ending == Ending::DeviceBusy) return;
    Command10->setEnabled(true);
}

void Form5::Command10_Click() {
    if (!Command10->isEnabled()) return;
    if (ShowLivePicture(program_.link).ending == Ending::DeviceBusy) return;
    Command10->setEnabled(false);
}

void Form5::Command4_Click() {
    if (!Command4->isEnabled()) return;
    // A modal dialog opened in a "REC" wait would hold the recording's
    // remaining codes until it closed: the save opens once the recordings end.
    if (recording_) {
        save_pending_ = true;
        return;
    }
    const CaptureState& capture = program_.capture;
    if (capture.frame_buffer.empty()) {
        Text1->setPlainText(texts::kNothingToSave);
        return;
    }
    const QString path = askBitmapPath();
    if (path.isEmpty()) return;

    CaptureState& state = program_.capture;
    state.file_name = path;
    if (!WriteBitmap(state.file_name, state.frame_width, state.frame_height, state.frame_buffer)) {
        Text1->setPlainText(texts::kSaveFailed);
    } else if (Text1->toPlainText() == texts::kSaveFailed) {
        Text1->setPlainText(PictureInfoText(state.frame_width, state.frame_height));
    }
}

QString Form5::askBitmapPath() {
    FileDialogRequest request;
    request.title = texts::kSaveTitle;
    request.folder = DocumentsFolder();
    request.filter = texts::kSaveFilter;
    // A name typed without an extension gets ".bmp" before the dialog asks
    // whether to replace an existing file, so it asks about the file written.
    request.default_suffix = QStringLiteral("bmp");
    const QPointer<Form5> self(this);
    for (;;) {
        const QString chosen = CommonDialog1->getSaveFileName(this, request);
        if (!self || ProgramEnding() || chosen.isEmpty()) return QString();
        const QString path = BitmapPathFor(chosen);
        // The dialog asked about the name it returned; another extension
        // gives way to ".bmp", and a file of that name is only replaced
        // once the dialog has asked about it in turn.
        if (path == chosen || !QFileInfo::exists(path)) return path;
        const QFileInfo rewritten(path);
        request.folder = rewritten.absolutePath();
        request.file_name = rewritten.fileName();
    }
}

}  // namespace talvo
