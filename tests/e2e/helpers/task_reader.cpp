// Test driver of the end-to-end tier: reads the work item "Orvane Nimbra
// Player Updater" back through Task Scheduler 1.0 and prints its fields, one
// "name=value" a line; prints "missing" when there is none.
#include <windows.h>
#include <mstask.h>

#include <cstdio>

int wmain() {
  if (FAILED(CoInitialize(nullptr))) {
    return 2;
  }
  ITaskScheduler* scheduler = nullptr;
  ITask* task = nullptr;
  if (FAILED(CoCreateInstance(CLSID_CTaskScheduler, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskScheduler,
                              reinterpret_cast<void**>(&scheduler))) ||
      FAILED(scheduler->Activate(L"Orvane Nimbra Player Updater", IID_ITask, reinterpret_cast<IUnknown**>(&task)))) {
    std::printf("missing\n");
    return 0;
  }
  LPWSTR text = nullptr;
  if (SUCCEEDED(task->GetApplicationName(&text))) std::printf("application=%ls\n", text);
  if (SUCCEEDED(task->GetCreator(&text))) std::printf("creator=%ls\n", text);
  if (SUCCEEDED(task->GetComment(&text))) std::printf("comment=%ls\n", text);
  DWORD flags = 0;
  if (SUCCEEDED(task->GetFlags(&flags))) std::printf("flags=0x%lx\n", flags);
  WORD count = 0;
  task->GetTriggerCount(&count);
  std::printf("triggers=%u\n", count);
  ITaskTrigger* trigger = nullptr;
  TASK_TRIGGER t{};
  t.cbTriggerSize = sizeof(t);
  if (count > 0 && SUCCEEDED(task->GetTrigger(0, &trigger)) && SUCCEEDED(trigger->GetTrigger(&t))) {
    std::printf("size=%u\nbegin=%u-%u-%u\nend=%u-%u-%u\nstart=%u:%u\nduration=%lu\ninterval=%lu\n"
                "trigger_flags=0x%lx\ntype=%d\ndays_interval=%u\nrandom_minutes=%u\n",
                t.cbTriggerSize, t.wBeginYear, t.wBeginMonth, t.wBeginDay, t.wEndYear, t.wEndMonth, t.wEndDay,
                t.wStartHour, t.wStartMinute, t.MinutesDuration, t.MinutesInterval, t.rgFlags,
                static_cast<int>(t.TriggerType), t.Type.Daily.DaysInterval, t.wRandomMinutesInterval);
  }
  return 0;
}
