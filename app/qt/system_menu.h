#pragma once

#include <QByteArray>
#include <QString>

class QWidget;

/// The system-menu command of the about entry.
constexpr unsigned kAboutSystemCommand = 0x0010;

/// Appends a separator and `text` as command kAboutSystemCommand to the
/// window's system menu; false where the platform gives windows no such
/// menu of their own (X11 and Wayland: the window manager draws it).
bool AppendAboutToSystemMenu(QWidget* window, const QString& text);

/// True when a native window message is a system command whose low 16 bits
/// lie in 0x0010..0x001F, the about entry.
bool IsAboutSystemCommand(const QByteArray& eventType, void* message);
