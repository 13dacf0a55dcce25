#pragma once

#include "app/shell.h"

#include <QMessageBox>

#include <string_view>

namespace lantorvix {

// Builds the Qt box for Win32 message box flags: icon (16 error, 32 question, 48 warning,
// 64 information), buttons (OK or Yes/No) and default button (the second with 256). The
// button texts are the runtime's translatable ones.
void ConfigureMessageBox(QMessageBox& box, unsigned flags);

// Shows a modal box and returns the button that closed it.
DialogResult ShowMessageBox(QWidget* owner, std::string_view text, std::string_view caption, unsigned flags);

} // namespace lantorvix
