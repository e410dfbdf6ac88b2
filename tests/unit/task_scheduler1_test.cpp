#include "tasks/task_scheduler1.h"

#include <gtest/gtest.h>
#include <windows.h>
#include <mstask.h>

#include <cstring>
#include <string>
#include <vector>

#include "fake_com_base.h"
#include "logging/log.h"
#include "platform/advapi32_api.h"
#include "platform/crt_api.h"
#include "platform/kernel32_api.h"
#include "platform/ole32_api.h"
#include "platform/scoped_override.h"
#include "service/resource_strings.h"
#include "service/service_controller.h"
#include "tasks/task_commands.h"
#include "test_support.h"

namespace {

using platform::Ole32;
using platform::ScopedOverride;
using Messages = std::vector<std::wstring>;

struct World {
  std::string failAt;
  bool exists = false;
  WORD triggerCount = 1;
  HRESULT activateFailure = HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
  HRESULT deleteResult = S_OK;
  std::vector<std::string> calls;
  int liveObjects = 0;
  int uninitialized = 0;
  std::wstring name, account, creator, comment, application, deleted;
  bool passwordGiven = true;
  DWORD flags = 0;
  TASK_TRIGGER written{};
  bool savedToOwnFile = false;
};
World g;

HRESULT Step(const char* name) {
  g.calls.push_back(name);
  if (g.failAt == name) {
    ::SetLastError(ERROR_ACCESS_DENIED);
    return E_FAIL;
  }
  return S_OK;
}

template <typename Base>
struct Counted : Base {
  Counted() { ++g.liveObjects; }
  ~Counted() override { --g.liveObjects; }
};

// What an existing work item's trigger holds.
TASK_TRIGGER ExistingTrigger() {
  TASK_TRIGGER t{};
  t.cbTriggerSize = sizeof(t);
  t.wBeginYear = 2000;
  t.wBeginMonth = 1;
  t.wBeginDay = 1;
  t.wStartMinute = 37;
  t.MinutesDuration = 1440;
  t.MinutesInterval = 120;
  t.TriggerType = TASK_TIME_TRIGGER_DAILY;
  t.Type.Daily.DaysInterval = 1;
  return t;
}

struct Trigger : Counted<testing_support::FakeTaskTriggerBase> {
  HRESULT STDMETHODCALLTYPE SetTrigger(const PTASK_TRIGGER trigger) override {
    g.written = *trigger;
    return Step("SetTrigger");
  }
  HRESULT STDMETHODCALLTYPE GetTrigger(PTASK_TRIGGER trigger) override {
    EXPECT_EQ(trigger->cbTriggerSize, 48u);
    *trigger = ExistingTrigger();
    return Step("Trigger.GetTrigger");
  }
};

struct Persist : Counted<testing_support::FakePersistFileBase> {
  HRESULT STDMETHODCALLTYPE Save(LPCOLESTR file, WINBOOL remember) override {
    g.savedToOwnFile = file == nullptr && remember == TRUE;
    return Step("Save");
  }
};

struct Task : Counted<testing_support::FakeTaskBase> {
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (iid == IID_IPersistFile) {
      const HRESULT result = Step("QueryInterface(IPersistFile)");
      *object = SUCCEEDED(result) ? static_cast<IPersistFile*>(new Persist) : nullptr;
      return result;
    }
    return FakeTaskBase::QueryInterface(iid, object);
  }
  HRESULT STDMETHODCALLTYPE SetAccountInformation(LPCWSTR account, LPCWSTR password) override {
    g.account = account;
    g.passwordGiven = password != nullptr;
    return Step("SetAccountInformation");
  }
  HRESULT STDMETHODCALLTYPE CreateTrigger(WORD* index, ITaskTrigger** trigger) override {
    *index = 0;
    const HRESULT result = Step("CreateTrigger");
    *trigger = SUCCEEDED(result) ? new Trigger : nullptr;
    return result;
  }
  HRESULT STDMETHODCALLTYPE SetCreator(LPCWSTR text) override { g.creator = text; return Step("SetCreator"); }
  HRESULT STDMETHODCALLTYPE SetComment(LPCWSTR text) override { g.comment = text; return Step("SetComment"); }
  HRESULT STDMETHODCALLTYPE SetApplicationName(LPCWSTR text) override {
    g.application = text;
    return Step("SetApplicationName");
  }
  HRESULT STDMETHODCALLTYPE SetFlags(DWORD flags) override { g.flags = flags; return Step("SetFlags"); }
  HRESULT STDMETHODCALLTYPE GetTriggerCount(WORD* count) override {
    *count = g.triggerCount;
    return Step("GetTriggerCount");
  }
  HRESULT STDMETHODCALLTYPE GetTrigger(WORD index, ITaskTrigger** trigger) override {
    EXPECT_EQ(index, 0);
    const HRESULT result = Step("Task.GetTrigger");
    *trigger = SUCCEEDED(result) ? new Trigger : nullptr;
    return result;
  }
};

