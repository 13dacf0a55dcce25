/* LD_PRELOAD shim for Wine tests: a pseudo-terminal has no modem lines and refuses
 * TIOCMGET, which makes Wine end every pending WaitCommEvent on it at once. Answered here
 * as a line with every modem line off, the way a real port without a modem attached reads;
 * every other call goes to the C library unchanged. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <stdarg.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

typedef int (*ioctl_fn)(int, unsigned long, ...);

static int is_pseudo_terminal_slave(int fd)
{
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISCHR(st.st_mode)) {
        return 0;
    }
    /* Unix98 pseudo-terminal slaves: majors 136 to 143. */
    return major(st.st_rdev) >= 136 && major(st.st_rdev) <= 143;
}

int ioctl(int fd, unsigned long request, ...)
{
    static ioctl_fn real_ioctl;
    va_list args;
    void* arg;
    int result;
    int saved;

    va_start(args, request);
    arg = va_arg(args, void*);
    va_end(args);
    if (real_ioctl == 0) {
        void* symbol = dlsym(RTLD_NEXT, "ioctl");
        *(void**)(&real_ioctl) = symbol;
    }
    result = real_ioctl(fd, request, arg);
    saved = errno;
    if (result < 0 && request == TIOCMGET && (saved == ENOTTY || saved == EINVAL) && arg != 0 &&
        is_pseudo_terminal_slave(fd)) {
        *(int*)arg = 0;
        return 0;
    }
    errno = saved;
    return result;
}
