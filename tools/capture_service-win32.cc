// harrow-capture as the Windows service "HarrowCapture": the service
// manager starts it with --service, and it runs the live capture with the
// machine's settings until the manager stops it, or the system shuts down,
// exporting a report still in hand first. Its messages go to the event
// log and to a file beside the traffic log.

#include "tools/capture_service.h"

#include <windows.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <thread>

#include "app/capture_session.h"
#include "app/cut_short_exports.h"
#include "app/harrow_version.h"
#include "app/settings.h"
#include "capture_messages-win32.h"
#include "platform/clock.h"
#include "platform/notice.h"
#include "platform/platform.h"
#include "platform/process_runner.h"
#include "tools/capture_loop.h"
#include "tools/live_capture.h"
#include "tools/service_log.h"

namespace {

const char kServiceName[] = "HarrowCapture";
const char kDisplayName[] = "Harrow capture";
const char kEventLogKey[] = "SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\HarrowCapture";
// What the service manager is told to allow between two signs of progress
// while the capture stops; progress is signed every second as long as the
// export of the report in hand goes on.
constexpr DWORD kStopWaitHintMs = 10000;
const char kFailedEnd[] = "service stopped with exit status ";

// Each message is event 1 of the source, whose text is the message whole.
class EventLogSink : public NoticeSink {
 public:
  EventLogSink() : source_(::RegisterEventSourceA(nullptr, kServiceName)) {}
  ~EventLogSink() override {
    if (source_) ::DeregisterEventSource(source_);
  }

  void Notice(const std::string& text) override {
    if (!source_) return;
    const char* strings[] = {text.c_str()};
    ::ReportEventA(source_, TypeOf(text), 0, HARROW_CAPTURE_MESSAGE, nullptr, 1, 0, strings, nullptr);
  }

 private:
  // A console prints every message for the user to read; in the event log
  // the ordinary course of a capture is information, a service that ends
  // by a fault an error, and the rest a warning.
  static WORD TypeOf(const std::string& text) {
    if (text.rfind(kFailedEnd, 0) == 0) return EVENTLOG_ERROR_TYPE;
    for (const char* ordinary : {"capturing from ", "waiting for ", "Connected to the port ", "Reconnected to the port ",
                                 "service started", "service stopped"})
      if (text.rfind(ordinary, 0) == 0) return EVENTLOG_INFORMATION_TYPE;
    return EVENTLOG_WARNING_TYPE;
  }