struct Scheduler : Counted<testing_support::FakeTaskSchedulerBase> {
  HRESULT STDMETHODCALLTYPE Activate(LPCWSTR name, REFIID iid, IUnknown** out) override {
    EXPECT_TRUE(iid == IID_ITask);
    g.name = name;
    g.calls.push_back("Activate");
    *out = g.exists ? static_cast<ITask*>(new Task) : nullptr;
    return g.exists ? S_OK : g.activateFailure;
  }
  HRESULT STDMETHODCALLTYPE NewWorkItem(LPCWSTR name, REFCLSID clsid, REFIID iid, IUnknown** out) override {
    EXPECT_TRUE(clsid == CLSID_CTask);
    EXPECT_TRUE(iid == IID_ITask);
    g.name = name;
    const HRESULT result = Step("NewWorkItem");
    *out = SUCCEEDED(result) ? static_cast<ITask*>(new Task) : nullptr;
    return result;
  }
  HRESULT STDMETHODCALLTYPE Delete(LPCWSTR name) override {
    g.deleted = name;
    g.calls.push_back("Delete");
    return g.deleteResult;
  }
};

HRESULT WINAPI EnterCom(LPVOID reserved) {
  EXPECT_EQ(reserved, nullptr);
  return Step("CoInitialize");
}
HRESULT WINAPI CreateScheduler(REFCLSID clsid, LPUNKNOWN outer, DWORD context, REFIID iid, LPVOID* out) {
  EXPECT_TRUE(clsid == CLSID_CTaskScheduler);
  EXPECT_EQ(outer, nullptr);
  EXPECT_EQ(context, static_cast<DWORD>(CLSCTX_INPROC_SERVER));
  EXPECT_TRUE(iid == IID_ITaskScheduler);
  const HRESULT result = Step("CoCreateInstance");
  *out = SUCCEEDED(result) ? static_cast<ITaskScheduler*>(new Scheduler) : nullptr;
  return result;
}
void WINAPI LeaveCom() { ++g.uninitialized; }
errno_t __cdecl Draw97(unsigned int* value) {
  *value = 97;  // minute 37
  return 0;
}
errno_t __cdecl DrawFails(unsigned int*) { return EINVAL; }

class TaskScheduler1 : public ::testing::Test {
 protected:
  void SetUp() override {
    g = World{};
    testing_support::CreateFolders(scratch_.Child(L"Kesvar\\Nimbra"));
  }
  void TearDown() override { EXPECT_EQ(g.liveObjects, 0) << "an interface was not released"; }
  bool Register() { return tasks::RegisterWithTaskScheduler1(L"C:\\Nimbra\\svc.exe"); }
  Messages Log() const { return testing_support::LoggedMessages(); }
  void Again(const char* failAt, bool exists) {
    testing_support::RemoveTree(testing_support::LogFilePath());
    g = World{};
    g.failAt = failAt;
    g.exists = exists;
  }

  testing_support::ScratchDirectory scratch_;
  testing_support::CapturedConsole console_;
  ScopedOverride<decltype(&::CoInitialize)> enter_{Ole32().CoInitialize, &EnterCom};
  ScopedOverride<decltype(&::CoCreateInstance)> create_{Ole32().CoCreateInstance, &CreateScheduler};
  ScopedOverride<decltype(&::CoUninitialize)> leave_{Ole32().CoUninitialize, &LeaveCom};
  ScopedOverride<decltype(&::rand_s)> random_{platform::Crt().rand_s, &Draw97};
};

