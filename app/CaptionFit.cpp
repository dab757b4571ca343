#include "app/CaptionFit.h"

#include <QCheckBox>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionButton>

namespace ordalis {

namespace {

constexpr int kPadding = 2; // pixels kept free on either side of the caption
constexpr qreal kSmallestPointSize = 6.0;
constexpr qreal kStep = 0.5;

int CaptionRoom(const QAbstractButton* control)
{
    QStyleOptionButton option;
    option.initFrom(control);
    option.rect = control->rect();
    option.text = control->text();
    const bool isCheckBox = qobject_cast<const QCheckBox*>(control) != nullptr;
    const auto element = isCheckBox ? QStyle::SE_CheckBoxContents : QStyle::SE_PushButtonContents;
    return control->style()->subElementRect(element, &option, control).width() - 2 * kPadding;
}

} // namespace

void FitCaption(QAbstractButton* control)
{
    const int room = CaptionRoom(control);
    QFont font = control->font();
    qreal size = font.pointSizeF();
    while (size - kStep >= kSmallestPointSize && QFontMetrics(font).horizontalAdvance(control->text()) > room) {
        size -= kStep;
        font.setPointSizeF(size);
    }
    if (font != control->font())
        control->setFont(font);
}

} // namespace ordalis
