// Standard output on Windows: WriteFile on the handle behind descriptor 1,
// a console or a pipe alike. Lines end in CR LF, as the C library's text
// mode wrote them before.

#include "tools/stdout_printer.h"

#include <io.h>
#include <windows.h>

#include <cstdio>

#include "platform/platform.h"

namespace {

class StdoutSink : public PrintSink {
 public:
  bool Write(const std::string& text, std::string* err) override {
    HANDLE out = reinterpret_cast<HANDLE>(::_get_osfhandle(::_fileno(stdout)));
    size_t done = 0;
    while (done < text.size()) {
      DWORD n = 0;
      DWORD size = static_cast<DWORD>(text.size() - done);
      if (!::WriteFile(out, text.data() + done, size, &n, nullptr)) {
        *err = SystemErrorText(static_cast<int>(::GetLastError()));
        return false;
      }
      done += n;
    }
    return true;
  }
};

}  // namespace

const char kPrintedLineEnd[] = "\r\n";

std::unique_ptr<PrintSink> StandardOutputSink() { return std::make_unique<StdoutSink>(); }
