// termios2 lives in the kernel's headers, which cannot be mixed with <termios.h>; this file
// therefore talks to the tty with ioctl only.
#include "serial/posix/tty_config.h"

#include <asm/termbits.h>
#include <cerrno>
#include <sys/ioctl.h>

namespace lantorvix::posix {

namespace {

void MakeRaw(struct termios2& t)
{
    t.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | IGNPAR | ISTRIP | INLCR | IGNCR | ICRNL | IXANY |
                                        IUCLC | IMAXBEL);
    t.c_iflag |= PARMRK | INPCK;
    t.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    t.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    t.c_cflag |= CREAD | CLOCAL;
    // MIN 1: an empty non-blocking read then fails with EAGAIN; with MIN 0 it would return 0,
    // which is how a hung-up tty answers.
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
}

bool Valid(const Dcb& dcb)
{
    if (dcb.BaudRate == 0 || dcb.ByteSize < 5 || dcb.ByteSize > 8 || dcb.Parity > 4 || dcb.StopBits > 2) {
        return false;
    }
    if (dcb.StopBits == 2 && dcb.ByteSize == 5) {
        return false;
    }
    return !(dcb.StopBits == 1 && dcb.ByteSize != 5);
}

int Errno(int result)
{
    return result == 0 ? 0 : errno;
}

// A line without modem control (a pseudo-terminal) has no DTR or RTS to drive.
bool NoModemControl(int error)
{
    return error == ENOTTY || error == EINVAL;
}

int SetLine(int fd, int line, bool on)
{
    const int result = ioctl(fd, on ? TIOCMBIS : TIOCMBIC, &line);
    const int error = Errno(result);
    return NoModemControl(error) ? 0 : error;
}

} // namespace

int ApplyRawMode(int fd)
{
    struct termios2 t {};
    if (ioctl(fd, TCGETS2, &t) != 0) {
        return errno;
    }
    MakeRaw(t);
    return Errno(ioctl(fd, TCSETS2, &t));
}

int ApplyDcb(int fd, const Dcb& dcb)
{
    if (!Valid(dcb)) {
        return EINVAL;
    }
    struct termios2 t {};
    if (ioctl(fd, TCGETS2, &t) != 0) {
        return errno;
    }
    MakeRaw(t);

    t.c_cflag &= ~static_cast<tcflag_t>(CBAUD | (CBAUD << IBSHIFT) | CSIZE | CSTOPB | PARENB | PARODD |
                                        CMSPAR | CRTSCTS);
    t.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
    t.c_ispeed = dcb.BaudRate;
    t.c_ospeed = dcb.BaudRate;

    static constexpr tcflag_t kSizes[] = {CS5, CS6, CS7, CS8};
    t.c_cflag |= kSizes[dcb.ByteSize - 5];
    switch (dcb.Parity) {
    case 1:
        t.c_cflag |= PARENB | PARODD;
        break;
    case 2:
        t.c_cflag |= PARENB;
        break;
    case 3:
        t.c_cflag |= PARENB | CMSPAR | PARODD;
        break;
    case 4:
        t.c_cflag |= PARENB | CMSPAR;
        break;
    default:
        break;
    }
    // With five data bits the UART sends one and a half stop bits for CSTOPB.
    if (dcb.StopBits != 0) {
        t.c_cflag |= CSTOPB;
    }
    // Linux has one switch for both directions of the CTS/RTS handshake.
    const std::uint32_t rts = dcb.Flags & dcb::fRtsControlMask;
    if ((dcb.Flags & dcb::fOutxCtsFlow) != 0 || rts == dcb::fRtsControlHandshake) {
        t.c_cflag |= CRTSCTS;
    }
    // Linux marks parity and framing errors only together (INPCK). A line that carries a parity
    // bit it does not check must take bad-parity bytes as they come, as the Windows driver
    // does; its framing errors then go unmarked too. Without a parity bit every mark is a
    // framing error, so the marks stay on.
    if (dcb.Parity != 0 && (dcb.Flags & dcb::fParity) == 0) {
        t.c_iflag &= ~static_cast<tcflag_t>(INPCK);
    }
    t.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF);
    if ((dcb.Flags & dcb::fOutX) != 0) {
        t.c_iflag |= IXON;
    }
    if ((dcb.Flags & dcb::fInX) != 0) {
        t.c_iflag |= IXOFF;
    }
    t.c_cc[VSTART] = static_cast<cc_t>(dcb.XonChar);
    t.c_cc[VSTOP] = static_cast<cc_t>(dcb.XoffChar);

    if (ioctl(fd, TCSETS2, &t) != 0) {
        return errno;
    }

    // DTR handshake has no Linux counterpart: the line is simply held on.
    const bool dtrOn = (dcb.Flags & dcb::fDtrControlMask) != 0;
    if (const int error = SetLine(fd, TIOCM_DTR, dtrOn); error != 0) {
        return error;
    }
    if (rts != dcb::fRtsControlHandshake) {
        // RTS toggle is on only while sending, and nothing is ever sent here.
        if (const int error = SetLine(fd, TIOCM_RTS, rts == dcb::fRtsControlEnable); error != 0) {
            return error;
        }
    }
    return 0;
}

} // namespace lantorvix::posix
