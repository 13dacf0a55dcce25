#pragma once

#include "app/shell.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QWidget>

#include <functional>
#include <map>

namespace lantorvix {

// The settings window "Lantorvix - Beállítások", built from the form's control table: every
// control at its fixed pixel position, with its text, tab order and design state, named
// (objectName) as in the table. It only shows; what the controls do is decided by the
// callbacks that the Qt shell connects to TForm1.
class SettingsWindow : public QWidget {
public:
    SettingsWindow();

    // A control by its table identifier (cid::).
    QWidget* Control(int id) const;
    QComboBox* Combo(ComboBox box) const;
    QCheckBox* Check(CheckBox box) const;
    // The waiting line ("StatusLine"): hidden when text is empty.
    void SetStatusLine(const QString& text);

    // Called for every close request (title bar, Alt+F4, close()); the request is refused
    // unless it returns true.
    std::function<bool()> onClose;
    std::function<void()> onShow;
    std::function<void()> onImageClick;

    // Puts the window in the middle of its screen, the first time only.
    void CentreOnScreen();

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::map<int, QWidget*> controls_;
    QLabel* statusLine_ = nullptr;
    bool centred_ = false;
};

} // namespace lantorvix
