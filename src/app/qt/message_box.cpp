#include "app/qt/message_box.h"

#include "app/qt/icon_art.h"
#include "base/codepage.h"
#include "base/resource_strings.h"
#include "i18n/translate.h"

#include <QAbstractButton>
#include <QPushButton>

namespace lantorvix {
namespace {

QString ButtonText(std::string_view msgid)
{
    // Messages are 8-bit in the language's code page, not UTF-8.
    const std::string text = AnsiToUtf8(LoadResString(msgid), i18n::AnsiCodePage());
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

void ConfigureMessageBox(QMessageBox& box, unsigned flags)
{
    switch (flags & 0xF0) {
    case mb::MB_ICONERROR:
        box.setIcon(QMessageBox::Critical);
        break;
    case mb::MB_ICONQUESTION:
        box.setIcon(QMessageBox::Question);
        break;
    case mb::MB_ICONWARNING:
        box.setIcon(QMessageBox::Warning);
        break;
    case 0x40:
        box.setIcon(QMessageBox::Information);
        break;
    default:
        box.setIcon(QMessageBox::NoIcon);
        break;
    }
    if ((flags & 0x0F) == mb::MB_YESNO) {
        QPushButton* yes = box.addButton(QMessageBox::Yes);
        QPushButton* no = box.addButton(QMessageBox::No);
        yes->setText(ButtonText(res::SMsgDlgYes));
        no->setText(ButtonText(res::SMsgDlgNo));
        box.setDefaultButton((flags & 0xF00) == mb::MB_DEFBUTTON2 ? no : yes);
        box.setEscapeButton(no);
    } else {
        QPushButton* ok = box.addButton(QMessageBox::Ok);
        ok->setText(ButtonText(res::SMsgDlgOK));
        box.setDefaultButton(ok);
        box.setEscapeButton(ok);
    }
}

DialogResult ShowMessageBox(QWidget* owner, std::string_view text, std::string_view caption, unsigned flags)
{
    QMessageBox box(owner);
    box.setWindowIcon(ApplicationIcon());
    box.setWindowTitle(QString::fromUtf8(caption.data(), static_cast<qsizetype>(caption.size())));
    // The texts break lines the Windows way.
    box.setText(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()))
                    .replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    box.setTextFormat(Qt::PlainText);
    ConfigureMessageBox(box, flags);
    box.exec();
    const auto* clicked = box.clickedButton();
    if (clicked == nullptr) {
        return (flags & 0x0F) == mb::MB_YESNO ? DialogResult::idNo : DialogResult::idOK;
    }
    switch (box.standardButton(const_cast<QAbstractButton*>(clicked))) {
    case QMessageBox::Yes:
        return DialogResult::idYes;
    case QMessageBox::No:
        return DialogResult::idNo;
    default:
        return DialogResult::idOK;
    }
}

} // namespace lantorvix
