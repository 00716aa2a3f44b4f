#include "ui/ui_support.h"

#include <QPushButton>
#include <QStringList>
#include <QWidget>

namespace talvo {

QFont UiFont(double point_size) {
    QFont font;
    font.setFamilies({QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("MS PGothic"),
                      QStringLiteral("IPAPGothic"), QStringLiteral("Noto Sans CJK JP")});
    font.setPointSizeF(point_size);
    font.setWeight(QFont::Normal);
    return font;
}

void Describe(QWidget* control, const QString& name, const QString& description) {
    control->setAccessibleName(name);
    control->setAccessibleDescription(description);
    control->setToolTip(description);
}

QPushButton* MakeButton(QWidget* parent, const QString& object_name, const QString& caption,
                        QRect geometry, const QString& description,
                        const std::optional<QFont>& font) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(object_name);
    button->setGeometry(geometry);
    if (font) button->setFont(*font);
    Describe(button, caption, description);
    return button;
}

}  // namespace talvo
