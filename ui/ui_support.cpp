#include "ui/ui_support.h"

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

}  // namespace talvo
