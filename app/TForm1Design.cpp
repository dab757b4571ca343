// The window's controls at their designed places (pixels at 96 dpi; positions
// inside a tab are relative to the tab sheet). Qt scales them on dense screens.

#include "app/TForm1.h"

#include "app/CaptionFit.h"
#include "app/PathLabel.h"

#include <QCheckBox>
#include <QIcon>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>

// The icon lives in this static library; nothing else would pull it in.
static void InitAppResources() { Q_INIT_RESOURCE(ordalis); }

namespace ordalis {

namespace {

QPushButton* NewButton(QWidget* sheet, const char* name, const QString& caption, const QRect& geometry, bool enabled)
{
    auto* button = new QPushButton(caption, sheet);
    button->setObjectName(QLatin1String(name));
    button->setGeometry(geometry);
    button->setEnabled(enabled);
    // Enter presses the focused button as Space does; Qt gives buttons that
    // only inside dialogs.
    button->setAutoDefault(true);
    FitCaption(button);
    return button;
}

QCheckBox* NewCheckBox(QWidget* sheet, const char* name, const QString& caption, const QRect& geometry)
{
    auto* box = new QCheckBox(caption, sheet);
    box->setObjectName(QLatin1String(name));
    box->setGeometry(geometry);
    FitCaption(box);
    return box;
}

// An empty, self-sizing label. Labels lie beneath the other controls, so one
// that a control covers stays hidden.
PathLabel* NewLabel(QWidget* sheet, const char* name, int left, int top)
{
    auto* label = new PathLabel(sheet);
    label->setObjectName(QLatin1String(name));
    label->setTextFormat(Qt::PlainText); // a file name is never markup
    label->move(left, top);
    label->adjustSize();
    label->lower();
    return label;
}

QWidget* NewSheet(QTabWidget* pages, const char* name, const QString& caption)
{
    auto* sheet = new QWidget;
    sheet->setObjectName(QLatin1String(name));
    pages->addTab(sheet, caption);
    return sheet;
}

} // namespace

void TForm1::createControls()
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Ордалис 1.7 от 12.12.2018"));
    static const bool resourcesReady = (InitAppResources(), true);
    (void)resourcesReady;
    setWindowIcon(QIcon(QStringLiteral(":/MAINICON")));
    // The outer bounds are 625 x 343 at 192, 124; the frame is taken off the
    // client size once the window manager has told its size (fitOuterBounds).
    // The designed text size (8 points) in the platform's own typeface: the
    // controls' designed sizes are made for it.
    QFont designed = font();
    designed.setPointSize(8);
    setFont(designed);
    move(192, 124);
    resize(625, 343);

    PageControl1 = new QTabWidget(this);
    PageControl1->setObjectName(QStringLiteral("PageControl1"));
    PageControl1->setGeometry(8, 16, 593, 281);
    TabSheet1 = NewSheet(PageControl1, "TabSheet1", QStringLiteral("Подпись"));
    TabSheet2 = NewSheet(PageControl1, "TabSheet2", QStringLiteral("Верификация"));
    TabSheet3 = NewSheet(PageControl1, "TabSheet3", QStringLiteral("Шифрование"));
    TabSheet4 = NewSheet(PageControl1, "TabSheet4", QStringLiteral("DECRYPT"));

    createSignSheet();
    createVerifySheet();
    createEncryptSheet();
    createDecryptSheet();

    // One focus chain through the tab strip and each sheet's controls in their
    // designed order; Qt skips the controls of the sheets not shown.
    QWidget* const order[] = {PageControl1, Button1, Button2, CheckBox1, CheckBox2, CheckBox3, Memo1,   Button3,
                              Button4,      Button5, Button7, Button6,   CheckBox4, Button11,  Button8, Button9};
    for (std::size_t i = 0; i + 1 < std::size(order); ++i)
        setTabOrder(order[i], order[i + 1]);

    PageControl1->setCurrentIndex(0);
}

void TForm1::createSignSheet()
{
    QWidget* sheet = TabSheet1;
    Button1 = NewButton(sheet, "Button1", QStringLiteral("Подписать"), {256, 56, 75, 25}, false);
    Button2 = NewButton(sheet, "Button2", QStringLiteral("Открыть файл для подписания"), {16, 56, 217, 25}, true);
    CheckBox1 = NewCheckBox(sheet, "CheckBox1", QStringLiteral("Упаковать файлы 7zip"), {16, 16, 209, 17});
    CheckBox2 = NewCheckBox(sheet, "CheckBox2", QStringLiteral("BASE64"), {24, 104, 97, 17});
    CheckBox3 = NewCheckBox(sheet, "CheckBox3", QStringLiteral("Прикрепленная"), {112, 104, 129, 17});
    Label2 = NewLabel(sheet, "Label2", 112, 136);
}

void TForm1::createVerifySheet()
{
    QWidget* sheet = TabSheet2;
    Memo1 = new QPlainTextEdit(sheet);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setGeometry(32, 112, 561, 137);
    Memo1->setReadOnly(true);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Memo1->setTabChangesFocus(true);
    Memo1->setPlainText(QStringLiteral("Memo1"));
    Button3 = NewButton(sheet, "Button3", QStringLiteral("Проверить"), {512, 24, 75, 25}, false);
    Button4 = NewButton(sheet, "Button4", QStringLiteral("Исходный файл"), {32, 24, 97, 25}, true);
    Button5 = NewButton(sheet, "Button5", QStringLiteral("Файл подписи"), {32, 80, 97, 25}, true);
    Label1 = NewLabel(sheet, "Label1", 40, 56);
    Label3 = NewLabel(sheet, "Label3", 40, 112); // under Memo1, which hides it
}

void TForm1::createEncryptSheet()
{
    QWidget* sheet = TabSheet3;
    Button7 = NewButton(sheet, "Button7", QStringLiteral("Зашифровать"), {8, 144, 105, 25}, false);
    Button6 = NewButton(sheet, "Button6", QStringLiteral("Открыть файл"), {8, 48, 105, 25}, true);
    CheckBox4 = NewCheckBox(sheet, "CheckBox4", QStringLiteral("Выбрать сертификат из файла"), {120, 32, 289, 17});
    Button11 = NewButton(sheet, "Button11", QStringLiteral("Выбрать Сертификат"), {0, 8, 121, 25}, false);
    Label4 = NewLabel(sheet, "Label4", 40, 88);
    Label6 = NewLabel(sheet, "Label6", 128, 16);
}

void TForm1::createDecryptSheet()
{
    QWidget* sheet = TabSheet4;
    Button8 = NewButton(sheet, "Button8", QStringLiteral("Открыть файл"), {8, 64, 97, 25}, true);
    Button9 = NewButton(sheet, "Button9", QStringLiteral("DECRYPT"), {128, 64, 75, 25}, false);
    Label5 = NewLabel(sheet, "Label5", 64, 128);
}

} // namespace ordalis
