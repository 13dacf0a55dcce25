#pragma once

#include "serial/comm_device.h"

namespace lantorvix::posix {

// termios for the control block. Input is always raw with PARMRK and INPCK, so that breaks
// and bytes received with errors reach the receive filter marked; output is raw; the modem
// control lines do not hang the line up. Speeds that have no B-constant (14400, 56000,
// 31250, ...) are set exactly through termios2.

// Puts a freshly opened tty into that raw mode, keeping its speed and character format.
// Returns 0 or an errno value.
int ApplyRawMode(int fd);

// Applies the control block: speed, character format, XON/XOFF, CTS/RTS handshake, the
// XON/XOFF characters and the DTR and RTS lines. A block the line cannot carry (speed 0,
// a size other than 5 to 8, a parity above 4, two stop bits with five data bits, one and a
// half with more) gives EINVAL, as SetCommState refuses it. Returns 0 or an errno value.
int ApplyDcb(int fd, const Dcb& dcb);

} // namespace lantorvix::posix
