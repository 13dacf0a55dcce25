#pragma once

#include <QIcon>
#include <QPixmap>

namespace lantorvix {

// The program's own pictures, drawn at run time so that they are sharp at every size:
// the application icon (a barcode on a blue tile, also the tray icon) and the maker's logo.
QPixmap IconPixmap(int size);
QIcon ApplicationIcon();
QPixmap LogoPixmap(int size);

} // namespace lantorvix
