#include "platform/user_name.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

std::string UserName() {
  // The account database names the user even in a service, whose
  // environment may lack USER; a container's uid may have no entry there.
  std::vector<char> buf(16384);
  struct passwd pw {};
  struct passwd* found = nullptr;
  if (::getpwuid_r(::geteuid(), &pw, buf.data(), buf.size(), &found) == 0 && found && found->pw_name)
    return found->pw_name;
  for (const char* name : {"USER", "LOGNAME"}) {
    const char* value = std::getenv(name);
    if (value && *value) return value;
  }
  return "";
}
