#include "tools/capture_help.h"

#include "platform/platform.h"
#include "serial/port_enumeration.h"

const CaptureHelpTexts& PlatformHelpTexts() {
  static const CaptureHelpTexts texts{
      "With no replay option, captures from the configured COM port until\n"
      "interrupted (Ctrl+C, Ctrl+Break or closing the console); a report still\n"
      "pending then is exported.\n",

      "                      Ctrl+C, Ctrl+Break or closing the console stops a\n"
      "                      replay: the report in hand is exported and the\n"
      "                      progress is told\n",

      "  --port NAME         capture from the COM port NAME (\"COM3\") or the USB\n"
      "                      adapter of the stable name NAME (\"usb:0403:6001:A51MAMME\",\n"
      "                      as --list-ports shows) instead of the stored port\n",

      "Settings are read from %APPDATA%\\Harrow\\Kestrel.ini; a user who has none\n"
      "starts with a copy of the machine's %ProgramData%\\Harrow\\Kestrel.ini. The\n"
      "default root folder of a model is C:\\MODEL (C:\\6310, ...), reports that\n"
      "cannot be written there go to %LOCALAPPDATA%\\Harrow\\unsaved. The service\n"
      "reads %ProgramData%\\Harrow\\Kestrel.ini itself, its default root folders\n"
      "are %ProgramData%\\Harrow\\MODEL, its unsaved reports go to\n"
      "%ProgramData%\\Harrow\\unsaved, and its messages to the Application event\n"
      "log (source HarrowCapture) and to harrow-capture.log in the Log folder.\n",

      "replay was interrupted (Ctrl+C, Ctrl+Break or closing the console) before\n"
      "the end of its input.\n",

      "  --install-service   install the capture as the Windows service HarrowCapture,\n"
      "                      started with Windows; --port, --model and --root given\n"
      "                      with it are kept in its command line, the rest comes\n"
      "                      from the machine's settings. Run again to change them.\n"
      "                      Needs administrator rights; start it with\n"
      "                      \"net start HarrowCapture\"\n"
      "  --remove-service    stop the service (a report in hand is exported) and\n"
      "                      remove it; settings, logs and reports stay\n"
      "  --service           run as the service: given by the service manager only\n",
  };
  return texts;
}

// The settings file keeps port names of at most kComPortLength characters
// ("COM1" to "COM256"), and the port is opened as "\\.\" NAME: a longer
// name, or one with a path in it, would be read cut short or name no COM
// port at all, so it is refused as given rather than tried as something else.
// A USB adapter's stable name is taken whole, as the settings take it.
bool PortOptionName(const std::string& given, std::string* port, std::string* err) {
  if (IsStablePortName(given)) {
    *port = given;
    return true;
  }
  if (given.size() > kComPortLength || given.find_first_of("\\/:") != std::string::npos) {
    *err = given + " cannot be a COM port name (such as COM3; --list-ports lists this machine's ports)";
    return false;
  }
  *port = given;
  return true;
}
