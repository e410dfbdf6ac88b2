#include "service/service_runtime.h"

#include "logging/log.h"
#include "platform/advapi32_api.h"
#include "platform/kernel32_api.h"
#include "service/service_controller.h"
#include "settings/service_context.h"
#include "update/update_cycle.h"

namespace service {

using logging::MessageCode;

SERVICE_STATUS ServiceStatus{};
SERVICE_STATUS_HANDLE StatusHandle = nullptr;
HANDLE StopEvent = nullptr;  // lives until the process ends
DWORD CheckPointCounter = 1;

bool RunServiceDispatcher() {
  logging::LogCode(MessageCode::DispatcherStarting);
  wchar_t name[] = L"OrvaneNimbraPlayerUpdateSvc";
  const SERVICE_TABLE_ENTRYW table[] = {{name, &ServiceMain}, {nullptr, nullptr}};
  // For a process the SCM started this blocks until the service has stopped.
  if (!platform::Advapi32().StartServiceCtrlDispatcherW(table)) {
    logging::LogLastError(MessageCode::DispatcherUnavailable);  // Info: a start by hand or by the task
    return false;
  }
  logging::LogCode(MessageCode::DispatcherEnded);
  return true;
}

void WINAPI ServiceMain(DWORD, LPWSTR*) {
  StatusHandle = platform::Advapi32().RegisterServiceCtrlHandlerW(kServiceName, &ServiceControlHandler);
  if (StatusHandle == nullptr) {
    logging::LogLastError(MessageCode::ControlHandlerRegistrationFailed);
    return;
  }
  ServiceStatus.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
  ServiceStatus.dwServiceSpecificExitCode = 0;
  ReportServiceStatus(SERVICE_START_PENDING, 3000);
  RunService();
  logging::LogCode(MessageCode::ServiceMainEnded);
}

void RunService() {
  StopEvent = platform::Kernel32().CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (StopEvent == nullptr) {
    ReportServiceStatus(SERVICE_STOPPED, 0);
    return;
  }
  // The stop control is accepted from this report on, after the event exists.
  ReportServiceStatus(SERVICE_RUNNING, 0);
  if (settings::CurrentServiceContext != nullptr) {
    update::RunUpdateCycle();  // runs to its end; a stop request waits for it
  } else {
    logging::LogLastError(MessageCode::ServiceContextMissing);
  }
  ReportServiceStatus(SERVICE_STOPPED, 0);
}

void WINAPI ServiceControlHandler(DWORD control) {
  logging::LogCodeNumber(MessageCode::ServiceControlReceived, static_cast<std::int32_t>(control));
  if (control != SERVICE_CONTROL_STOP) {
    return;  // interrogate and the rest: no report
  }
  ReportServiceStatus(SERVICE_STOP_PENDING, 0);
  logging::LogCode(MessageCode::ServiceStopping);
  platform::Kernel32().SetEvent(StopEvent);
  ReportServiceStatus(ServiceStatus.dwCurrentState, 0);  // the next check point
}

void ReportServiceStatus(DWORD state, DWORD waitHintMilliseconds) {
  ServiceStatus.dwCurrentState = state;
  ServiceStatus.dwWin32ExitCode = NO_ERROR;
  ServiceStatus.dwWaitHint = waitHintMilliseconds;
  ServiceStatus.dwControlsAccepted = state == SERVICE_START_PENDING ? 0 : SERVICE_ACCEPT_STOP;
  if (state == SERVICE_RUNNING || state == SERVICE_STOPPED) {
    ServiceStatus.dwCheckPoint = 0;
  } else {
    ServiceStatus.dwCheckPoint = CheckPointCounter++;
  }
  platform::Advapi32().SetServiceStatus(StatusHandle, &ServiceStatus);
}

}  // namespace service