  HANDLE source_;
};

// The one service of this process, shared by the handler (on the
// dispatcher's thread) and ServiceMain (on a thread of its own).
struct ServiceState {
  const CaptureOptions* options = nullptr;
  SERVICE_STATUS_HANDLE handle = nullptr;
  std::mutex mutex;
  std::condition_variable changed;
  SERVICE_STATUS status{};
  bool preshutdown = true;  // Windows XP refuses to be asked for it
  bool stopping = false;
  bool stopped = false;
  int exitStatus = 0;
};

ServiceState service;

// Tells the service manager the state; holds the state's mutex.
void SetState(DWORD state, DWORD waitHintMs = 0, int exitStatus = 0) {
  SERVICE_STATUS& s = service.status;
  s.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
  s.dwCurrentState = state;
  s.dwControlsAccepted = 0;
  if (state == SERVICE_RUNNING)
    s.dwControlsAccepted = SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN | (service.preshutdown ? SERVICE_ACCEPT_PRESHUTDOWN : 0);
  s.dwWin32ExitCode = exitStatus == 0 ? NO_ERROR : ERROR_SERVICE_SPECIFIC_ERROR;
  s.dwServiceSpecificExitCode = static_cast<DWORD>(exitStatus);
  s.dwCheckPoint = state == SERVICE_START_PENDING || state == SERVICE_STOP_PENDING ? s.dwCheckPoint + 1 : 0;
  s.dwWaitHint = waitHintMs;
  if (!::SetServiceStatus(service.handle, &s) && state == SERVICE_RUNNING && service.preshutdown) {
    service.preshutdown = false;
    s.dwControlsAccepted &= ~static_cast<DWORD>(SERVICE_ACCEPT_PRESHUTDOWN);
    ::SetServiceStatus(service.handle, &s);
  }
}

DWORD WINAPI OnControl(DWORD control, DWORD, void*, void*) {
  switch (control) {
    case SERVICE_CONTROL_STOP:
    case SERVICE_CONTROL_SHUTDOWN:
    case SERVICE_CONTROL_PRESHUTDOWN: {
      std::lock_guard<std::mutex> lock(service.mutex);
      if (!service.stopping && !service.stopped) {
        service.stopping = true;
        SetState(SERVICE_STOP_PENDING, kStopWaitHintMs);
        RequestStop();
        service.changed.notify_all();
      }
      return NO_ERROR;
    }
    case SERVICE_CONTROL_INTERROGATE:
      return NO_ERROR;
    default:
      return ERROR_CALL_NOT_IMPLEMENTED;
  }
}

void WINAPI ServiceMain(DWORD, char**) {
  service.handle = ::RegisterServiceCtrlHandlerExA(kServiceName, OnControl, nullptr);
  if (!service.handle) {
    service.exitStatus = 1;
    return;
  }
  {
    std::lock_guard<std::mutex> lock(service.mutex);
    SetState(SERVICE_START_PENDING, 5000);
  }
  SystemClock clock;
  EventLogSink events;
  ServiceLog log(clock, LogFolder() + "\\harrow-capture.log", MachineFolder() + "\\harrow-capture.log", &events);
  {
    std::lock_guard<std::mutex> lock(service.mutex);
    SetState(SERVICE_RUNNING);
  }
  log.Notice("service started: harrow-capture " HARROW_VERSION_TEXT ", settings from " + SettingsFilePath());
  CleanUpCutShortExports(CaptureSession::TrafficLogPath(), log);

  // While the capture exports what it holds, the service manager sees
  // progress every second; without it, it would take the service as hung.
  std::thread progress([] {
    std::unique_lock<std::mutex> lock(service.mutex);
    service.changed.wait(lock, [] { return service.stopping || service.stopped; });
    while (!service.changed.wait_for(lock, std::chrono::seconds(1), [] { return service.stopped; }))
      SetState(SERVICE_STOP_PENDING, kStopWaitHintMs);
  });
  int status = RunLiveCapture(*service.options, log);
  {
    std::lock_guard<std::mutex> lock(service.mutex);
    service.stopped = true;
    service.changed.notify_all();
  }
  progress.join();
  log.Notice(status == 0 ? std::string("service stopped")
                         : kFailedEnd + std::to_string(status) + " (see the messages before)");
  service.exitStatus = status;
  std::lock_guard<std::mutex> lock(service.mutex);
  SetState(SERVICE_STOPPED, 0, status);
}

int Refused(const std::string& what, DWORD code) {
  if (code == ERROR_ACCESS_DENIED) {
    std::fprintf(stderr,
                 "harrow-capture: %s needs administrator rights: open the console with \"Run as administrator\" "
                 "and run this again\n",
                 what.c_str());
  } else {
    std::fprintf(stderr, "harrow-capture: %s failed: %s\n", what.c_str(), SystemErrorText(static_cast<int>(code)).c_str());
  }
  return 1;
}

std::string ThisProgram() {
  std::string path(32768, '\0');
  DWORD n = ::GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
  path.resize(n < path.size() ? n : 0);
  return path;
}

// Best effort: the event log shows the messages without their source
// registered, only wrapped in a complaint that the source is unknown.
bool RegisterMessageSource(const std::string& program, std::string* err) {
  HKEY key;
  LONG r = ::RegCreateKeyExA(HKEY_LOCAL_MACHINE, kEventLogKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr);
  if (r != ERROR_SUCCESS) {
    *err = SystemErrorText(static_cast<int>(r));
    return false;
  }
  DWORD types = EVENTLOG_ERROR_TYPE | EVENTLOG_WARNING_TYPE | EVENTLOG_INFORMATION_TYPE;
  r = ::RegSetValueExA(key, "EventMessageFile", 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(program.c_str()),
                       static_cast<DWORD>(program.size() + 1));
  if (r == ERROR_SUCCESS)
    r = ::RegSetValueExA(key, "TypesSupported", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&types), sizeof types);
  ::RegCloseKey(key);
  if (r != ERROR_SUCCESS) *err = SystemErrorText(static_cast<int>(r));
  return r == ERROR_SUCCESS;
}

