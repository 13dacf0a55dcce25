#include "app/qt/settings_window.h"

#include "app/form_layout.h"
#include "app/qt/icon_art.h"

#include <QCloseEvent>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>

#include <algorithm>
#include <vector>

namespace lantorvix {
namespace {

QLabel* MakeLabel(QWidget* parent, const ControlLayout& c)
{
    auto* label = new QLabel(QString::fromUtf8(c.text), parent);
    if (c.kind == ControlKind::boldLabel) {
        QFont bold = label->font();
        bold.setBold(true);
        label->setFont(bold);
        label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    }
    return label;
}

QComboBox* MakeCombo(QWidget* parent, const ControlLayout& c)
{
    auto* combo = new QComboBox(parent);
    combo->setEditable(false); // a drop-down list: only its own items can be chosen
    for (const char* item : c.items) {
        combo->addItem(QString::fromUtf8(item));
    }
    combo->setCurrentIndex(c.initial);
    return combo;
}

QFrame* MakeBevel(QWidget* parent, QFrame::Shape shape)
{
    auto* line = new QFrame(parent);
    line->setFrameShape(shape);
    line->setFrameShadow(QFrame::Sunken);
    return line;
}

QLabel* MakePicture(QWidget* parent, const ControlLayout& c)
{
    auto* picture = new QLabel(parent);
    picture->setScaledContents(true);
    picture->setPixmap(LogoPixmap(2 * c.width));
    picture->setCursor(Qt::PointingHandCursor);
    picture->setToolTip(QString::fromUtf8(c.text));
    return picture;
}

QWidget* MakeControl(QWidget* parent, const ControlLayout& c)
{
    switch (c.kind) {
    case ControlKind::label:
    case ControlKind::boldLabel:
        return MakeLabel(parent, c);
    case ControlKind::comboList:
        return MakeCombo(parent, c);
    case ControlKind::checkBox: {
        auto* box = new QCheckBox(QString::fromUtf8(c.text), parent);
        box->setChecked(c.initial != 0);
        return box;
    }
    case ControlKind::button:
        return new QPushButton(QString::fromUtf8(c.text), parent);
    case ControlKind::horizontalLine:
        return MakeBevel(parent, QFrame::HLine);
    case ControlKind::verticalLine:
        return MakeBevel(parent, QFrame::VLine);
    case ControlKind::picture:
        return MakePicture(parent, c);
    }
    return new QWidget(parent);
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
    const ControlLayout& longest = *FindControl(cid::chkDiscNull);
    const QString text = QString::fromUtf8(longest.text);
    while (font.pixelSize() > 9 && QFontMetrics(font).horizontalAdvance(text) > longest.width - 22) {
        font.setPixelSize(font.pixelSize() - 1);
    }
    return font;
}

} // namespace

SettingsWindow::SettingsWindow()
    : QWidget(nullptr, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                           Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint)
{
    setWindowTitle(QString::fromUtf8(kWindowCaption));
    setWindowIcon(ApplicationIcon());
    setFont(WindowFont());
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, pal.color(QPalette::Button));
    setPalette(pal);
    resize(kClientWidth, kClientHeight);

    std::vector<QWidget*> tabOrder;
    for (const ControlLayout& c : FormControls()) {
        QWidget* w = MakeControl(this, c);
        w->setObjectName(QString::fromLatin1(c.name));
        if (c.width == 0) {
            w->move(c.left, c.top);
            w->adjustSize();
        } else {
            w->setGeometry(c.left, c.top, c.width, c.height);
        }
        if (c.tabOrder < 0) {
            w->setFocusPolicy(Qt::NoFocus);
        } else {
            tabOrder.resize(std::max<std::size_t>(tabOrder.size(), static_cast<std::size_t>(c.tabOrder) + 1));
            tabOrder[static_cast<std::size_t>(c.tabOrder)] = w;
        }
        controls_[c.id] = w;
    }
    for (std::size_t i = 0; i + 1 < tabOrder.size(); ++i) {
        setTabOrder(tabOrder[i], tabOrder[i + 1]);
    }
    Control(cid::Image1)->installEventFilter(this);
    statusLine_ = new QLabel(this);
    statusLine_->setObjectName(QStringLiteral("StatusLine"));
    statusLine_->setGeometry(kStatusLeft, kStatusTop, kStatusWidth, kLabelHeight + 2);
    statusLine_->hide();
}

void SettingsWindow::SetStatusLine(const QString& text)
{
    statusLine_->setText(text);
    statusLine_->setToolTip(text);
    statusLine_->setVisible(!text.isEmpty());
}

QWidget* SettingsWindow::Control(int id) const
{
    const auto it = controls_.find(id);
    return it == controls_.end() ? nullptr : it->second;
}

QComboBox* SettingsWindow::Combo(ComboBox box) const
{
    return static_cast<QComboBox*>(Control(ControlId(box)));
}

QCheckBox* SettingsWindow::Check(CheckBox box) const
{
    return static_cast<QCheckBox*>(Control(ControlId(box)));
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
    if (watched == Control(cid::Image1) && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        if (onImageClick) {
            onImageClick();
        }
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace lantorvix
