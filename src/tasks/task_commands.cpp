#include "tasks/task_commands.h"

#include <windows.h>
#include <mstask.h>
#include <taskschd.h>

#include "logging/log.h"
#include "platform/com.h"
#include "platform/kernel32_api.h"
#include "platform/ole32_api.h"
#include "settings/update_state.h"
#include "tasks/task_names.h"
#include "tasks/task_scheduler1.h"
#include "tasks/task_scheduler2.h"

namespace tasks {
namespace {

using logging::MessageCode;
using platform::Bstr;
using platform::ComPtr;
using platform::Variant;

}  // namespace

SchedulerVersion SelectSchedulerVersion() {
  OSVERSIONINFOA version{};
  version.dwOSVersionInfoSize = sizeof(version);  // 148
  platform::Kernel32().GetVersionExA(&version);   // its result is not needed
  return version.dwPlatformId == VER_PLATFORM_WIN32_NT && version.dwMajorVersion >= 6 ? 2 : 1;
}

bool RegisterUpdateTask(const std::wstring& executablePath) {
  const TaskRegistrar registrar(executablePath);
  return registrar.version == 1 ? RegisterWithTaskScheduler1(registrar.executablePath)
                                : RegisterWithTaskScheduler2(registrar.executablePath);
}

bool CreateDefaultTask(const service::ServiceController& controller) {
  // So that the next service start checks at once.
  if (settings::WriteUpdateAttempts(0) && settings::WriteLastUpdateCheck(true)) {
    settings::WriteCheckFrequency(std::nullopt);
  }
  return RegisterUpdateTask(controller.executablePath);
}

bool RemoveDefaultTask() {
  if (settings::DeleteUpdateAttempts() && settings::DeleteLastUpdateCheck()) {
    settings::DeleteCheckFrequency();
  }
  return SelectSchedulerVersion() == 2 ? UnregisterWithTaskScheduler2() : UnregisterWithTaskScheduler1();
}

bool UnregisterWithTaskScheduler1() {
  auto& com = platform::Ole32();
  platform::ComScope scope;
  if (FAILED(com.CoInitialize(nullptr))) {
    logging::LogLastError(MessageCode::Ts1RemoveComInitFailed);
    return false;
  }
  scope.Entered();
  ComPtr<ITaskScheduler> scheduler;
  if (FAILED(com.CoCreateInstance(CLSID_CTaskScheduler, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskScheduler,
                                  scheduler.put_void()))) {
    logging::LogLastError(MessageCode::Ts1RemoveCreateSchedulerFailed);
    return false;
  }
  return scheduler->Delete(kTaskName) == S_OK;
}

bool UnregisterWithTaskScheduler2() {
  auto& com = platform::Ole32();
  platform::ComScope scope;
  if (FAILED(com.CoInitializeEx(nullptr, COINIT_MULTITHREADED))) {
    logging::LogLastError(MessageCode::Ts2RemoveComInitFailed);
    return false;
  }
  scope.Entered();
  if (FAILED(com.CoInitializeSecurity(nullptr, -1, nullptr, nullptr, RPC_C_AUTHN_LEVEL_PKT_PRIVACY,
                                      RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE, nullptr))) {
    logging::LogLastError(MessageCode::Ts2RemoveComSecurityFailed);
    return false;
  }
  ComPtr<ITaskService> service;
  if (FAILED(com.CoCreateInstance(CLSID_TaskScheduler, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskService,
                                  service.put_void()))) {
    logging::LogLastError(MessageCode::Ts2RemoveCreateServiceFailed);
    return false;
  }
  {
    const Variant none;
    if (FAILED(service->Connect(none.get(), none.get(), none.get(), none.get()))) {
      logging::LogLastError(MessageCode::Ts2RemoveConnectFailed);
      return false;
    }
  }
  ComPtr<ITaskFolder> folder;
  const Bstr root(L"\\");
  if (FAILED(service->GetFolder(root.get(), folder.put()))) {
    logging::LogLastError(MessageCode::Ts2RemoveRootFolderFailed);
    return false;
  }
  const Bstr name(kTaskName);
  return folder->DeleteTask(name.get(), 0) == S_OK;
}

}  // namespace tasks
