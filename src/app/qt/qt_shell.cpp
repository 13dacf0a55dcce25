#include "app/qt/qt_shell.h"

#include "app/form_layout.h"
#include "app/qt/icon_art.h"
#include "app/qt/message_box.h"
#include "app/qt/settings_window.h"
#include "app/qt/trayless_desktop.h"
#include "app/tform1.h"
#include "base/scoped_flag.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QCursor>
#include <QDesktopServices>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QUrl>

namespace lantorvix {
namespace {

QString FromUtf8(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

TrayClick TrayClickFor(QSystemTrayIcon::ActivationReason reason)
{
    switch (reason) {
    case QSystemTrayIcon::DoubleClick:
        return TrayClick::leftDoubleClick;
    case QSystemTrayIcon::Context:
        return TrayClick::rightButtonDown;
    default:
        return TrayClick::other;
    }
}

class QtShell final : public Shell {
public:
    QtShell();

    void Attach(TForm1* form) override
    {
        form_ = form;
        trayless_.reset();
        if (form_ != nullptr) {
            trayless_ = std::make_unique<TraylessDesktop>([this] {
                bool shown = false;
                Deliver([&shown](TForm1& f) { shown = f.AnotherCopyStarted(); });
                return shown;
            });
        }
    }

    void ShowWindow() override
    {
        window_.CentreOnScreen();
        window_.showNormal();
        window_.raise();
        window_.activateWindow();
    }
    void HideWindow() override { window_.hide(); }
    bool WindowVisible() const override { return window_.isVisible(); }
    void CloseWindow() override { window_.close(); }
    void BringToForeground() override
    {
        if (window_.isVisible()) {
            window_.raise();
            window_.activateWindow();
        }
    }

    int ItemCount(ComboBox box) const override { return window_.Combo(box)->count(); }
    std::string ItemText(ComboBox box, int index) const override
    {
        return window_.Combo(box)->itemText(index).toStdString();
    }
    void AddItem(ComboBox box, std::string_view text) override
    {
        ScopedFlag scope(programmatic_);
        QComboBox* combo = window_.Combo(box);
        combo->addItem(FromUtf8(text));
        // Long device names (/dev/serial/by-id/...) show whole in the open list.
        combo->view()->setMinimumWidth(combo->view()->sizeHintForColumn(0));
    }
    void KeepItems(ComboBox box, int count) override
    {
        ScopedFlag scope(programmatic_);
        QComboBox* combo = window_.Combo(box);
        while (combo->count() > count) {
            combo->removeItem(combo->count() - 1);
        }
    }
    int ItemIndex(ComboBox box) const override { return window_.Combo(box)->currentIndex(); }
    void SetItemIndex(ComboBox box, int index) override
    {
        ScopedFlag scope(programmatic_);
        window_.Combo(box)->setCurrentIndex(index);
    }
    bool Checked(CheckBox box) const override { return window_.Check(box)->isChecked(); }
    void SetChecked(CheckBox box, bool checked) override
    {
        ScopedFlag scope(programmatic_);
        window_.Check(box)->setChecked(checked);
    }

    bool AddTrayIcon() override
    {
        tray_.show();
        return QSystemTrayIcon::isSystemTrayAvailable();
    }
    void RemoveTrayIcon() override { tray_.hide(); }
    void PopupTrayMenu() override { menu_.popup(QCursor::pos()); }
    void SetPortStatus(std::string_view waitingText) override
    {
        const QString text = FromUtf8(waitingText);
        if (text.isEmpty()) {
            tray_.setIcon(ApplicationIcon());
            tray_.setToolTip(QStringLiteral("Lantorvix"));
        } else {
            tray_.setIcon(QIcon(ApplicationIcon().pixmap(64, QIcon::Disabled)));
            tray_.setToolTip(text);
        }
        window_.SetStatusLine(text);
    }
    bool TrayAvailable() const override { return TraylessDesktop::TrayAvailable(); }
    bool ShowRunningCopy() override { return TraylessDesktop::AskRunningCopyToShow(); }

    BoxAnswer MessageBox(std::string_view text, std::string_view caption, BoxKind kind) override
    {
        return ShowMessageBox(window_.isVisible() ? &window_ : nullptr, text, caption, kind);
    }

    void SetTimerEnabled(bool enabled) override
    {
        if (!enabled) {
            timer_.stop();
        } else if (!timer_.isActive()) {
            timer_.start();
        }
    }
    bool TimerEnabled() const override { return timer_.isActive(); }

    void ProcessMessages() override { QCoreApplication::processEvents(); }
    int RunMessageLoop() override { return QApplication::exec(); }
    void Terminate() override { QCoreApplication::quit(); }
    void OpenUrl(std::string_view url) override { QDesktopServices::openUrl(QUrl(FromUtf8(url))); }

private:
    template <typename Handler> void Deliver(Handler handler)
    {
        if (form_ != nullptr) {
            TForm1& form = *form_;
            form.RunHandler([&] { handler(form); });
        }
    }
    void ConnectTray();
    void ConnectWindow();

    TForm1* form_ = nullptr;
    SettingsWindow window_;
    QMenu menu_;
    QSystemTrayIcon tray_;
    QTimer timer_;
    std::unique_ptr<TraylessDesktop> trayless_;
    bool programmatic_ = false; // set while this shell changes a control itself
};

QtShell::QtShell()
{
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication::setWindowIcon(ApplicationIcon());
    ConnectTray();
    timer_.setInterval(1000);
    QObject::connect(&timer_, &QTimer::timeout, [this] { Deliver([](TForm1& f) { f.Timer1Timer(); }); });
    ConnectWindow();
}

void QtShell::ConnectTray()
{
    QAction* settings = menu_.addAction(QString::fromUtf8("Beállítások"));
    menu_.addSeparator();
    QAction* exit = menu_.addAction(QString::fromUtf8("Kilépés"));
    QFont bold = exit->font();
    bold.setBold(true);
    exit->setFont(bold);
    menu_.setDefaultAction(exit);
    QObject::connect(settings, &QAction::triggered,
                     [this] { Deliver([](TForm1& f) { f.Belltsok1Click(); }); });
    // Queued: the exit question must not run inside the closing menu's own loop.
    QObject::connect(
        exit, &QAction::triggered, &menu_, [this] { Deliver([](TForm1& f) { f.Kilps1Click(); }); },
        Qt::QueuedConnection);

    tray_.setIcon(ApplicationIcon());
    tray_.setToolTip(QStringLiteral("Lantorvix"));
    QObject::connect(&tray_, &QSystemTrayIcon::activated, [this](QSystemTrayIcon::ActivationReason reason) {
        const TrayClick click = TrayClickFor(reason);
        if (click != TrayClick::other) {
            Deliver([click](TForm1& f) { f.TrayIconNotify(click); });
        }
    });
}

void QtShell::ConnectWindow()
{
    for (const ControlLayout& c : FormControls()) {
        if (c.handler == nullptr) {
            continue;
        }
        // Only the user's changes reach the form, never this shell's own.
        auto onUser = [this, handler = c.handler] {
            if (!programmatic_) {
                Deliver([handler](TForm1& f) { (f.*handler)(); });
            }
        };
        QWidget* control = window_.Control(c.id);
        if (c.kind == ControlKind::comboList) {
            QObject::connect(static_cast<QComboBox*>(control), &QComboBox::activated, onUser);
        } else if (c.kind == ControlKind::picture) {
            window_.onImageClick = onUser;
        } else {
            QObject::connect(static_cast<QAbstractButton*>(control), &QAbstractButton::clicked, onUser);
        }
    }
    window_.onShow = [this] { Deliver([](TForm1& f) { f.FormShow(); }); };
    window_.onClose = [this] {
        TCloseAction action = TCloseAction::caHide;
        Deliver([&action](TForm1& f) { f.FormClose(action); });
        if (action == TCloseAction::caHide || action == TCloseAction::caMinimize) {
            window_.hide();
        }
        return action == TCloseAction::caFree;
    };
}

} // namespace

std::unique_ptr<Shell> CreateQtShell()
{
    return std::make_unique<QtShell>();
}

} // namespace lantorvix
