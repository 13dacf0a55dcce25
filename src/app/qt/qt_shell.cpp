#include "app/qt/qt_shell.h"

#include "app/qt/icon_art.h"
#include "app/qt/message_box.h"
#include "app/tform1.h"

#include <QApplication>
#include <QCursor>
#include <QDesktopServices>
#include <QUrl>

namespace lantorvix {
namespace {

QString FromUtf8(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// Holds a flag for the length of a scope.
class FlagScope {
public:
    explicit FlagScope(bool& flag) : flag_(flag), old_(flag) { flag_ = true; }
    ~FlagScope() { flag_ = old_; }
    FlagScope(const FlagScope&) = delete;
    FlagScope& operator=(const FlagScope&) = delete;

private:
    bool& flag_;
    bool old_;
};

} // namespace

QtShell::QtShell(const std::string& makerUrl)
    : window_(std::make_unique<SettingsWindow>()), menu_(std::make_unique<QMenu>())
{
    window_->Image1->setToolTip(FromUtf8(makerUrl));
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication::setWindowIcon(ApplicationIcon());

    QAction* settings = menu_->addAction(QString::fromUtf8("Beállítások"));
    menu_->addSeparator();
    QAction* exit = menu_->addAction(QString::fromUtf8("Kilépés"));
    QFont bold = exit->font();
    bold.setBold(true);
    exit->setFont(bold);
    menu_->setDefaultAction(exit);
    QObject::connect(settings, &QAction::triggered,
                     [this] { Deliver([](TForm1& f) { f.Belltsok1Click(); }); });
    // Queued: the exit question must not run inside the closing menu's own loop.
    QObject::connect(
        exit, &QAction::triggered, menu_.get(), [this] { Deliver([](TForm1& f) { f.Kilps1Click(); }); },
        Qt::QueuedConnection);

    tray_ = std::make_unique<QSystemTrayIcon>(ApplicationIcon());
    tray_->setToolTip(QStringLiteral("Lantorvix"));
    QObject::connect(tray_.get(), &QSystemTrayIcon::activated,
                     [this](QSystemTrayIcon::ActivationReason reason) {
                         TrayNotification n = TrayNotification::other;
                         if (reason == QSystemTrayIcon::DoubleClick) {
                             n = TrayNotification::wmLButtonDblClk;
                         } else if (reason == QSystemTrayIcon::Context) {
                             n = TrayNotification::wmRButtonDown;
                         }
                         if (n != TrayNotification::other) {
                             Deliver([n](TForm1& f) { f.TrayIconNotify(n); });
                         }
                     });

    timer_.setInterval(1000);
    QObject::connect(&timer_, &QTimer::timeout, [this] { Deliver([](TForm1& f) { f.Timer1Timer(); }); });
    ConnectWindow();
}

QtShell::~QtShell() = default;

void QtShell::Attach(TForm1* form)
{
    form_ = form;
}

template <typename Handler> void QtShell::Deliver(Handler handler)
{
    if (form_ != nullptr) {
        TForm1& form = *form_;
        form.RunHandler([&] { handler(form); });
    }
}

void QtShell::ConnectWindow()
{
    SettingsWindow& w = *window_;
    auto onUser = [this](auto handler) {
        return [this, handler] {
            if (!programmatic_) {
                Deliver(handler);
            }
        };
    };
    QObject::connect(w.cmbPort, &QComboBox::activated, onUser([](TForm1& f) { f.cmbPortChange(); }));
    QObject::connect(w.cmbBaud, &QComboBox::activated, onUser([](TForm1& f) { f.cmbBaudChange(); }));
    QObject::connect(w.cmbStop, &QComboBox::activated, onUser([](TForm1& f) { f.cmbStopChange(); }));
    QObject::connect(w.cmbAdd, &QComboBox::activated, onUser([](TForm1& f) { f.cmbAddChange(); }));
    QObject::connect(w.chkDiscNull, &QCheckBox::clicked, onUser([](TForm1& f) { f.chkDiscNullClick(); }));
    QObject::connect(w.btnOK, &QPushButton::clicked, [this] { Deliver([](TForm1& f) { f.btnOKClick(); }); });
    QObject::connect(w.btnCancel, &QPushButton::clicked,
                     [this] { Deliver([](TForm1& f) { f.btnCancelClick(); }); });
    w.onImageClick = [this] { Deliver([](TForm1& f) { f.Image1Click(); }); };
    w.onShow = [this] { Deliver([](TForm1& f) { f.FormShow(); }); };
    w.onClose = [this] {
        if (!closingByProgram_ && onUserClose && onUserClose()) {
            return false;
        }
        TCloseAction action = TCloseAction::caHide;
        Deliver([&action](TForm1& f) { f.FormClose(action); });
        if (action == TCloseAction::caHide || action == TCloseAction::caMinimize) {
            window_->hide();
        }
        return action == TCloseAction::caFree;
    };
}

void QtShell::ShowWindow()
{
    window_->CentreOnScreen();
    window_->showNormal();
    window_->raise();
    window_->activateWindow();
}

void QtShell::HideWindow()
{
    window_->hide();
}

bool QtShell::WindowVisible() const
{
    return window_->isVisible();
}

void QtShell::CloseWindow()
{
    FlagScope scope(closingByProgram_);
    window_->close();
}

void QtShell::BringToForeground()
{
    if (window_->isVisible()) {
        window_->raise();
        window_->activateWindow();
    }
}

int QtShell::ItemCount(ComboBox box) const
{
    return window_->Combo(box)->count();
}

std::string QtShell::ItemText(ComboBox box, int index) const
{
    return window_->Combo(box)->itemText(index).toStdString();
}

void QtShell::AddItem(ComboBox box, std::string_view text)
{
    FlagScope scope(programmatic_);
    window_->Combo(box)->addItem(FromUtf8(text));
}

int QtShell::ItemIndex(ComboBox box) const
{
    return window_->Combo(box)->currentIndex();
}

void QtShell::SetItemIndex(ComboBox box, int index)
{
    FlagScope scope(programmatic_);
    window_->Combo(box)->setCurrentIndex(index);
}

bool QtShell::Checked(CheckBox box) const
{
    return window_->Check(box)->isChecked();
}

void QtShell::SetChecked(CheckBox box, bool checked)
{
    FlagScope scope(programmatic_);
    window_->Check(box)->setChecked(checked);
}

bool QtShell::AddTrayIcon()
{
    tray_->show();
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void QtShell::RemoveTrayIcon()
{
    tray_->hide();
}

void QtShell::PopupTrayMenu()
{
    menu_->popup(QCursor::pos());
}

DialogResult QtShell::MessageBox(std::string_view text, std::string_view caption, unsigned flags)
{
    return ShowMessageBox(window_->isVisible() ? window_.get() : nullptr, text, caption, flags);
}

void QtShell::SetTimerEnabled(bool enabled)
{
    if (!enabled) {
        timer_.stop();
    } else if (!timer_.isActive()) {
        timer_.start();
    }
}

bool QtShell::TimerEnabled() const
{
    return timer_.isActive();
}

void QtShell::ProcessMessages()
{
    QCoreApplication::processEvents();
}

int QtShell::RunMessageLoop()
{
    return QApplication::exec();
}

void QtShell::Terminate()
{
    QCoreApplication::quit();
}

void QtShell::OpenUrl(std::string_view url)
{
    QDesktopServices::openUrl(QUrl(FromUtf8(url)));
}

} // namespace lantorvix
