#include "platform/user_name.h"

#include <windows.h>

std::string UserName() {
  // The ANSI call answers in UTF-8: the programs' manifest sets that code page.
  char buf[257] = {};
  DWORD size = sizeof buf;
  if (!::GetUserNameA(buf, &size) || size == 0) return "";
  return std::string(buf, size - 1);
}
