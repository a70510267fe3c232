// Holds a file open as another program may (an editor, a virus scanner, a
// backup): read access and no sharing at all, so no one else may open,
// rename or delete it meanwhile.
//   hold_file FILE RELEASE
// Prints "held" once the file is open, then keeps it until the file
// RELEASE exists (at most a minute). Exit status 1 when FILE cannot be
// opened.

#include <windows.h>

#include <shellapi.h>

#include <cstdio>

int main() {
  int argc = 0;
  wchar_t** argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
  if (!argv || argc != 3) {
    std::fprintf(stderr, "usage: hold_file FILE RELEASE\n");
    return 2;
  }
  HANDLE file = ::CreateFileW(argv[1], GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    std::fprintf(stderr, "hold_file: cannot open the file: error %lu\n", ::GetLastError());
    return 1;
  }
  std::printf("held\n");
  std::fflush(stdout);
  for (int i = 0; i < 600 && ::GetFileAttributesW(argv[2]) == INVALID_FILE_ATTRIBUTES; ++i) ::Sleep(100);
  ::CloseHandle(file);
  return 0;
}
