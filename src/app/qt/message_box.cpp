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

void ConfigureMessageBox(QMessageBox& box, BoxKind kind)
{
    switch (kind) {
    case BoxKind::plain:
        box.setIcon(QMessageBox::NoIcon);
        break;
    case BoxKind::error:
        box.setIcon(QMessageBox::Critical);
        break;
    case BoxKind::warning:
    case BoxKind::yesNoWarning:
        box.setIcon(QMessageBox::Warning);
        break;
    case BoxKind::yesNoQuestion:
        box.setIcon(QMessageBox::Question);
        break;
    }
    if (IsYesNo(kind)) {
        QPushButton* yes = box.addButton(QMessageBox::Yes);
        QPushButton* no = box.addButton(QMessageBox::No);
        yes->setText(ButtonText(res::SMsgDlgYes));
        no->setText(ButtonText(res::SMsgDlgNo));
        box.setDefaultButton(no);
        box.setEscapeButton(no);
    } else {
        QPushButton* ok = box.addButton(QMessageBox::Ok);
        ok->setText(ButtonText(res::SMsgDlgOK));
        box.setDefaultButton(ok);
        box.setEscapeButton(ok);
    }
}

BoxAnswer ShowMessageBox(QWidget* owner, std::string_view text, std::string_view caption, BoxKind kind)
{
    QMessageBox box(owner);
    box.setWindowIcon(ApplicationIcon());
    box.setWindowTitle(QString::fromUtf8(caption.data(), static_cast<qsizetype>(caption.size())));
    // The texts break lines the Windows way.
    box.setText(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()))
                    .replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    box.setTextFormat(Qt::PlainText);
    ConfigureMessageBox(box, kind);
    box.exec();
    const auto* clicked = box.clickedButton();
    if (!IsYesNo(kind)) {
        return BoxAnswer::ok;
    }
    const bool yes =
        clicked != nullptr && box.standardButton(const_cast<QAbstractButton*>(clicked)) == QMessageBox::Yes;
    return yes ? BoxAnswer::yes : BoxAnswer::no;
}

} // namespace lantorvix
