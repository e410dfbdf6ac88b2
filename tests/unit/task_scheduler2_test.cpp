#include "tasks/task_scheduler2.h"

#include <gtest/gtest.h>
#include <windows.h>
#include <taskschd.h>

#include <string>
#include <vector>

#include "fake_com_base.h"
#include "logging/log.h"
#include "platform/ole32_api.h"
#include "platform/scoped_override.h"
#include "service/resource_strings.h"
#include "tasks/task_commands.h"
#include "test_support.h"

namespace {

using platform::Ole32;
using platform::ScopedOverride;
using Messages = std::vector<std::wstring>;

// What the fakes saw, and the step to fail.
struct World {
  std::string failAt;
  bool taskExists = false;
  LONG triggerCount = 1;
  std::vector<std::string> calls;
  int liveObjects = 0;
  int uninitialized = 0;
  std::wstring author, description, id, startBoundary, duration, interval, path, name, user, sddl;
  LONG registerFlags = 0;
  TASK_LOGON_TYPE logon = TASK_LOGON_NONE;
  VARTYPE userType = 0, passwordType = 0, sddlType = 0;
  TASK_COMPATIBILITY compatibility = TASK_COMPATIBILITY_AT;
  VARIANT_BOOL batteries = VARIANT_TRUE, network = VARIANT_FALSE;
  short days = 0;
  LONG item = 0;
  TASK_TRIGGER_TYPE2 triggerType = TASK_TRIGGER_EVENT;
  TASK_ACTION_TYPE actionType = TASK_ACTION_SEND_EMAIL;
  DWORD newTaskFlags = 99;
  HRESULT deleteResult = S_OK;
  std::wstring folder;
  VARTYPE connectTypes[4] = {1, 1, 1, 1};
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

struct Pattern : Counted<testing_support::FakeRepetitionPatternBase> {
  HRESULT STDMETHODCALLTYPE put_Duration(BSTR text) override { g.duration = text; return Step("put_Duration"); }
  HRESULT STDMETHODCALLTYPE put_Interval(BSTR text) override { g.interval = text; return Step("put_Interval"); }
};

struct Daily : Counted<testing_support::FakeDailyTriggerBase> {
  HRESULT STDMETHODCALLTYPE put_Id(BSTR text) override { g.id = text; return Step("put_Id"); }
  HRESULT STDMETHODCALLTYPE put_StartBoundary(BSTR text) override {
    g.startBoundary = text;
    return Step("put_StartBoundary");
  }
  HRESULT STDMETHODCALLTYPE put_DaysInterval(short days) override { g.days = days; return Step("put_DaysInterval"); }
  HRESULT STDMETHODCALLTYPE get_Repetition(IRepetitionPattern** out) override {
    const HRESULT result = Step("get_Repetition");
    *out = SUCCEEDED(result) ? new Pattern : nullptr;
    return result;
  }
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (iid == IID_IDailyTrigger && FAILED(Step("QueryInterface(IDailyTrigger)"))) {
      *object = nullptr;
      return E_NOINTERFACE;
    }
    return FakeDailyTriggerBase::QueryInterface(iid, object);
  }
};

struct Triggers : Counted<testing_support::FakeTriggerCollectionBase> {
  HRESULT STDMETHODCALLTYPE get_Count(LONG* count) override {
    *count = g.triggerCount;
    return Step("get_Count");
  }
  HRESULT STDMETHODCALLTYPE get_Item(LONG index, ITrigger** out) override {
    g.item = index;
    const HRESULT result = Step("get_Item");
    *out = SUCCEEDED(result) ? new Daily : nullptr;
    return result;
  }
  HRESULT STDMETHODCALLTYPE Create(TASK_TRIGGER_TYPE2 type, ITrigger** out) override {
    g.triggerType = type;
    const HRESULT result = Step("Triggers.Create");
    *out = SUCCEEDED(result) ? new Daily : nullptr;
    return result;
  }
};

struct Exec : Counted<testing_support::FakeExecActionBase> {
  HRESULT STDMETHODCALLTYPE put_Path(BSTR text) override { g.path = text; return Step("put_Path"); }
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (iid == IID_IExecAction && FAILED(Step("QueryInterface(IExecAction)"))) {
      *object = nullptr;
      return E_NOINTERFACE;
    }
    return FakeExecActionBase::QueryInterface(iid, object);
  }
};

