#include "app/qt/close_on_signals.h"

#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QApplication>
#include <QDialog>
#include <QSocketNotifier>

#include "app/qt/capture_dialog.h"

namespace {

int signalPipe[2] = {-1, -1};

void OnSignal(int) {
  // Only async-signal-safe work here: the window thread does the rest. The
  // socket does not block, so a burst of signals can never hang the handler.
  char byte = 1;
  ssize_t ignored = ::write(signalPipe[1], &byte, 1);
  (void)ignored;
}

}  // namespace

void CloseOnSignals(CaptureDialog& window) {
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, signalPipe) != 0) return;
  auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, &window);
  QObject::connect(notifier, &QSocketNotifier::activated, &window, [&window] {
    char buffer[16];
    ssize_t ignored = ::read(signalPipe[0], buffer, sizeof buffer);
    (void)ignored;
    // Dialogs opened from the window (settings, about, messages) go first.
    while (QWidget* modal = QApplication::activeModalWidget()) {
      if (modal == &window) break;
      if (auto* dialog = qobject_cast<QDialog*>(modal))
        dialog->reject();
      else
        modal->close();
      if (QApplication::activeModalWidget() == modal) break;
    }
    window.RequestClose();
  });
  struct sigaction sa {};
  sa.sa_handler = OnSignal;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = SA_RESTART;
  ::sigaction(SIGTERM, &sa, nullptr);
  ::sigaction(SIGINT, &sa, nullptr);
}
