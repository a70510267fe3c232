#include "platform/process_runner.h"

ProcessResult RunProcess(const std::vector<std::string>& argv,
                         const std::vector<std::pair<std::string, std::string>>& env,
                         std::chrono::milliseconds limit) {
  if (argv.empty() || argv[0].empty()) {
    ProcessResult result;
    result.startError = "no program is named";
    return result;
  }
  return RunNamedProgram(argv, env, limit);
}

std::string FirstLines(const std::string& text) {
  std::string out;
  size_t start = 0;
  for (size_t n = 0; n < kErrorHeadLines && start < text.size(); ++n) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.size() > 200) line = line.substr(0, 200) + "...";
    out += (n == 0 ? "" : "\n") + line;
    start = end + 1;
  }
  return out;
}

std::string QuoteWindowsArgument(const std::string& arg) {
  if (!arg.empty() && arg.find_first_of(" \t\n\v\"") == std::string::npos) return arg;
  // Backslashes are literal except in a run that ends at a quote, where
  // each pair stands for one: such runs are doubled, and the quote itself
  // escaped.
  std::string out = "\"";
  size_t backslashes = 0;
  for (char c : arg) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    if (c == '"') {
      out.append(backslashes * 2 + 1, '\\');
    } else {
      out.append(backslashes, '\\');
    }
    backslashes = 0;
    out += c;
  }
  out.append(backslashes * 2, '\\');
  out += '"';
  return out;
}

std::string WindowsCommandLine(const std::vector<std::string>& argv) {
  std::string line;
  for (size_t i = 0; i < argv.size(); ++i) line += (i == 0 ? "" : " ") + QuoteWindowsArgument(argv[i]);
  return line;
}
