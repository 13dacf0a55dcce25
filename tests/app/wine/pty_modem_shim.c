/* Preloaded into Wine by the end-to-end tests: a pseudo-terminal has no modem lines, and
 * TIOCMGET fails on it, which makes Wine cancel every pending WaitCommEvent (so no
 * reception is ever reported). Here TIOCMGET on a pseudo-terminal answers "all lines off",
 * as a serial port with nothing on its modem lines would. Everything else is passed on. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <stdarg.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

static int IsPseudoTerminal(int fd)
{
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISCHR(st.st_mode)) {
        return 0;
    }
    /* Unix 98 pseudo-terminal slaves have the majors 136 to 143. */
    return major(st.st_rdev) >= 136 && major(st.st_rdev) <= 143;
}

int ioctl(int fd, unsigned long request, ...)
{
    static int (*next)(int, unsigned long, ...) = 0;
    va_list args;
    va_start(args, request);
    void* arg = va_arg(args, void*);
    va_end(args);
    if (request == TIOCMGET && arg != 0 && IsPseudoTerminal(fd)) {
        *(int*)arg = 0;
        return 0;
    }
    if (next == 0) {
        next = (int (*)(int, unsigned long, ...))dlsym(RTLD_NEXT, "ioctl");
    }
    return next(fd, request, arg);
}
