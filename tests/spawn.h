#pragma once

#include <fcntl.h>
#include <sys/types.h>
#include <unistd.h>

#include <string>
#include <utility>
#include <vector>

/// Starts `args[0]` (a path) with `args` as its arguments and its standard
/// output and error in the files `out` and `err`; the child's pid. Shared by
/// the tests and the benchmarks that run the real programs.
inline pid_t SpawnWithOutput(std::vector<std::string> args, const std::string& out,
                             const std::string& err) {
  pid_t pid = ::fork();
  if (pid == 0) {
    int o = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    int e = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ::dup2(o, 1);
    ::dup2(e, 2);
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  return pid;
}