struct Actions : Counted<testing_support::FakeActionCollectionBase> {
  HRESULT STDMETHODCALLTYPE Create(TASK_ACTION_TYPE type, IAction** out) override {
    g.actionType = type;
    const HRESULT result = Step("Actions.Create");
    *out = SUCCEEDED(result) ? new Exec : nullptr;
    return result;
  }
};

struct Settings : Counted<testing_support::FakeTaskSettingsBase> {
  HRESULT STDMETHODCALLTYPE put_Compatibility(TASK_COMPATIBILITY value) override {
    g.compatibility = value;
    return Step("put_Compatibility");
  }
  HRESULT STDMETHODCALLTYPE put_DisallowStartIfOnBatteries(VARIANT_BOOL value) override {
    g.batteries = value;
    return Step("put_DisallowStartIfOnBatteries");
  }
  HRESULT STDMETHODCALLTYPE put_RunOnlyIfNetworkAvailable(VARIANT_BOOL value) override {
    g.network = value;
    return Step("put_RunOnlyIfNetworkAvailable");
  }
};

struct Info : Counted<testing_support::FakeRegistrationInfoBase> {
  HRESULT STDMETHODCALLTYPE put_Author(BSTR text) override { g.author = text; return Step("put_Author"); }
  HRESULT STDMETHODCALLTYPE put_Description(BSTR text) override {
    g.description = text;
    return Step("put_Description");
  }
};

template <typename Object, typename Interface>
HRESULT Hand(const char* step, Interface** out) {
  const HRESULT result = Step(step);
  *out = SUCCEEDED(result) ? new Object : nullptr;
  return result;
}

struct Definition : Counted<testing_support::FakeTaskDefinitionBase> {
  HRESULT STDMETHODCALLTYPE get_Settings(ITaskSettings** out) override { return Hand<Settings>("get_Settings", out); }
  HRESULT STDMETHODCALLTYPE get_RegistrationInfo(IRegistrationInfo** out) override {
    return Hand<Info>("get_RegistrationInfo", out);
  }
  HRESULT STDMETHODCALLTYPE get_Triggers(ITriggerCollection** out) override {
    return Hand<Triggers>("get_Triggers", out);
  }
  HRESULT STDMETHODCALLTYPE get_Actions(IActionCollection** out) override { return Hand<Actions>("get_Actions", out); }
};

struct Registered : Counted<testing_support::FakeRegisteredTaskBase> {
  HRESULT STDMETHODCALLTYPE get_Definition(ITaskDefinition** out) override {
    return Hand<Definition>("get_Definition", out);
  }
};

struct Folder : Counted<testing_support::FakeTaskFolderBase> {
  HRESULT STDMETHODCALLTYPE DeleteTask(BSTR name, LONG flags) override {
    g.name = name;
    EXPECT_EQ(flags, 0);
    g.calls.push_back("DeleteTask");
    return g.deleteResult;
  }
  HRESULT STDMETHODCALLTYPE GetTask(BSTR name, IRegisteredTask** out) override {
    Step("GetTask");
    g.name = name;
    *out = g.taskExists ? new Registered : nullptr;
    return g.taskExists ? S_OK : HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
  }
  HRESULT STDMETHODCALLTYPE RegisterTaskDefinition(BSTR name, ITaskDefinition*, LONG flags, VARIANT user,
                                                   VARIANT password, TASK_LOGON_TYPE logon, VARIANT sddl,
                                                   IRegisteredTask** out) override {
    g.name = name;
    g.registerFlags = flags;
    g.userType = user.vt;
    g.user = user.vt == VT_BSTR ? user.bstrVal : L"";
    g.passwordType = password.vt;
    g.logon = logon;
    g.sddlType = sddl.vt;
    g.sddl = sddl.vt == VT_BSTR ? sddl.bstrVal : L"(none)";
    return Hand<Registered>("RegisterTaskDefinition", out);
  }
};

