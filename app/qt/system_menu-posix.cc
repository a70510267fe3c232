#include "app/qt/system_menu.h"

bool AppendAboutToSystemMenu(QWidget*, const QString&) { return false; }

bool IsAboutSystemCommand(const QByteArray&, void*) { return false; }
