#include "tasks/task_scheduler1.h"

#include <windows.h>
#include <mstask.h>

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
using platform::ComPtr;

// Saves the work item to its own file.
bool Save(ComPtr<ITask>& task, MessageCode persistFailed, MessageCode saveFailed, MessageCode saved) {
  ComPtr<IPersistFile> persist;
  const HRESULT queried = task->QueryInterface(IID_IPersistFile, persist.put_void());
  task.reset();
  if (StepFailed(queried, persistFailed)) {
    return false;
  }
  if (StepFailed(persist->Save(nullptr, TRUE), saveFailed)) {
    return false;
  }
  logging::LogCode(saved);
  return true;
}

// R1-R6: only MinutesInterval of the first trigger changes, so the start
// minute drawn when the work item was made stays.
bool Refresh(ComPtr<ITask>& task) {
  WORD count = 0;
  if (StepFailed(task->GetTriggerCount(&count), MessageCode::Ts1TriggerCountFailed)) {
    return false;
  }
  if (count < 1) {
    logging::LogLastError(MessageCode::Ts1NoTrigger);
    return false;
  }
  {
    ComPtr<ITaskTrigger> trigger;
    if (StepFailed(task->GetTrigger(0, trigger.put()), MessageCode::Ts1GetTriggerFailed)) {
      return false;
    }
    TASK_TRIGGER record{};
    record.cbTriggerSize = sizeof(TASK_TRIGGER);
    if (StepFailed(trigger->GetTrigger(&record), MessageCode::Ts1ReadTriggerFailed)) {
      return false;
    }
    record.MinutesInterval = 60;
    if (StepFailed(trigger->SetTrigger(&record), MessageCode::Ts1WriteTriggerFailed)) {
      return false;
    }
  }
  return Save(task, MessageCode::Ts1RefreshPersistFailed, MessageCode::Ts1RefreshSaveFailed,
              MessageCode::Ts1WorkItemRefreshed);
}

WORD RandomStartMinute() {
  unsigned int value = 0;
  if (platform::Crt().rand_s(&value) != 0) {
    return 0;
  }
  return static_cast<WORD>(value % 60);
}

// N1-N11: a new work item running the service executable every hour.
bool Create(ComPtr<ITaskScheduler>& scheduler, const std::wstring& executablePath) {
  ComPtr<ITask> task;
  const HRESULT made = scheduler->NewWorkItem(kTaskName, CLSID_CTask, IID_ITask,
                                              reinterpret_cast<IUnknown**>(task.put()));
  scheduler.reset();
  if (StepFailed(made, MessageCode::Ts1NewWorkItemFailed)) {
    return false;
  }
  if (StepFailed(task->SetAccountInformation(L"", nullptr), MessageCode::Ts1AccountFailed)) {
    return false;
  }
  ComPtr<ITaskTrigger> trigger;
  WORD index = 0;
  if (StepFailed(task->CreateTrigger(&index, trigger.put()), MessageCode::Ts1CreateTriggerFailed)) {
    return false;
  }
  LogIfFailed(task->SetCreator(kTaskAuthor), MessageCode::Ts1CreatorFailed);
  LogIfFailed(task->SetComment(service::LoadResourceString(service::kTaskDescriptionId).c_str()),
       MessageCode::Ts1CommentFailed);
  LogIfFailed(task->SetApplicationName(executablePath.c_str()), MessageCode::Ts1ApplicationFailed);
  LogIfFailed(task->SetFlags(TASK_FLAG_RUN_IF_CONNECTED_TO_INTERNET), MessageCode::Ts1FlagsFailed);

  TASK_TRIGGER record{};
  record.cbTriggerSize = sizeof(TASK_TRIGGER);
  record.wBeginYear = 2000;
  record.wBeginMonth = 1;
  record.wBeginDay = 1;
  record.wStartHour = 0;
  record.wStartMinute = RandomStartMinute();
  record.MinutesDuration = 1440;
  record.MinutesInterval = 60;
  record.TriggerType = TASK_TIME_TRIGGER_DAILY;
  record.Type.Daily.DaysInterval = 1;
  const HRESULT set = trigger->SetTrigger(&record);
  trigger.reset();
  if (StepFailed(set, MessageCode::Ts1SetTriggerFailed)) {
    return false;
  }
  return Save(task, MessageCode::Ts1NewPersistFailed, MessageCode::Ts1NewSaveFailed,
              MessageCode::Ts1WorkItemCreated);
}

}  // namespace

bool RegisterWithTaskScheduler1(const std::wstring& executablePath) {
  static_assert(sizeof(TASK_TRIGGER) == 48, "the trigger record is 48 bytes");
  auto& com = platform::Ole32();
  platform::ComScope scope;  // declared first: COM is left after every interface is released
  if (StepFailed(com.CoInitialize(nullptr), MessageCode::Ts1ComInitFailed)) {
    return false;
  }
  scope.Entered();
  ComPtr<ITaskScheduler> scheduler;
  if (StepFailed(com.CoCreateInstance(CLSID_CTaskScheduler, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskScheduler,
                                 scheduler.put_void()),
            MessageCode::Ts1CreateSchedulerFailed)) {
    return false;
  }
  ComPtr<ITask> task;
  const HRESULT activated = scheduler->Activate(kTaskName, IID_ITask, reinterpret_cast<IUnknown**>(task.put()));
  if (SUCCEEDED(activated)) {
    scheduler.reset();
    return Refresh(task);
  }
  if (activated == HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND)) {
    return Create(scheduler, executablePath);
  }
  logging::LogLastError(MessageCode::Ts1ActivateFailed);
  return false;
}

}  // namespace tasks