struct Service : Counted<testing_support::FakeTaskServiceBase> {
  HRESULT STDMETHODCALLTYPE Connect(VARIANT a, VARIANT b, VARIANT c, VARIANT d) override {
    g.connectTypes[0] = a.vt;
    g.connectTypes[1] = b.vt;
    g.connectTypes[2] = c.vt;
    g.connectTypes[3] = d.vt;
    return Step("Connect");
  }
  HRESULT STDMETHODCALLTYPE GetFolder(BSTR path, ITaskFolder** out) override {
    g.folder = path;
    return Hand<Folder>("GetFolder", out);
  }
  HRESULT STDMETHODCALLTYPE NewTask(DWORD flags, ITaskDefinition** out) override {
    g.newTaskFlags = flags;
    return Hand<Definition>("NewTask", out);
  }
};

HRESULT WINAPI EnterCom(LPVOID reserved, DWORD model) {
  EXPECT_EQ(reserved, nullptr);
  EXPECT_EQ(model, static_cast<DWORD>(COINIT_MULTITHREADED));
  return Step("CoInitializeEx");
}
HRESULT WINAPI Security(PSECURITY_DESCRIPTOR descriptor, LONG services, SOLE_AUTHENTICATION_SERVICE* list,
                        void* reserved1, DWORD level, DWORD impersonation, void* authList, DWORD capabilities,
                        void* reserved3) {
  EXPECT_EQ(descriptor, nullptr);
  EXPECT_EQ(services, -1);
  EXPECT_TRUE(list == nullptr && reserved1 == nullptr && authList == nullptr && reserved3 == nullptr);
  EXPECT_EQ(level, static_cast<DWORD>(RPC_C_AUTHN_LEVEL_PKT_PRIVACY));
  EXPECT_EQ(impersonation, static_cast<DWORD>(RPC_C_IMP_LEVEL_IMPERSONATE));
  EXPECT_EQ(capabilities, static_cast<DWORD>(EOAC_NONE));
  return Step("CoInitializeSecurity");
}
HRESULT WINAPI CreateService(REFCLSID clsid, LPUNKNOWN outer, DWORD context, REFIID iid, LPVOID* out) {
  EXPECT_TRUE(clsid == CLSID_TaskScheduler);
  EXPECT_EQ(outer, nullptr);
  EXPECT_EQ(context, static_cast<DWORD>(CLSCTX_INPROC_SERVER));
  EXPECT_TRUE(iid == IID_ITaskService);
  return Hand<Service>("CoCreateInstance", reinterpret_cast<ITaskService**>(out));
}
void WINAPI LeaveCom() { ++g.uninitialized; }

class TaskScheduler2 : public ::testing::Test {
 protected:
  void SetUp() override {
    g = World{};
    testing_support::CreateFolders(scratch_.Child(L"Kesvar\\Nimbra"));
  }
  void TearDown() override {
    EXPECT_EQ(g.liveObjects, 0) << "an interface was not released";
  }
  bool Register() { return tasks::RegisterWithTaskScheduler2(L"C:\\Program Files\\Nimbra\\svc.exe"); }
  Messages Log() const { return testing_support::LoggedMessages(); }

  testing_support::ScratchDirectory scratch_;
  testing_support::CapturedConsole console_;
  ScopedOverride<decltype(&::CoInitializeEx)> enter_{Ole32().CoInitializeEx, &EnterCom};
  ScopedOverride<decltype(&::CoInitializeSecurity)> security_{Ole32().CoInitializeSecurity, &Security};
  ScopedOverride<decltype(&::CoCreateInstance)> create_{Ole32().CoCreateInstance, &CreateService};
  ScopedOverride<decltype(&::CoUninitialize)> leave_{Ole32().CoUninitialize, &LeaveCom};
};

const std::vector<std::string> kNewTaskCalls = {
    "CoInitializeEx", "CoInitializeSecurity", "CoCreateInstance", "Connect", "GetFolder", "GetTask", "NewTask",
    "get_Settings", "put_Compatibility", "put_DisallowStartIfOnBatteries", "put_RunOnlyIfNetworkAvailable",
    "get_RegistrationInfo", "put_Author", "put_Description", "get_Triggers", "Triggers.Create",
    "QueryInterface(IDailyTrigger)", "put_Id", "put_StartBoundary", "put_DaysInterval", "get_Repetition",
    "put_Duration", "put_Interval", "get_Actions", "Actions.Create", "QueryInterface(IExecAction)", "put_Path",
    "RegisterTaskDefinition"};

