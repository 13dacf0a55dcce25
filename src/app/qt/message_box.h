#pragma once

#include "app/shell.h"

#include <QMessageBox>

#include <string_view>

namespace lantorvix {

// Builds the Qt box for a kind: icon, buttons and default button. The button texts are the
// runtime's translatable ones.
void ConfigureMessageBox(QMessageBox& box, BoxKind kind);

// Shows a modal box and returns the button that closed it.
BoxAnswer ShowMessageBox(QWidget* owner, std::string_view text, std::string_view caption, BoxKind kind);

} // namespace lantorvix
