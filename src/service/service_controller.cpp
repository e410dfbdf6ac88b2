#include "service/service_controller.h"

#include <windows.h>
#include <winsvc.h>

#include "logging/log.h"
#include "platform/advapi32_api.h"
#include "platform/handles.h"
#include "service/resource_strings.h"

namespace service {
namespace {

using logging::MessageCode;
using platform::UniqueServiceHandle;

struct Codes {
  MessageCode scmOpen;
  MessageCode serviceOpen;
  MessageCode call;
};

UniqueServiceHandle OpenManager(DWORD access) {
  return UniqueServiceHandle(platform::Advapi32().OpenSCManagerW(nullptr, nullptr, access));
}

// The common shape: open the SCM, open the service, make one call; each
// failure logs its code with the system error number. Handles close service
// first, then the SCM.
template <typename Call>
bool WithService(const ServiceController& controller, DWORD managerAccess, DWORD serviceAccess,
                 const Codes& codes, Call call) {
  const UniqueServiceHandle manager = OpenManager(managerAccess);
  if (!manager) {
    logging::LogLastError(codes.scmOpen);
    return false;
  }
  const UniqueServiceHandle service(
      platform::Advapi32().OpenServiceW(manager.get(), controller.serviceName.c_str(), serviceAccess));
  if (!service) {
    logging::LogLastError(codes.serviceOpen);
    return false;
  }
  if (!call(service.get())) {
    logging::LogLastError(codes.call);
    return false;
  }
  return true;
}

}  // namespace

std::wstring ServiceController::RegisteredProgramPath() const {
  if (executablePath.find(L' ') == std::wstring::npos || executablePath.front() == L'"') {
    return executablePath;
  }
  return L"\"" + executablePath + L"\"";
}

bool ServiceController::Exists() const {
  const UniqueServiceHandle manager = OpenManager(SC_MANAGER_ALL_ACCESS);
  if (!manager) {
    logging::LogLastError(MessageCode::ExistsOpenScmFailed);
    return false;
  }
  // Any failure to open the service, refused access included, means absent.
  const UniqueServiceHandle service(
      platform::Advapi32().OpenServiceW(manager.get(), serviceName.c_str(), SERVICE_ALL_ACCESS));
  return static_cast<bool>(service);
}

bool ServiceController::Create() const {
  {
    const UniqueServiceHandle manager = OpenManager(SC_MANAGER_CREATE_SERVICE);
    if (!manager) {
      logging::LogLastError(MessageCode::CreateOpenScmFailed);
      return false;
    }
    const std::wstring program = RegisteredProgramPath();
    const UniqueServiceHandle service(platform::Advapi32().CreateServiceW(
        manager.get(), serviceName.c_str(), displayName.c_str(), SERVICE_START | SERVICE_STOP,
        SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL, program.c_str(), nullptr,
        nullptr, nullptr, nullptr, nullptr));
    if (!service) {
      logging::LogLastError(MessageCode::CreateServiceFailed);
      return false;
    }
  }
  logging::LogCode(MessageCode::ServiceCreated);
  return SetDescription();
}

bool ServiceController::UpdateConfiguration() const {
  const std::wstring program = RegisteredProgramPath();
  const bool changed = WithService(
      *this, SC_MANAGER_ALL_ACCESS, SERVICE_CHANGE_CONFIG,
      {MessageCode::ReconfigureOpenScmFailed, MessageCode::ReconfigureOpenServiceFailed,
       MessageCode::ReconfigureFailed},
      [&](SC_HANDLE service) {
        // SERVICE_NO_CHANGE keeps type, start type and error control.
        return platform::Advapi32().ChangeServiceConfigW(
                   service, SERVICE_NO_CHANGE, SERVICE_NO_CHANGE, SERVICE_NO_CHANGE, program.c_str(),
                   nullptr, nullptr, nullptr, nullptr, nullptr, displayName.c_str()) != FALSE;
      });
  return changed && SetDescription();
}

bool ServiceController::SetDescription() const {
  std::wstring text = LoadResourceString(kServiceDescriptionId);  // before any handle is opened
  return WithService(*this, SC_MANAGER_ALL_ACCESS, SERVICE_CHANGE_CONFIG,
                     {MessageCode::DescriptionOpenScmFailed, MessageCode::DescriptionOpenServiceFailed,
                      MessageCode::DescriptionChangeFailed},
                     [&](SC_HANDLE service) {
                       SERVICE_DESCRIPTIONW description{};
                       description.lpDescription = text.data();
                       return platform::Advapi32().ChangeServiceConfig2W(service, SERVICE_CONFIG_DESCRIPTION,
                                                                         &description) != FALSE;
                     });
}

bool ServiceController::Start() const {
  const bool started = WithService(
      *this, SC_MANAGER_ALL_ACCESS, SERVICE_ALL_ACCESS,
      {MessageCode::StartOpenScmFailed, MessageCode::StartOpenServiceFailed, MessageCode::StartServiceFailed},
      [](SC_HANDLE service) { return platform::Advapi32().StartServiceA(service, 0, nullptr) != FALSE; });
  if (started) {
    logging::LogCode(MessageCode::ServiceStartRequested);
  }
  return started;
}

bool ServiceController::Stop() const {
  const bool stopped = WithService(
      *this, SC_MANAGER_ALL_ACCESS, SERVICE_ALL_ACCESS,
      {MessageCode::StopOpenScmFailed, MessageCode::StopOpenServiceFailed, MessageCode::StopControlFailed},
      [](SC_HANDLE service) {
        SERVICE_STATUS status{};  // not examined: nothing waits for the service to stop
        return platform::Advapi32().ControlService(service, SERVICE_CONTROL_STOP, &status) != FALSE;
      });
  if (stopped) {
    logging::LogCode(MessageCode::ServiceStopRequested);
  }
  return stopped;
}

bool ServiceController::Delete() const {
  const bool deleted = WithService(
      *this, SC_MANAGER_ALL_ACCESS, SERVICE_ALL_ACCESS,
      {MessageCode::DeleteOpenScmFailed, MessageCode::DeleteOpenServiceFailed, MessageCode::DeleteServiceFailed},
      [](SC_HANDLE service) { return platform::Advapi32().DeleteService(service) != FALSE; });
  if (deleted) {
    logging::LogCode(MessageCode::ServiceDeleted);
  }
  return deleted;
}

bool InstallServicePart(const ServiceController& controller) {
  if (controller.Exists()) {
    // A stopped service refuses the stop control; its registration then stays.
    return controller.Stop() && controller.UpdateConfiguration();
  }
  return controller.Create();
}

}  // namespace service
