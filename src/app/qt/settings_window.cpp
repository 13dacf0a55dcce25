#include "app/qt/settings_window.h"

#include "app/qt/icon_art.h"

#include <QCloseEvent>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QScreen>

namespace lantorvix {
namespace {

QLabel* MakeLabel(QWidget* parent, const char* text, int left, int top)
{
    auto* label = new QLabel(QString::fromUtf8(text), parent);
    label->move(left, top);
    label->adjustSize();
    return label;
}

QLabel* MakeHeader(QWidget* parent, const char* text, int left, int top)
{
    auto* label = new QLabel(QString::fromUtf8(text), parent);
    QFont bold = label->font();
    bold.setBold(true);
    label->setFont(bold);
    label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    label->setGeometry(left, top, 169, 17);
    return label;
}

QComboBox* MakeCombo(QWidget* parent, std::initializer_list<const char*> items, int left, int top, int width)
{
    auto* combo = new QComboBox(parent);
    combo->setEditable(false); // a drop-down list: only its own items can be chosen
    for (const char* item : items) {
        combo->addItem(QString::fromUtf8(item));
    }
    combo->setGeometry(left, top, width, 21);
    return combo;
}

QFrame* MakeBevel(QWidget* parent, QFrame::Shape shape, int left, int top, int width, int height)
{
    auto* line = new QFrame(parent);
    line->setFrameShape(shape);
    line->setFrameShadow(QFrame::Sunken);
    line->setGeometry(left, top, width, height);
    return line;
}

// "MS Sans Serif" 8 pt at 96 dpi is 11 pixels high. Where it is missing, the first face of
// similar width that is installed stands in, one pixel smaller at a time until the longest
// text fits its fixed rectangle beside the check box's indicator.
QFont WindowFont()
{
    QString family;
    for (const char* candidate :
         {"MS Sans Serif", "Microsoft Sans Serif", "Liberation Sans", "Arial", "DejaVu Sans Condensed"}) {
        if (QFontDatabase::hasFamily(QString::fromLatin1(candidate))) {
            family = QString::fromLatin1(candidate);
            break;
        }
    }
    QFont font(family);
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(11);
    const QString longest = QString::fromUtf8("Vezető nullák eldobása");
    while (font.pixelSize() > 9 && QFontMetrics(font).horizontalAdvance(longest) > 129 - 22) {
        font.setPixelSize(font.pixelSize() - 1);
    }
    return font;
}

} // namespace

SettingsWindow::SettingsWindow()
    : QWidget(nullptr, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                           Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint)
{
    setWindowTitle(QString::fromUtf8("Lantorvix - Beállítások"));
    setWindowIcon(ApplicationIcon());
    setFont(WindowFont());
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, pal.color(QPalette::Button));
    setPalette(pal);
    resize(337, 212);

    Label5 = MakeHeader(this, "Kommunikáció:", 0, 12);
    Label2 = MakeLabel(this, "Port:", 12, 32);
    cmbPort = MakeCombo(this, {"NINCS"}, 12, 48, 65);
    Label8 = MakeLabel(this, "Sebesség:", 88, 32);
    cmbBaud = MakeCombo(this, {"1200", "2400", "4800", "9600", "19200"}, 88, 48, 65);
    cmbBaud->setCurrentIndex(-1);
    Bevel2 = MakeBevel(this, QFrame::HLine, 10, 80, 141, 9);
    Label6 = MakeHeader(this, "Vonalkódolvasó:", 0, 100);
    Label7 = MakeLabel(this, "Lezáró karakter: ", 32, 124);
    cmbStop = MakeCombo(this, {"ENTER (CR/LF)", "CR"}, 32, 140, 105);
    Bevel1 = MakeBevel(this, QFrame::VLine, 167, 16, 2, 145);
    Label4 = MakeHeader(this, "Program:", 168, 12);
    chkDiscNull = new QCheckBox(QString::fromUtf8("Vezető nullák eldobása"), this);
    chkDiscNull->setGeometry(184, 44, 129, 25);
    ChkAutoRun = new QCheckBox(QString::fromUtf8("Bekapcsoláskor indul"), this);
    ChkAutoRun->setGeometry(184, 84, 129, 17);
    ChkAutoRun->setChecked(true);
    Label3 = MakeLabel(this, "Hozzáadott adat: ", 198, 124);
    cmbAdd = MakeCombo(this, {"NINCS", "ENTER (CR/LF)", "TAB"}, 198, 140, 105);
    btnOK = new QPushButton(QString::fromUtf8("Alkalmaz"), this);
    btnOK->setGeometry(88, 184, 71, 25);
    btnCancel = new QPushButton(QString::fromUtf8("Mégse"), this);
    btnCancel->setGeometry(178, 184, 71, 25);
    Image1 = new QLabel(this);
    Image1->setGeometry(304, 184, 33, 33);
    Image1->setScaledContents(true);
    Image1->setPixmap(LogoPixmap(66));
    Image1->setCursor(Qt::PointingHandCursor);
    Image1->installEventFilter(this);

    // Tab order: cmbPort, chkDiscNull, btnOK, btnCancel, ChkAutoRun, cmbAdd, cmbStop, cmbBaud.
    QWidget* order[] = {cmbPort, chkDiscNull, btnOK, btnCancel, ChkAutoRun, cmbAdd, cmbStop, cmbBaud};
    for (std::size_t i = 0; i + 1 < std::size(order); ++i) {
        setTabOrder(order[i], order[i + 1]);
    }
    for (QWidget* w :
         {static_cast<QWidget*>(Image1), static_cast<QWidget*>(Bevel1), static_cast<QWidget*>(Bevel2)}) {
        w->setFocusPolicy(Qt::NoFocus);
    }
}

QComboBox* SettingsWindow::Combo(ComboBox box) const
{
    switch (box) {
    case ComboBox::cmbPort:
        return cmbPort;
    case ComboBox::cmbBaud:
        return cmbBaud;
    case ComboBox::cmbStop:
        return cmbStop;
    case ComboBox::cmbAdd:
        return cmbAdd;
    }
    return cmbPort;
}

QCheckBox* SettingsWindow::Check(CheckBox box) const
{
    return box == CheckBox::chkDiscNull ? chkDiscNull : ChkAutoRun;
}

void SettingsWindow::CentreOnScreen()
{
    if (centred_) {
        return;
    }
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        move(area.center() - QPoint(width() / 2, height() / 2));
    }
    centred_ = true;
}

void SettingsWindow::closeEvent(QCloseEvent* event)
{
    if (onClose && !onClose()) {
        event->ignore();
        return;
    }
    event->accept();
}

void SettingsWindow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (onShow && !event->spontaneous()) {
        onShow();
    }
}

bool SettingsWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == Image1 && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        if (onImageClick) {
            onImageClick();
        }
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace lantorvix
