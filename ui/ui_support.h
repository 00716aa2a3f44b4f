#pragma once
// Small helpers every window uses for geometry, fonts and accessibility.

#include <QFont>
#include <QRect>
#include <QString>
#include <optional>

class QPushButton;
class QWidget;

namespace talvo {

// 15 twips make one pixel at 96 dots per inch.
constexpr int TwipsToPixels(int twips) { return (twips + 7) / 15; }
inline QRect TwipsRect(int left, int top, int width, int height) {
    return QRect(TwipsToPixels(left), TwipsToPixels(top), TwipsToPixels(width),
                 TwipsToPixels(height));
}

// The tool's Japanese UI font, with fallbacks for systems without it.
QFont UiFont(double point_size);

// Gives a control the name and description that screen readers announce,
// and the same description as its tooltip.
void Describe(QWidget* control, const QString& name, const QString& description);

// A push button in its fixed place, described for screen readers. Without a
// font it keeps its parent's.
QPushButton* MakeButton(QWidget* parent, const QString& object_name, const QString& caption,
                        QRect geometry, const QString& description,
                        const std::optional<QFont>& font = std::nullopt);

}  // namespace talvo
