#pragma once

#include <windows.h>
#include <winsvc.h>

namespace service {

// Connects the process to the service control manager as the service
// "OrvaneNimbraPlayerUpdateSvc". Returns only after the service stopped
// (true), or at once when the process was not started by the SCM (false).
bool RunServiceDispatcher();

// The service's entry, its control handler and its body; the SCM calls the
// first two, ServiceMain calls RunService.
void WINAPI ServiceMain(DWORD argumentCount, LPWSTR* arguments);
void WINAPI ServiceControlHandler(DWORD control);
void RunService();

// Sends a status report; pending states carry the next check point.
void ReportServiceStatus(DWORD state, DWORD waitHintMilliseconds);

// The state shared by the dispatcher thread and the service thread.
extern SERVICE_STATUS ServiceStatus;
extern SERVICE_STATUS_HANDLE StatusHandle;
extern HANDLE StopEvent;
extern DWORD CheckPointCounter;

}  // namespace service
