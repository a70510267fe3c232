// Standard output on POSIX systems: write(2) on descriptor 1.

#include "tools/stdout_printer.h"

#include <unistd.h>

#include <cerrno>

#include "platform/platform.h"

namespace {

class StdoutSink : public PrintSink {
 public:
  bool Write(const std::string& text, std::string* err) override {
    size_t done = 0;
    while (done < text.size()) {
      ssize_t n = ::write(STDOUT_FILENO, text.data() + done, text.size() - done);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) {
        *err = SystemErrorText(errno);
        return false;
      }
      done += static_cast<size_t>(n);
    }
    return true;
  }
};

}  // namespace

const char kPrintedLineEnd[] = "\n";

std::unique_ptr<PrintSink> StandardOutputSink() { return std::make_unique<StdoutSink>(); }
