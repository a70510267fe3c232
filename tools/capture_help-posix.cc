#include "tools/capture_help.h"

const CaptureHelpTexts& PlatformHelpTexts() {
  static const CaptureHelpTexts texts{
      "With no replay option, captures from the configured serial port until\n"
      "interrupted (Ctrl+C or SIGTERM); a report still pending then is exported.\n",

      "                      Ctrl+C or SIGTERM stops a replay: the report in hand\n"
      "                      is exported and the progress is told\n",

      "  --port NAME         capture from NAME instead of the stored port: a device\n"
      "                      below /dev (\"ttyUSB0\", \"dev/ttyUSB0\") or a full path\n"
      "                      (\"/dev/serial/by-id/...\")\n",

      "Settings are read from $XDG_CONFIG_HOME/Kestrel.ini (default ~/.config);\n"
      "the default root folder of a model is ~/MODEL, reports that cannot be\n"
      "written there go to $XDG_DATA_HOME/harrow/unsaved (default ~/.local/share).\n",

      "replay was interrupted (Ctrl+C or SIGTERM) before the end of its input.\n",

      // systemd runs it as it is (harrow-capture@.service).
      "",
  };
  return texts;
}

// A service instance names its port through systemd, which unescapes
// "/dev/serial/by-id/..." to "dev/serial/by-id/..." without the leading
// slash. No device lives at "/dev/dev/...", so such a name is read as the
// full path.
bool PortOptionName(const std::string& given, std::string* port, std::string*) {
  *port = given.rfind("dev/", 0) == 0 ? "/" + given : given;
  return true;
}
