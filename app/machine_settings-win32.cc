#include "app/machine_settings.h"

#include <windows.h>

#include <mutex>
#include <set>

#include "platform/platform.h"

void AdoptMachineSettings(const std::string& userFile) {
  static std::mutex mutex;
  static std::set<std::string> done;
  std::lock_guard<std::mutex> lock(mutex);
  if (!done.insert(userFile).second || PathExists(userFile)) return;
  std::string machine = MachineFolder() + "\\Kestrel.ini";
  // The service reads the machine's file itself.
  if (machine == userFile || !PathExists(machine)) return;
  size_t cut = userFile.find_last_of('\\');
  if (cut != std::string::npos) MakeDirectories(userFile.substr(0, cut));
  // A copy rather than a fallback read: once the user changes one setting
  // in the dialog, the others the site chose stay with it. Never replaces a
  // file that another program of the user wrote meanwhile, and leaves the
  // copy writable when the site made its own file read-only.
  if (::CopyFileA(machine.c_str(), userFile.c_str(), TRUE))
    ::SetFileAttributesA(userFile.c_str(), FILE_ATTRIBUTE_NORMAL);
}