TEST_F(TaskScheduler2, NewTaskHasTheWholeDefinitionAndTheRegistrationArguments) {
  logging::VerboseLogging = true;
  EXPECT_TRUE(Register());
  logging::VerboseLogging = false;
  EXPECT_EQ(g.calls, kNewTaskCalls);
  EXPECT_EQ(Log(), Messages{L"[info] 1627"});
  EXPECT_EQ(g.uninitialized, 1);
  for (VARTYPE type : g.connectTypes) {
    EXPECT_EQ(type, VT_EMPTY);
  }
  EXPECT_EQ(g.folder, L"\\");
  EXPECT_EQ(g.newTaskFlags, 0u);
  EXPECT_EQ(g.compatibility, TASK_COMPATIBILITY_V1);
  EXPECT_EQ(g.batteries, VARIANT_FALSE);
  EXPECT_EQ(g.network, VARIANT_TRUE);
  EXPECT_EQ(g.author, L"Orvane Systems Incorporated");
  EXPECT_EQ(g.description, service::LoadResourceString(110));
  EXPECT_EQ(g.triggerType, TASK_TRIGGER_DAILY);
  EXPECT_EQ(g.id, L"UpdateTrigger");
  EXPECT_EQ(g.startBoundary.substr(0, 14), L"2000-01-01T00:");
  EXPECT_EQ(g.days, 1);
  EXPECT_EQ(g.duration, L"P1D");
  EXPECT_EQ(g.interval, L"PT1H");
  EXPECT_EQ(g.actionType, TASK_ACTION_EXEC);
  EXPECT_EQ(g.path, L"C:\\Program Files\\Nimbra\\svc.exe");
  EXPECT_EQ(g.name, L"Orvane Nimbra Player Updater");
  EXPECT_EQ(g.registerFlags, TASK_CREATE_OR_UPDATE);
  EXPECT_EQ(g.userType, VT_BSTR);
  EXPECT_EQ(g.user, L"SYSTEM");
  EXPECT_EQ(g.passwordType, VT_EMPTY);
  EXPECT_EQ(g.logon, TASK_LOGON_INTERACTIVE_TOKEN);
  EXPECT_EQ(g.sddlType, VT_BSTR);
  EXPECT_EQ(g.sddl, L"");
}

TEST_F(TaskScheduler2, ExistingTaskGetsOnlyItsFirstTriggersIntervalAndIsRegisteredAgain) {
  g.taskExists = true;
  logging::VerboseLogging = true;
  EXPECT_TRUE(Register());
  logging::VerboseLogging = false;
  const std::vector<std::string> expected = {"CoInitializeEx", "CoInitializeSecurity", "CoCreateInstance", "Connect",
                                             "GetFolder", "GetTask", "get_Definition", "get_Triggers", "get_Count",
                                             "get_Item", "get_Repetition", "put_Interval", "RegisterTaskDefinition"};
  EXPECT_EQ(g.calls, expected);
  EXPECT_EQ(g.item, 1);  // the collection counts from 1
  EXPECT_EQ(g.interval, L"PT1H");
  EXPECT_EQ(g.user, L"SYSTEM");
  EXPECT_EQ(Log(), Messages{L"[info] 1626"});
  EXPECT_EQ(g.uninitialized, 1);
}

TEST_F(TaskScheduler2, ExistingTaskWithoutTriggersIsLeftAlone) {
  g.taskExists = true;
  g.triggerCount = 0;
  EXPECT_FALSE(Register());
  EXPECT_EQ(Log().size(), 1u);
  EXPECT_EQ(Log()[0].rfind(L"[error] 1266 ", 0), 0u);
  EXPECT_EQ(g.calls.back(), "get_Count");
  EXPECT_EQ(g.uninitialized, 1);
}

TEST_F(TaskScheduler2, LoggedOnlyStepsFailAndTheTaskIsStillRegistered) {
  const std::pair<const char*, const wchar_t*> cases[] = {
      {"put_Compatibility", L"[error] 1273 5"}, {"put_DisallowStartIfOnBatteries", L"[error] 1274 5"},
      {"put_RunOnlyIfNetworkAvailable", L"[error] 1275 5"}, {"put_Id", L"[error] 1282 5"},
      {"put_StartBoundary", L"[error] 1283 5"}};
  for (const auto& [step, code] : cases) {
    testing_support::RemoveTree(testing_support::LogFilePath());
    g = World{};
    g.failAt = step;
    EXPECT_TRUE(Register()) << step;
    EXPECT_EQ(Log(), Messages{code}) << step;
    EXPECT_EQ(g.calls.back(), "RegisterTaskDefinition") << step;
    EXPECT_EQ(g.liveObjects, 0) << step;
  }
}

