#include "app/TForm1.h"

#include "app/TForm1Views.h"
#include "common/ErrorBoxText.h"
#include "cryptomsg/operations/Operations.h"

#include <QCheckBox>
#include <QPainter>
#include <QPushButton>
#include <QTimer>

#include <exception>

namespace ordalis {

namespace {

// The busy cursor while an operation runs, so a long one does not look like a hang.
class BusyScope {
public:
    explicit BusyScope(DesktopSeam& desktop) : m_desktop(desktop) { m_desktop.setBusy(true); }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;
    ~BusyScope()
    {
        try {
            m_desktop.setBusy(false);
        } catch (...) {
        }
    }

private:
    DesktopSeam& m_desktop;
};

constexpr QSize kOuterSize(625, 343);

} // namespace

TForm1::TForm1(DesktopSeam& desktop, QWidget* parent)
    : QWidget(parent), m_desktop(desktop), m_signView(std::make_unique<SignView>(*this)),
      m_verifyView(std::make_unique<VerifyView>(*this)), m_encryptView(std::make_unique<EncryptView>(*this)),
      m_decryptView(std::make_unique<DecryptView>(*this))
{
    createControls();
    connectHandlers();
}

TForm1::~TForm1() = default;

SignTab& TForm1::signTab() { return *m_signView; }
VerifyTab& TForm1::verifyTab() { return *m_verifyView; }
EncryptTab& TForm1::encryptTab() { return *m_encryptView; }
DecryptTab& TForm1::decryptTab() { return *m_decryptView; }

void TForm1::connectHandlers()
{
    onClick(Button1, &TForm1::Button1Click);
    onClick(Button2, &TForm1::Button2Click);
    onClick(Button3, &TForm1::Button3Click);
    onClick(Button4, &TForm1::Button4Click);
    onClick(Button5, &TForm1::Button5Click);
    onClick(Button6, &TForm1::Button6Click);
    onClick(Button7, &TForm1::Button7Click);
    onClick(Button8, &TForm1::Button8Click);
    onClick(Button9, &TForm1::Button9Click);
    onClick(Button11, &TForm1::Button11Click);
    // Runs on every change of the box, by the user or by an operation's reset.
    connect(CheckBox4, &QCheckBox::toggled, this, [this] { guarded([this] { CheckBox4Click(CheckBox4); }); });
}

void TForm1::onClick(QPushButton* button, void (TForm1::*handler)(QObject*))
{
    connect(button, &QPushButton::clicked, this,
            [this, button, handler] { guarded([this, button, handler] { (this->*handler)(button); }); });
}

// Exceptions must not cross the Qt event loop: whatever escapes a handler ends
// it and is shown in the error box, and the loop carries on.
template <class Handler>
void TForm1::guarded(Handler&& handler) noexcept
{
    try {
        handler();
    } catch (const std::exception& error) {
        showEscapedError(error.what());
    } catch (...) {
        showEscapedError("Unknown error");
    }
}

void TForm1::showEscapedError(const char* message) noexcept
{
    try {
        m_desktop.showError(ErrorBoxText(message));
    } catch (...) {
        // Nothing is left to tell the user with; the loop must still go on.
    }
}

void TForm1::Button1Click(QObject*)
{
    BusyScope busy(m_desktop);
    SignOperation(*m_signView, m_desktop);
}

void TForm1::Button3Click(QObject*)
{
    BusyScope busy(m_desktop);
    VerifyOperation(*m_verifyView, m_desktop);
}

void TForm1::Button7Click(QObject*)
{
    BusyScope busy(m_desktop);
    EncryptOperation(*m_encryptView, m_desktop);
}

void TForm1::Button9Click(QObject*)
{
    BusyScope busy(m_desktop);
    DecryptOperation(*m_decryptView, m_desktop);
}

void TForm1::paintEvent(QPaintEvent*)
{
    // The form's own background is the workspace colour; the tabs keep theirs.
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Dark));
}

void TForm1::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!m_outerBoundsFitted) {
        m_outerBoundsFitted = true;
        QTimer::singleShot(0, this, [this] { fitOuterBounds(); });
    }
}

// The designed size is the outer size, frame included; Qt sizes the client
// area, and the frame is known only once the window is on the screen.
void TForm1::fitOuterBounds()
{
    if (windowState() & (Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen))
        return;
    const QSize frame = frameGeometry().size() - size();
    if (frame.width() > 0 || frame.height() > 0)
        resize(kOuterSize - frame);
}

} // namespace ordalis
