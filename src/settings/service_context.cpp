#include "settings/service_context.h"

#include <utility>

#include "logging/log.h"
#include "platform/kernel32_api.h"
#include "settings/settings.h"

namespace settings {

ServiceContext* CurrentServiceContext = nullptr;

BOOL DetectWow64() {
  auto& kernel = platform::Kernel32();
  const HMODULE kernel32 = kernel.GetModuleHandleW(L"kernel32");
  if (kernel32 == nullptr) {
    return FALSE;
  }
  using IsWow64ProcessFunction = BOOL(WINAPI*)(HANDLE, PBOOL);
  const FARPROC address = kernel.GetProcAddress(kernel32, "IsWow64Process");
  if (address == nullptr) {
    return FALSE;
  }
  const auto isWow64Process = reinterpret_cast<IsWow64ProcessFunction>(reinterpret_cast<void*>(address));
  BOOL answer = FALSE;
  isWow64Process(kernel.GetCurrentProcess(), &answer);  // its own result is not needed
  return answer;
}

ServiceContext::ServiceContext(std::wstring path) : modulePath(std::move(path)) {
  RunningUnderWow64 = DetectWow64() == TRUE;
  if (!LoadSettings()) {
    logging::LogLastError(logging::MessageCode::ServiceContextSettingsFailed);
  }
}

}  // namespace settings
