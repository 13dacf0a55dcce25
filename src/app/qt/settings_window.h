#pragma once

#include "app/shell.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QWidget>

#include <functional>

namespace lantorvix {

// The settings window "Lantorvix - Beállítások": its controls at their fixed pixel
// positions, texts, tab order and design state. It only shows; what the controls do is
// decided by the callbacks that QtShell connects to TForm1.
class SettingsWindow : public QWidget {
public:
    SettingsWindow();

    QComboBox* Combo(ComboBox box) const;
    QCheckBox* Check(CheckBox box) const;

    QComboBox* cmbPort;
    QComboBox* cmbBaud;
    QComboBox* cmbStop;
    QComboBox* cmbAdd;
    QCheckBox* chkDiscNull;
    QCheckBox* ChkAutoRun;
    QPushButton* btnOK;
    QPushButton* btnCancel;
    QLabel* Image1;
    QLabel* Label2;
    QLabel* Label3;
    QLabel* Label4;
    QLabel* Label5;
    QLabel* Label6;
    QLabel* Label7;
    QLabel* Label8;
    QFrame* Bevel1;
    QFrame* Bevel2;

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
    bool centred_ = false;
};

} // namespace lantorvix
