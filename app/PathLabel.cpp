#include "app/PathLabel.h"

#include <QPainter>
#include <QStyle>

#include <algorithm>

namespace ordalis {

namespace {

constexpr int kRightMargin = 4; // pixels kept free before the tab's edge

} // namespace

void PathLabel::setPath(const QString& path)
{
    setText(path);
    setToolTip(path);
}

int PathLabel::visibleWidth() const
{
    const QWidget* parent = parentWidget();
    if (parent == nullptr)
        return contentsRect().width();
    return std::max(0, std::min(contentsRect().width(), parent->width() - x() - kRightMargin));
}

QString PathLabel::shownText() const { return fontMetrics().elidedText(text(), Qt::ElideMiddle, visibleWidth()); }

void PathLabel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    QRect room = contentsRect();
    room.setWidth(visibleWidth());
    style()->drawItemText(&painter, room, Qt::AlignLeft | Qt::AlignVCenter, palette(), isEnabled(), shownText(),
                          foregroundRole());
}

} // namespace ordalis