TEST_F(TaskScheduler2, FatalStepsRegisterNothingAndLeaveCom) {
  struct Case {
    const char* step;
    bool existing;
    int code;
  };
  const Case cases[] = {
      {"CoInitializeSecurity", false, 1259}, {"CoCreateInstance", false, 1260}, {"Connect", false, 1261},
      {"GetFolder", false, 1262}, {"get_Definition", true, 1263}, {"get_Triggers", true, 1264},
      {"get_Count", true, 1265}, {"get_Item", true, 1267}, {"get_Repetition", true, 1268},
      {"put_Interval", true, 1269}, {"RegisterTaskDefinition", true, 1270}, {"NewTask", false, 1271},
      {"get_Settings", false, 1272}, {"get_RegistrationInfo", false, 1276}, {"put_Author", false, 1277},
      {"put_Description", false, 1278}, {"get_Triggers", false, 1279}, {"Triggers.Create", false, 1280},
      {"QueryInterface(IDailyTrigger)", false, 1281}, {"put_DaysInterval", false, 1284},
      {"get_Repetition", false, 1285}, {"put_Duration", false, 1286}, {"put_Interval", false, 1287},
      {"get_Actions", false, 1288}, {"Actions.Create", false, 1289}, {"QueryInterface(IExecAction)", false, 1290},
      {"put_Path", false, 1291}, {"RegisterTaskDefinition", false, 1292},
  };
  for (const Case& c : cases) {
    testing_support::RemoveTree(testing_support::LogFilePath());
    g = World{};
    g.failAt = c.step;
    g.taskExists = c.existing;
    EXPECT_FALSE(Register()) << c.step;
    EXPECT_EQ(Log(), Messages{L"[error] " + std::to_wstring(c.code) + L" 5"}) << c.step;
    EXPECT_EQ(g.calls.back(), c.step);  // nothing after the failing step
    EXPECT_EQ(g.uninitialized, 1) << c.step;
    EXPECT_EQ(g.liveObjects, 0) << c.step;
  }
}

TEST_F(TaskScheduler2, ComThatCannotBeEnteredIsNotLeft) {
  g.failAt = "CoInitializeEx";
  EXPECT_FALSE(Register());
  EXPECT_EQ(Log(), Messages{L"[error] 1258 5"});
  EXPECT_EQ(g.uninitialized, 0);
}

TEST_F(TaskScheduler2, DeletingTheTaskIsTrueOnlyForExactlyOk) {
  EXPECT_TRUE(tasks::UnregisterWithTaskScheduler2());
  const std::vector<std::string> expected = {"CoInitializeEx", "CoInitializeSecurity", "CoCreateInstance",
                                             "Connect", "GetFolder", "DeleteTask"};
  EXPECT_EQ(g.calls, expected);
  EXPECT_EQ(g.name, L"Orvane Nimbra Player Updater");
  EXPECT_EQ(g.uninitialized, 1);
  g = World{};
  g.deleteResult = HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);  // Wine's answer for a missing task
  EXPECT_FALSE(tasks::UnregisterWithTaskScheduler2());
  EXPECT_EQ(Log(), Messages{});
  const std::pair<const char*, int> failures[] = {{"CoInitializeEx", 1295}, {"CoInitializeSecurity", 1296},
                                                  {"CoCreateInstance", 1297}, {"Connect", 1298},
                                                  {"GetFolder", 1299}};
  for (const auto& [step, code] : failures) {
    testing_support::RemoveTree(testing_support::LogFilePath());
    g = World{};
    g.failAt = step;
    EXPECT_FALSE(tasks::UnregisterWithTaskScheduler2()) << step;
    EXPECT_EQ(Log(), Messages{L"[error] " + std::to_wstring(code) + L" 5"}) << step;
    EXPECT_EQ(g.uninitialized, std::string(step) == "CoInitializeEx" ? 0 : 1) << step;
    EXPECT_EQ(g.liveObjects, 0) << step;
  }
}

}  // namespace
