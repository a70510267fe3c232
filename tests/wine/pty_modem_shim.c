/* Test-only preload library for running the Windows build under wine
 * against a Linux pseudo-terminal. A pty has no modem lines, so the kernel
 * refuses TIOCMGET and friends (ENOTTY, EINVAL), and wine then cancels
 * every WaitCommEvent on that port. Here those four calls are answered
 * from one remembered line word when, and only when, the real call
 * refused them; a real UART answers them itself and is untouched. */

#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <stdarg.h>
#include <sys/ioctl.h>
#include <termios.h>

typedef int (*ioctl_fn)(int, unsigned long, ...);

/* The lines the far end would drive are shown as up (CTS, DSR, CD), so a
 * port with hardware handshake sends and the carrier looks present. */
static int lines = TIOCM_CTS | TIOCM_DSR | TIOCM_CAR | TIOCM_DTR | TIOCM_RTS;

int ioctl(int fd, unsigned long request, ...) {
  static ioctl_fn real;
  va_list args;
  void *arg;
  int result;
  int saved;
  if (!real) real = (ioctl_fn)dlsym(RTLD_NEXT, "ioctl");
  va_start(args, request);
  arg = va_arg(args, void *);
  va_end(args);
  result = real(fd, request, arg);
  if (result != -1 || (errno != ENOTTY && errno != EINVAL) || !arg) return result;
  saved = errno;
  switch (request) {
    case TIOCMGET:
      *(int *)arg = lines;
      return 0;
    case TIOCMSET:
      lines = *(const int *)arg | TIOCM_CTS | TIOCM_DSR | TIOCM_CAR;
      return 0;
    case TIOCMBIS:
      lines |= *(const int *)arg;
      return 0;
    case TIOCMBIC:
      lines &= ~*(const int *)arg | TIOCM_CTS | TIOCM_DSR | TIOCM_CAR;
      return 0;
    default:
      errno = saved;
      return result;
  }
}
