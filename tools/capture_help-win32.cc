#include "tools/capture_help.h"

#include "platform/platform.h"

const CaptureHelpTexts& PlatformHelpTexts() {
  static const CaptureHelpTexts texts{
      "With no replay option, captures from the configured COM port until\n"
      "interrupted (Ctrl+C, Ctrl+Break or closing the console); a report still\n"
      "pending then is exported.\n",

      "                      Ctrl+C, Ctrl+Break or closing the console stops a\n"
      "                      replay: the report in hand is exported and the\n"
      "                      progress is told\n",

      "  --port NAME         capture from the COM port NAME (\"COM3\") instead of the\n"
      "                      stored port\n",

      "Settings are read from %APPDATA%\\Harrow\\Kestrel.ini; the default root\n"
      "folder of a model is C:\\MODEL (C:\\6310, ...), reports that cannot be\n"
      "written there go to %LOCALAPPDATA%\\Harrow\\unsaved.\n",

      "replay was interrupted (Ctrl+C, Ctrl+Break or closing the console) before\n"
      "the end of its input.\n",
  };
  return texts;
}

// The settings file keeps port names of at most kComPortLength characters
// ("COM1" to "COM256"), and the port is opened as "\\.\" NAME: a longer
// name, or one with a path in it, would be read cut short or name no COM
// port at all, so it is refused as given rather than tried as something else.
bool PortOptionName(const std::string& given, std::string* port, std::string* err) {
  if (given.size() > kComPortLength || given.find_first_of("\\/:") != std::string::npos) {
    *err = given + " cannot be a COM port name (such as COM3; --list-ports lists this machine's ports)";
    return false;
  }
  *port = given;
  return true;
}