TEST_F(TaskScheduler1, NewWorkItemRunsTheServiceEveryHourAtItsMinute) {
  logging::VerboseLogging = true;
  EXPECT_TRUE(Register());
  logging::VerboseLogging = false;
  const std::vector<std::string> expected = {
      "CoInitialize", "CoCreateInstance", "Activate", "NewWorkItem", "SetAccountInformation", "CreateTrigger",
      "SetCreator", "SetComment", "SetApplicationName", "SetFlags", "SetTrigger", "QueryInterface(IPersistFile)",
      "Save"};
  EXPECT_EQ(g.calls, expected);
  EXPECT_EQ(g.name, L"Orvane Nimbra Player Updater");
  EXPECT_EQ(g.account, L"");
  EXPECT_FALSE(g.passwordGiven);
  EXPECT_EQ(g.creator, L"Orvane Systems Incorporated");
  EXPECT_EQ(g.comment, service::LoadResourceString(110));
  EXPECT_EQ(g.application, L"C:\\Nimbra\\svc.exe");
  EXPECT_EQ(g.flags, static_cast<DWORD>(TASK_FLAG_RUN_IF_CONNECTED_TO_INTERNET));
  TASK_TRIGGER expectedTrigger{};
  expectedTrigger.cbTriggerSize = 48;
  expectedTrigger.wBeginYear = 2000;
  expectedTrigger.wBeginMonth = 1;
  expectedTrigger.wBeginDay = 1;
  expectedTrigger.wStartMinute = 37;
  expectedTrigger.MinutesDuration = 1440;
  expectedTrigger.MinutesInterval = 60;
  expectedTrigger.TriggerType = TASK_TIME_TRIGGER_DAILY;
  expectedTrigger.Type.Daily.DaysInterval = 1;
  EXPECT_EQ(std::memcmp(&g.written, &expectedTrigger, sizeof(TASK_TRIGGER)), 0);  // every other byte 0
  EXPECT_TRUE(g.savedToOwnFile);
  EXPECT_EQ(Log(), Messages{L"[info] 1625"});
  EXPECT_EQ(g.uninitialized, 1);

  Again("", false);
  ScopedOverride fails(platform::Crt().rand_s, &DrawFails);
  EXPECT_TRUE(Register());
  EXPECT_EQ(g.written.wStartMinute, 0);
}

TEST_F(TaskScheduler1, ExistingWorkItemGetsOnlyTheHourlyIntervalBack) {
  g.exists = true;
  logging::VerboseLogging = true;
  EXPECT_TRUE(Register());
  logging::VerboseLogging = false;
  const std::vector<std::string> expected = {"CoInitialize", "CoCreateInstance", "Activate", "GetTriggerCount",
                                             "Task.GetTrigger", "Trigger.GetTrigger", "SetTrigger",
                                             "QueryInterface(IPersistFile)", "Save"};
  EXPECT_EQ(g.calls, expected);
  TASK_TRIGGER refreshed = ExistingTrigger();
  refreshed.MinutesInterval = 60;  // the start minute 37 stays
  EXPECT_EQ(std::memcmp(&g.written, &refreshed, sizeof(TASK_TRIGGER)), 0);
  EXPECT_EQ(Log(), Messages{L"[info] 1624"});
  EXPECT_EQ(g.uninitialized, 1);
}

TEST_F(TaskScheduler1, WarningsCarryOnAndTheWorkItemIsSaved) {
  const std::pair<const char*, const wchar_t*> cases[] = {{"SetCreator", L"[warning] 1421 5"},
                                                          {"SetComment", L"[warning] 1422 5"},
                                                          {"SetApplicationName", L"[warning] 1423 5"},
                                                          {"SetFlags", L"[warning] 1424 5"}};
  for (const auto& [step, code] : cases) {
    Again(step, false);
    logging::VerboseLogging = true;
    EXPECT_TRUE(Register()) << step;
    logging::VerboseLogging = false;
    EXPECT_EQ(Log(), (Messages{code, L"[info] 1625"})) << step;
  }
}

TEST_F(TaskScheduler1, FatalStepsSaveNothingAndLeaveCom) {
  struct Case {
    const char* step;
    bool exists;
    int code;
  };
  const Case cases[] = {
      {"CoCreateInstance", false, 1242}, {"GetTriggerCount", true, 1245}, {"Task.GetTrigger", true, 1247},
      {"Trigger.GetTrigger", true, 1248}, {"SetTrigger", true, 1249}, {"QueryInterface(IPersistFile)", true, 1250},
      {"Save", true, 1251}, {"NewWorkItem", false, 1252}, {"SetAccountInformation", false, 1253},
      {"CreateTrigger", false, 1254}, {"SetTrigger", false, 1255}, {"QueryInterface(IPersistFile)", false, 1256},
      {"Save", false, 1257},
  };
  for (const Case& c : cases) {
    Again(c.step, c.exists);
    EXPECT_FALSE(Register()) << c.step;
    EXPECT_EQ(Log(), Messages{L"[error] " + std::to_wstring(c.code) + L" 5"}) << c.step;
    EXPECT_EQ(g.calls.back(), c.step);
    EXPECT_EQ(g.uninitialized, 1) << c.step;
    EXPECT_EQ(g.liveObjects, 0) << c.step;
  }
  Again("", false);
  g.activateFailure = E_ACCESSDENIED;  // anything but "not found"
  ::SetLastError(ERROR_ACCESS_DENIED);
  EXPECT_FALSE(Register());
  EXPECT_EQ(Log(), Messages{L"[error] 1244 5"});
  Again("", true);
  g.triggerCount = 0;
  ::SetLastError(ERROR_ACCESS_DENIED);
  EXPECT_FALSE(Register());
  EXPECT_EQ(Log(), Messages{L"[error] 1246 5"});
  EXPECT_EQ(g.calls.back(), "GetTriggerCount");
  Again("CoInitialize", false);
  EXPECT_FALSE(Register());
  EXPECT_EQ(Log(), Messages{L"[error] 1243 5"});
  EXPECT_EQ(g.uninitialized, 0);
}

