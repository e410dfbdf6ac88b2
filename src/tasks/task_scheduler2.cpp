#include "tasks/task_scheduler2.h"

#include <windows.h>
#include <taskschd.h>

#include "logging/log.h"
#include "tasks/com_step.h"
#include "platform/com.h"
#include "platform/crt_api.h"
#include "platform/ole32_api.h"
#include "service/resource_strings.h"
#include "tasks/task_names.h"

namespace tasks {
namespace {

using logging::MessageCode;
using platform::Bstr;
using platform::ComPtr;
using platform::Variant;

// The same registration for a new and a refreshed task: create or update,
// as SYSTEM with the interactive-token logon type, an empty SDDL text.
HRESULT Register(ITaskFolder* folder, ITaskDefinition* definition) {
  const Bstr name(kTaskName);
  const Variant user(L"SYSTEM");
  const Variant password;
  const Variant sddl(L"");
  ComPtr<IRegisteredTask> registered;
  return folder->RegisterTaskDefinition(name.get(), definition, TASK_CREATE_OR_UPDATE, user.get(), password.get(),
                                        TASK_LOGON_INTERACTIVE_TOKEN, sddl.get(), registered.put());
}

// R1-R7: only the first trigger's repetition interval changes.
bool Refresh(ComPtr<IRegisteredTask>& task, ITaskFolder* folder) {
  ComPtr<ITaskDefinition> definition;
  const HRESULT read = task->get_Definition(definition.put());
  task.reset();
  if (StepFailed(read, MessageCode::Ts2RefreshDefinitionFailed)) {
    return false;
  }
  {
    ComPtr<ITriggerCollection> triggers;
    if (StepFailed(definition->get_Triggers(triggers.put()), MessageCode::Ts2RefreshTriggersFailed)) {
      return false;
    }
    LONG count = 0;
    if (StepFailed(triggers->get_Count(&count), MessageCode::Ts2RefreshTriggerCountFailed)) {
      return false;
    }
    if (count < 1) {
      logging::LogLastError(MessageCode::Ts2RefreshNoTrigger);
      return false;
    }
    ComPtr<ITrigger> trigger;
    const HRESULT item = triggers->get_Item(1, trigger.put());
    triggers.reset();
    if (StepFailed(item, MessageCode::Ts2RefreshFirstTriggerFailed)) {
      return false;
    }
    ComPtr<IRepetitionPattern> repetition;
    const HRESULT pattern = trigger->get_Repetition(repetition.put());
    trigger.reset();
    if (StepFailed(pattern, MessageCode::Ts2RefreshRepetitionFailed)) {
      return false;
    }
    const Bstr hourly(L"PT1H");
    if (StepFailed(repetition->put_Interval(hourly.get()), MessageCode::Ts2RefreshIntervalFailed)) {
      return false;
    }
  }
  const HRESULT registered = Register(folder, definition.get());
  definition.reset();
  if (StepFailed(registered, MessageCode::Ts2RefreshRegisterFailed)) {
    return false;
  }
  logging::LogCode(MessageCode::Ts2TaskRefreshed);
  return true;
}

bool SetSettings(ITaskDefinition* definition) {
  ComPtr<ITaskSettings> settings;
  if (StepFailed(definition->get_Settings(settings.put()), MessageCode::Ts2SettingsFailed)) {
    return false;
  }
  LogIfFailed(settings->put_Compatibility(TASK_COMPATIBILITY_V1), MessageCode::Ts2CompatibilityFailed);
  LogIfFailed(settings->put_DisallowStartIfOnBatteries(VARIANT_FALSE), MessageCode::Ts2BatteriesFailed);
  LogIfFailed(settings->put_RunOnlyIfNetworkAvailable(VARIANT_TRUE), MessageCode::Ts2NetworkConditionFailed);
  return true;
}

bool SetRegistrationInfo(ITaskDefinition* definition) {
  ComPtr<IRegistrationInfo> info;
  if (StepFailed(definition->get_RegistrationInfo(info.put()), MessageCode::Ts2RegistrationInfoFailed)) {
    return false;
  }
  const Bstr author(kTaskAuthor);
  if (StepFailed(info->put_Author(author.get()), MessageCode::Ts2AuthorFailed)) {
    return false;
  }
  const Bstr description(service::LoadResourceString(service::kTaskDescriptionId).c_str());
  return !StepFailed(info->put_Description(description.get()), MessageCode::Ts2DescriptionFailed);
}

// A daily trigger repeating every hour for a day: every hour of every day.
bool SetTrigger(ITaskDefinition* definition) {
  ComPtr<IDailyTrigger> daily;
  {
    ComPtr<ITriggerCollection> triggers;
    if (StepFailed(definition->get_Triggers(triggers.put()), MessageCode::Ts2TriggersFailed)) {
      return false;
    }
    ComPtr<ITrigger> trigger;
    const HRESULT created = triggers->Create(TASK_TRIGGER_DAILY, trigger.put());
    triggers.reset();
    if (StepFailed(created, MessageCode::Ts2CreateTriggerFailed)) {
      return false;
    }
    if (StepFailed(trigger->QueryInterface(IID_IDailyTrigger, daily.put_void()), MessageCode::Ts2DailyTriggerFailed)) {
      return false;
    }
  }
  {
    const Bstr id(L"UpdateTrigger");
    LogIfFailed(daily->put_Id(id.get()), MessageCode::Ts2TriggerIdFailed);
  }
  {
    const Bstr start(MakeStartBoundary().c_str());
    LogIfFailed(daily->put_StartBoundary(start.get()), MessageCode::Ts2StartBoundaryFailed);
  }
  if (StepFailed(daily->put_DaysInterval(1), MessageCode::Ts2DaysIntervalFailed)) {
    return false;
  }
  ComPtr<IRepetitionPattern> repetition;
  const HRESULT pattern = daily->get_Repetition(repetition.put());
  daily.reset();
  if (StepFailed(pattern, MessageCode::Ts2RepetitionFailed)) {
    return false;
  }
  const Bstr day(L"P1D");
  if (StepFailed(repetition->put_Duration(day.get()), MessageCode::Ts2RepetitionDurationFailed)) {
    return false;
  }
  const Bstr hourly(L"PT1H");
  return !StepFailed(repetition->put_Interval(hourly.get()), MessageCode::Ts2RepetitionIntervalFailed);
}

bool SetAction(ITaskDefinition* definition, const std::wstring& executablePath) {
  ComPtr<IExecAction> exec;
  {
    ComPtr<IActionCollection> actions;
    if (StepFailed(definition->get_Actions(actions.put()), MessageCode::Ts2ActionsFailed)) {
      return false;
    }
    ComPtr<IAction> action;
    const HRESULT created = actions->Create(TASK_ACTION_EXEC, action.put());
    actions.reset();
    if (StepFailed(created, MessageCode::Ts2CreateActionFailed)) {
      return false;
    }
    if (StepFailed(action->QueryInterface(IID_IExecAction, exec.put_void()), MessageCode::Ts2ExecActionFailed)) {
      return false;
    }
  }
  const Bstr path(executablePath.c_str());
  return !StepFailed(exec->put_Path(path.get()), MessageCode::Ts2ExecPathFailed);
}

// N1-N22.
bool Create(ComPtr<ITaskService>& service, ITaskFolder* folder, const std::wstring& executablePath) {
  ComPtr<ITaskDefinition> definition;
  const HRESULT made = service->NewTask(0, definition.put());
  service.reset();
  if (StepFailed(made, MessageCode::Ts2NewTaskFailed)) {
    return false;
  }
  if (!SetSettings(definition.get()) || !SetRegistrationInfo(definition.get()) || !SetTrigger(definition.get()) ||
      !SetAction(definition.get(), executablePath)) {
    return false;
  }
  if (StepFailed(Register(folder, definition.get()), MessageCode::Ts2RegisterFailed)) {
    return false;
  }
  logging::LogCode(MessageCode::Ts2TaskCreated);
  return true;
}

}  // namespace

std::wstring MakeStartBoundary() {
  auto& crt = platform::Crt();
  unsigned int tens = 0;
  if (crt.rand_s(&tens) != 0) {
    tens = 0;
  }
  unsigned int units = 0;
  if (crt.rand_s(&units) != 0) {
    units = 0;
  }
  std::wstring boundary = L"2000-01-01T00:00:00Z";
  boundary[12] = L'0';
  boundary[14] = static_cast<wchar_t>(L'0' + tens % 6);
  boundary[15] = static_cast<wchar_t>(L'0' + units % 10);
  return boundary;
}

bool RegisterWithTaskScheduler2(const std::wstring& executablePath) {
  auto& com = platform::Ole32();
  platform::ComScope scope;
  if (StepFailed(com.CoInitializeEx(nullptr, COINIT_MULTITHREADED), MessageCode::Ts2ComInitFailed)) {
    return false;
  }
  scope.Entered();
  if (StepFailed(com.CoInitializeSecurity(nullptr, -1, nullptr, nullptr, RPC_C_AUTHN_LEVEL_PKT_PRIVACY,
                                     RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE, nullptr),
            MessageCode::Ts2ComSecurityFailed)) {
    return false;
  }
  ComPtr<ITaskService> service;
  if (StepFailed(com.CoCreateInstance(CLSID_TaskScheduler, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskService,
                                 service.put_void()),
            MessageCode::Ts2CreateServiceFailed)) {
    return false;
  }
  {
    const Variant none;
    if (StepFailed(service->Connect(none.get(), none.get(), none.get(), none.get()), MessageCode::Ts2ConnectFailed)) {
      return false;
    }
  }
  ComPtr<ITaskFolder> folder;
  {
    const Bstr root(L"\\");
    if (StepFailed(service->GetFolder(root.get(), folder.put()), MessageCode::Ts2RootFolderFailed)) {
      return false;
    }
  }
  // The task counts as existing exactly when a task comes back; the result is not examined.
  ComPtr<IRegisteredTask> existing;
  {
    const Bstr name(kTaskName);
    folder->GetTask(name.get(), existing.put());
  }
  if (existing) {
    return Refresh(existing, folder.get());
  }
  return Create(service, folder.get(), executablePath);
}

}  // namespace tasks
