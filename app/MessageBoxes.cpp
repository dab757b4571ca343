#include "app/MessageBoxes.h"

#include <QGridLayout>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>

namespace ordalis {

namespace {

// A message box placed in the middle of its screen rather than of its parent.
// The show event comes before the window is mapped and after the box has taken
// its final size, so moving it here does not flicker.
class ScreenCentredBox : public QMessageBox {
public:
    using QMessageBox::QMessageBox;

protected:
    void showEvent(QShowEvent* event) override
    {
        QMessageBox::showEvent(event);
        const QRect area = screen()->availableGeometry();
        move(area.center() - QPoint(width() / 2, height() / 2));
    }
};

// Room for the caption in the title bar: the window manager's caption font is
// usually bold, and its buttons and the window icon need about this much more.
constexpr int kTitleBarExtras = 144;

// A short notice would make a box too narrow for its own caption, which the
// window manager then cuts to a letter or two.
void KeepCaptionReadable(QMessageBox& box, const QString& title)
{
    QFont captionFont = box.font();
    captionFont.setBold(true);
    const int width = QFontMetrics(captionFont).horizontalAdvance(title) + kTitleBarExtras;
    auto* grid = qobject_cast<QGridLayout*>(box.layout());
    if (grid == nullptr)
        return;
    // QMessageBox sizes itself from its layout, so a spacer sets its least width.
    grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Minimum, QSizePolicy::Fixed), grid->rowCount(), 0, 1,
                  grid->columnCount());
}

void ShowBox(QWidget* parent, QMessageBox::Icon icon, const QString& title, const QString& text)
{
    ScreenCentredBox box(parent);
    box.setIcon(icon);
    box.setWindowTitle(title);
    box.setTextFormat(Qt::PlainText); // file names and system texts are never markup
    box.setText(text);
    QPushButton* ok = box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
    box.setDefaultButton(ok);
    box.setEscapeButton(ok);
    KeepCaptionReadable(box, title);
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
}

} // namespace

void ShowNoticeBox(QWidget* parent, const QString& title, const QString& text)
{
    ShowBox(parent, QMessageBox::NoIcon, title, text);
}

void ShowErrorBox(QWidget* parent, const QString& title, const QString& text)
{
    ShowBox(parent, QMessageBox::Critical, title, text);
}

} // namespace ordalis