TEST_F(TaskScheduler1, DeletingTheWorkItemIsTrueOnlyForExactlyOk) {
  EXPECT_TRUE(tasks::UnregisterWithTaskScheduler1());
  EXPECT_EQ(g.deleted, L"Orvane Nimbra Player Updater");
  EXPECT_EQ(g.uninitialized, 1);
  for (const HRESULT answer : {S_FALSE, HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND)}) {
    Again("", false);
    g.deleteResult = answer;
    EXPECT_FALSE(tasks::UnregisterWithTaskScheduler1());
    EXPECT_EQ(Log(), Messages{});
  }
  Again("CoCreateInstance", false);
  EXPECT_FALSE(tasks::UnregisterWithTaskScheduler1());
  EXPECT_EQ(Log(), Messages{L"[error] 1293 5"});
  EXPECT_EQ(g.uninitialized, 1);
  Again("CoInitialize", false);
  EXPECT_FALSE(tasks::UnregisterWithTaskScheduler1());
  EXPECT_EQ(Log(), Messages{L"[error] 1294 5"});
  EXPECT_EQ(g.uninitialized, 0);
}

// "-createDefaultTask" with the 1.0 fakes above: the bookkeeping chain stops
// at the first value that cannot be written, and the task is registered anyway.
BOOL WINAPI ReportXp(LPOSVERSIONINFOA info) {
  info->dwMajorVersion = 5;
  info->dwMinorVersion = 1;
  info->dwPlatformId = VER_PLATFORM_WIN32_NT;
  return TRUE;
}
std::wstring g_refused;
LSTATUS WINAPI RefuseOneValue(HKEY key, LPCWSTR name, DWORD reserved, DWORD type, const BYTE* data, DWORD size) {
  if (g_refused == name) {
    return ERROR_ACCESS_DENIED;
  }
  return ::RegSetValueExW(key, name, reserved, type, data, size);
}
std::vector<std::wstring> StoredValues() {
  std::vector<std::wstring> names;
  HKEY key = nullptr;
  if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Stelvan\\NimbraPlayer", 0, KEY_READ, &key) != ERROR_SUCCESS) {
    return names;
  }
  for (const wchar_t* name : {L"UpdateAttempts", L"LastUpdateCheck", L"CheckFrequency"}) {
    if (::RegQueryValueExW(key, name, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS) {
      names.push_back(name);
    }
  }
  ::RegCloseKey(key);
  return names;
}

TEST_F(TaskScheduler1, CreateDefaultTaskResetsTheBookkeepingInOrderThenRegisters) {
  ScopedOverride xp(platform::Kernel32().GetVersionExA, &ReportXp);
  ScopedOverride refuse(platform::Advapi32().RegSetValueExW, &RefuseOneValue);
  const service::ServiceController controller(L"C:\\Nimbra\\svc.exe", service::kServiceName,
                                              service::kServiceDisplayName);
  const std::pair<const wchar_t*, std::vector<std::wstring>> cases[] = {
      {L"", {L"UpdateAttempts", L"LastUpdateCheck", L"CheckFrequency"}},
      {L"UpdateAttempts", {}},
      {L"LastUpdateCheck", {L"UpdateAttempts"}},
      {L"CheckFrequency", {L"UpdateAttempts", L"LastUpdateCheck"}},
  };
  for (const auto& [refused, stored] : cases) {
    testing_support::DeleteStateKey();
    Again("", false);
    g_refused = refused;
    EXPECT_TRUE(tasks::CreateDefaultTask(controller));
    EXPECT_EQ(StoredValues(), stored);
    EXPECT_EQ(g.application, L"C:\\Nimbra\\svc.exe");  // registered through 1.0 all the same
  }
  testing_support::DeleteStateKey();
}

}  // namespace