// The service as Windows lists it, and what the service manager does when
// the capture ends by a fault: start it again, as systemd does on Linux.
void DescribeService(SC_HANDLE handle) {
  char description[] =
      "Captures the reports of a laboratory reader without a window. Settings: %ProgramData%\\Harrow\\Kestrel.ini.";
  SERVICE_DESCRIPTIONA text{description};
  ::ChangeServiceConfig2A(handle, SERVICE_CONFIG_DESCRIPTION, &text);
  SC_ACTION restart[3] = {{SC_ACTION_RESTART, 5000}, {SC_ACTION_RESTART, 5000}, {SC_ACTION_RESTART, 60000}};
  SERVICE_FAILURE_ACTIONSA actions{};
  actions.dwResetPeriod = 24 * 3600;
  actions.cActions = 3;
  actions.lpsaActions = restart;
  ::ChangeServiceConfig2A(handle, SERVICE_CONFIG_FAILURE_ACTIONS, &actions);
}

}  // namespace

int RunService(const CaptureOptions& options) {
  service.options = &options;
  char name[sizeof kServiceName];
  std::memcpy(name, kServiceName, sizeof name);
  SERVICE_TABLE_ENTRYA table[] = {{name, ServiceMain}, {nullptr, nullptr}};
  if (!::StartServiceCtrlDispatcherA(table)) {
    DWORD code = ::GetLastError();
    if (code == ERROR_FAILED_SERVICE_CONTROLLER_CONNECT) {
      std::fprintf(stderr,
                   "harrow-capture: --service is given by the service manager when it starts the installed "
                   "service; start it with \"net start %s\" (install it first with --install-service), or leave "
                   "--service out to capture from this console\n",
                   kServiceName);
      return 2;
    }
    std::fprintf(stderr, "harrow-capture: cannot run as a service: %s\n", SystemErrorText(static_cast<int>(code)).c_str());
    return 1;
  }
  return service.exitStatus;
}

int InstallService(const std::vector<std::string>& args) {
  std::string program = ThisProgram();
  if (program.empty()) return Refused("finding this program's path", ::GetLastError());
  std::vector<std::string> argv{program, "--service"};
  argv.insert(argv.end(), args.begin(), args.end());
  std::string command = WindowsCommandLine(argv);

  SC_HANDLE manager = ::OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT | SC_MANAGER_CREATE_SERVICE);
  if (!manager) return Refused("installing the service", ::GetLastError());
  bool changed = false;
  SC_HANDLE handle = ::CreateServiceA(manager, kServiceName, kDisplayName, SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS,
                                      SERVICE_AUTO_START, SERVICE_ERROR_NORMAL, command.c_str(), nullptr, nullptr,
                                      nullptr, nullptr, nullptr);
  if (!handle && ::GetLastError() == ERROR_SERVICE_EXISTS) {
    // Run again: the same service with the new command line.
    handle = ::OpenServiceA(manager, kServiceName, SERVICE_ALL_ACCESS);
    if (handle && !::ChangeServiceConfigA(handle, SERVICE_WIN32_OWN_PROCESS, SERVICE_AUTO_START, SERVICE_ERROR_NORMAL,
                                          command.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr, kDisplayName)) {
      DWORD code = ::GetLastError();
      ::CloseServiceHandle(handle);
      ::CloseServiceHandle(manager);
      return Refused("changing the service", code);
    }
    changed = true;
  }
  if (!handle) {
    DWORD code = ::GetLastError();
    ::CloseServiceHandle(manager);
    return Refused("installing the service", code);
  }
  DescribeService(handle);
  SERVICE_STATUS status{};
  bool running = ::QueryServiceStatus(handle, &status) && status.dwCurrentState != SERVICE_STOPPED;
  ::CloseServiceHandle(handle);
  ::CloseServiceHandle(manager);

  std::string err;
  if (!RegisterMessageSource(program, &err))
    std::fprintf(stderr, "harrow-capture: the event log will show the service's messages as of an unknown source: %s\n",
                 err.c_str());
  std::string machine = MachineFolder();
  MakeDirectories(machine);
  std::string settings = machine + "\\Kestrel.ini";
  std::printf("The service %s (\"%s\") is %s: Windows starts it at boot as LocalSystem with\n  %s\n", kServiceName,
              kDisplayName, changed ? "changed" : "installed", command.c_str());
  std::printf("Its settings: %s%s\n", settings.c_str(),
              PathExists(settings) ? "" : " (not there yet: the built-in ones until it is written)");
  std::printf("Its messages: the Application event log (source %s) and harrow-capture.log in the Log folder.\n",
              kServiceName);
  if (running)
    std::printf("It is running with its old command line: \"net stop %s\", then \"net start %s\".\n", kServiceName,
                kServiceName);
  else
    std::printf("Start it now with \"net start %s\".\n", kServiceName);
  return 0;
}

