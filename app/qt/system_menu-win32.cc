#include "app/qt/system_menu.h"

#include <windows.h>

#include <QWidget>

bool AppendAboutToSystemMenu(QWidget* window, const QString& text) {
  HMENU menu = ::GetSystemMenu(reinterpret_cast<HWND>(window->winId()), FALSE);
  if (!menu || text.isEmpty()) return false;
  ::AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
  return ::AppendMenuA(menu, MF_STRING, kAboutSystemCommand, text.toLocal8Bit().constData()) != 0;
}

bool IsAboutSystemCommand(const QByteArray& eventType, void* message) {
  if (eventType != "windows_generic_MSG") return false;
  const MSG* msg = static_cast<const MSG*>(message);
  return msg->message == WM_SYSCOMMAND && (LOWORD(msg->wParam) & 0xFFF0) == kAboutSystemCommand;
}
