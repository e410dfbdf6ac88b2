#pragma once

#include <windows.h>
#include <winsvc.h>

namespace platform {

// The advapi32 functions the service calls: the registry and the service
// control manager.
struct Advapi32Api {
  decltype(&::RegOpenKeyExW) RegOpenKeyExW = ::RegOpenKeyExW;
  decltype(&::RegCreateKeyExW) RegCreateKeyExW = ::RegCreateKeyExW;
  decltype(&::RegQueryValueExW) RegQueryValueExW = ::RegQueryValueExW;
  decltype(&::RegSetValueExW) RegSetValueExW = ::RegSetValueExW;
  decltype(&::RegDeleteValueW) RegDeleteValueW = ::RegDeleteValueW;
  decltype(&::RegCloseKey) RegCloseKey = ::RegCloseKey;

  // Service control manager
  decltype(&::OpenSCManagerW) OpenSCManagerW = ::OpenSCManagerW;
  decltype(&::CreateServiceW) CreateServiceW = ::CreateServiceW;
  decltype(&::OpenServiceW) OpenServiceW = ::OpenServiceW;
  decltype(&::ChangeServiceConfigW) ChangeServiceConfigW = ::ChangeServiceConfigW;
  decltype(&::ChangeServiceConfig2W) ChangeServiceConfig2W = ::ChangeServiceConfig2W;
  decltype(&::StartServiceA) StartServiceA = ::StartServiceA;
  decltype(&::ControlService) ControlService = ::ControlService;
  decltype(&::DeleteService) DeleteService = ::DeleteService;
  decltype(&::CloseServiceHandle) CloseServiceHandle = ::CloseServiceHandle;

  // Service dispatching and status
  decltype(&::StartServiceCtrlDispatcherW) StartServiceCtrlDispatcherW = ::StartServiceCtrlDispatcherW;
  decltype(&::RegisterServiceCtrlHandlerW) RegisterServiceCtrlHandlerW = ::RegisterServiceCtrlHandlerW;
  decltype(&::SetServiceStatus) SetServiceStatus = ::SetServiceStatus;
};

Advapi32Api& Advapi32();

}  // namespace platform