int RemoveService() {
  SC_HANDLE manager = ::OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
  if (!manager) return Refused("removing the service", ::GetLastError());
  SC_HANDLE handle = ::OpenServiceA(manager, kServiceName, SERVICE_STOP | SERVICE_QUERY_STATUS | DELETE);
  if (!handle) {
    DWORD code = ::GetLastError();
    ::CloseServiceHandle(manager);
    if (code == ERROR_SERVICE_DOES_NOT_EXIST) {
      std::printf("No service %s is installed; nothing to remove.\n", kServiceName);
      return 0;
    }
    return Refused("removing the service", code);
  }
  SERVICE_STATUS status{};
  bool stopped = true;
  if (::QueryServiceStatus(handle, &status) && status.dwCurrentState != SERVICE_STOPPED) {
    std::printf("Stopping the service; a report in hand is exported first...\n");
    std::fflush(stdout);
    if (status.dwCurrentState != SERVICE_STOP_PENDING) ::ControlService(handle, SERVICE_CONTROL_STOP, &status);
    // As long as the service signs progress within its wait hint, and for
    // two minutes at most.
    auto end = std::chrono::steady_clock::now() + std::chrono::minutes(2);
    DWORD checkPoint = status.dwCheckPoint;
    auto lastProgress = std::chrono::steady_clock::now();
    while (::QueryServiceStatus(handle, &status) && status.dwCurrentState != SERVICE_STOPPED &&
           std::chrono::steady_clock::now() < end) {
      if (status.dwCheckPoint != checkPoint) {
        checkPoint = status.dwCheckPoint;
        lastProgress = std::chrono::steady_clock::now();
      } else if (std::chrono::steady_clock::now() - lastProgress >
                 std::chrono::milliseconds(status.dwWaitHint > 10000 ? status.dwWaitHint : 10000)) {
        break;
      }
      ::Sleep(250);
    }
    stopped = status.dwCurrentState == SERVICE_STOPPED;
  }
  bool deleted = ::DeleteService(handle) || ::GetLastError() == ERROR_SERVICE_MARKED_FOR_DELETE;
  DWORD code = ::GetLastError();
  ::CloseServiceHandle(handle);
  ::CloseServiceHandle(manager);
  if (!deleted) return Refused("removing the service", code);
  ::RegDeleteKeyA(HKEY_LOCAL_MACHINE, kEventLogKey);
  if (!stopped) {
    std::fprintf(stderr,
                 "harrow-capture: the service %s did not stop in time; Windows removes it once it has stopped\n",
                 kServiceName);
    return 1;
  }
  std::printf("The service %s is removed; its settings, traffic logs and reports stay.\n", kServiceName);
  return 0;
}
