// The controls of the timing window and where they sit (pixels at 96 dpi).

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>

#include "timing/form6.h"
#include "ui/ui_support.h"

namespace talvo {
namespace {

struct FrameLayout {
    TimingFrame frame;
    const char* object_name;
    QString caption;
    QRect geometry;
    int first_row_y;
};

const FrameLayout kFrames[] = {
    {TimingFrame::InputTiming, "Frame1", QStringLiteral("入力信号タイミング"),
     QRect(8, 8, 257, 153), 24},
    {TimingFrame::OutputSignal, "Frame2", QStringLiteral("出力信号タイミング"),
     QRect(8, 168, 257, 153), 24},
    {TimingFrame::InputClamp, "Frame3", QStringLiteral("入力信号Clamp"), QRect(288, 16, 249, 97),
     16},
    {TimingFrame::OutputSync, "Frame4", QStringLiteral("出力同期タイミング"),
     QRect(288, 128, 257, 153), 24},
};

constexpr int kRowPitch = 32;
constexpr int kRowHeight = 17;
constexpr int kTextX = 200;
constexpr int kTextWidth = 41;
constexpr double kFontPoints = 9;
// The longest captions ("ph1size") only fit before their bars a size smaller.
constexpr double kLabelPoints = 8.25;

const FrameLayout& LayoutOf(TimingFrame frame) {
    for (const FrameLayout& layout : kFrames)
        if (layout.frame == frame) return layout;
    return kFrames[0];
}

QString Latin(std::string_view text) {
    return QString::fromLatin1(text.data(), qsizetype(text.size()));
}

}  // namespace

void Form6::buildControls() {
    setFixedSize(552, 340);
    for (size_t i = 0; i < kTimingParameters.size(); ++i)
        buildRow(int(i), buildFrame(kTimingParameters[i].frame));
    Command1 =
        MakeButton(this, "Command1", QStringLiteral("data save"), QRect(296, 296, 113, 33),
                   QStringLiteral("タイミングDataをファイルに保存する"), UiFont(kFontPoints));
    Command2 =
        MakeButton(this, "Command2", QStringLiteral("data load"), QRect(432, 296, 113, 33),
                   QStringLiteral("タイミングDataをファイルから読み込み、デバイスに書き込む"),
                   UiFont(kFontPoints));
    QObject::connect(Command1, &QPushButton::clicked, this, &Form6::Command1_Click);
    QObject::connect(Command2, &QPushButton::clicked, this, &Form6::Command2_Click);
    bindRows();
}

QGroupBox* Form6::buildFrame(TimingFrame frame) {
    const FrameLayout& layout = LayoutOf(frame);
    const QString name = QString::fromLatin1(layout.object_name);
    if (auto* existing = findChild<QGroupBox*>(name, Qt::FindDirectChildrenOnly)) return existing;
    auto* group = new QGroupBox(layout.caption, this);
    group->setObjectName(name);
    group->setGeometry(layout.geometry);
    group->setFont(UiFont(kFontPoints));
    Describe(group, layout.caption, layout.caption + QStringLiteral("のパラメーター"));
    return group;
}

void Form6::buildRow(int index, QGroupBox* frame) {
    const TimingParameter& parameter = kTimingParameters[size_t(index)];
    const QString name = Latin(parameter.name);
    const QString caption = Latin(parameter.caption);
    const int y = LayoutOf(parameter.frame).first_row_y + parameter.row * kRowPitch;
    // The 8-bit parameters have the short bars.
    const int bar_x = parameter.twelve_bit ? 48 : 96;
    const int bar_width = parameter.twelve_bit ? 145 : 97;

    auto* label = new QLabel(caption, frame);
    label->setObjectName(QStringLiteral("Label%1").arg(index + 1));
    label->setGeometry(4, y, bar_x - 6, kRowHeight);
    label->setFont(UiFont(kLabelPoints));
    Describe(label, caption, caption + QStringLiteral("の名前"));

    auto* bar = new QScrollBar(Qt::Horizontal, frame);
    bar->setObjectName(name);
    bar->setGeometry(bar_x, y, bar_width, kRowHeight);
    bar->setRange(0, parameter.maximum());
    bar->setSingleStep(1);
    bar->setPageStep(1);
    // The change event fires only when a move is committed, never for the
    // positions a dragged thumb passes through.
    bar->setTracking(false);
    // Qt's horizontal bars turn the keys round by default; here the right key
    // raises the value like the right arrow button (and the wheel turned
    // upwards raises it too).
    bar->setInvertedControls(false);
    bar->setFocusPolicy(Qt::StrongFocus);
    Describe(bar, caption,
             QStringLiteral("%1 を調整する (0-%2)").arg(caption).arg(parameter.maximum()));
    bars_[size_t(index)] = bar;

    auto* text = new QLineEdit(QStringLiteral("000"), frame);
    text->setObjectName(name + QStringLiteral("_txt"));
    text->setGeometry(kTextX, y - 1, kTextWidth, kRowHeight + 2);
    text->setFont(UiFont(kFontPoints));
    Describe(text, caption + QStringLiteral(" の値"), caption + QStringLiteral("の現在の値"));
    text_boxes_[size_t(index)] = text;
}

void Form6::bindRows() {
#define TALVO_BIND_TIMING_ROW(name)                    \
    name = bar(TimingParameterIndex(#name));           \
    name##_txt = textBox(TimingParameterIndex(#name)); \
    QObject::connect(name, &QScrollBar::valueChanged, this, &Form6::name##_Change);
    TALVO_TIMING_PARAMETERS(TALVO_BIND_TIMING_ROW)
#undef TALVO_BIND_TIMING_ROW
}

}  // namespace talvo
