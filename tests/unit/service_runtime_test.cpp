#include "service/service_runtime.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <vector>

#include "logging/log.h"
#include "platform/advapi32_api.h"
#include "platform/kernel32_api.h"
#include "platform/scoped_override.h"
#include "settings/service_context.h"
#include "test_support.h"

namespace {

using platform::Advapi32;
using platform::ScopedOverride;
using Messages = std::vector<std::wstring>;

const SERVICE_STATUS_HANDLE kStatusHandle = reinterpret_cast<SERVICE_STATUS_HANDLE>(0x5151);
std::vector<SERVICE_STATUS> g_reports;
LPHANDLER_FUNCTION g_handler = nullptr;

BOOL WINAPI RecordStatus(SERVICE_STATUS_HANDLE handle, LPSERVICE_STATUS status) {
  EXPECT_EQ(handle, kStatusHandle);
  g_reports.push_back(*status);
  return TRUE;
}
SERVICE_STATUS_HANDLE WINAPI RegisterHandler(LPCWSTR name, LPHANDLER_FUNCTION handler) {
  EXPECT_STREQ(name, L"OrvaneNimbraPlayerUpdateSvc");
  g_handler = handler;
  return kStatusHandle;
}
SERVICE_STATUS_HANDLE WINAPI RefuseHandler(LPCWSTR, LPHANDLER_FUNCTION) {
  ::SetLastError(ERROR_INVALID_NAME);
  return nullptr;
}
// The SCM's part: runs the service's entry on this thread, then returns.
BOOL WINAPI DispatchHere(const SERVICE_TABLE_ENTRYW* table) {
  EXPECT_STREQ(table[0].lpServiceName, L"OrvaneNimbraPlayerUpdateSvc");
  EXPECT_EQ(table[1].lpServiceName, nullptr);
  EXPECT_EQ(table[1].lpServiceProc, nullptr);
  table[0].lpServiceProc(0, nullptr);
  return TRUE;
}
BOOL WINAPI NotAService(const SERVICE_TABLE_ENTRYW*) {
  ::SetLastError(ERROR_FAILED_SERVICE_CONTROLLER_CONNECT);
  return FALSE;
}
HANDLE WINAPI NoEvent(LPSECURITY_ATTRIBUTES, BOOL, BOOL, LPCWSTR) {
  ::SetLastError(ERROR_NOT_ENOUGH_MEMORY);
  return nullptr;
}

struct Report {
  DWORD state, checkPoint, waitHint, accepted;
};
std::vector<Report> Reports() {
  std::vector<Report> reports;
  for (const SERVICE_STATUS& s : g_reports) {
    EXPECT_EQ(s.dwServiceType, static_cast<DWORD>(SERVICE_WIN32_OWN_PROCESS));
    EXPECT_EQ(s.dwWin32ExitCode, static_cast<DWORD>(NO_ERROR));
    EXPECT_EQ(s.dwServiceSpecificExitCode, 0u);
    reports.push_back({s.dwCurrentState, s.dwCheckPoint, s.dwWaitHint, s.dwControlsAccepted});
  }
  return reports;
}
bool operator==(const Report& a, const Report& b) {
  return a.state == b.state && a.checkPoint == b.checkPoint && a.waitHint == b.waitHint && a.accepted == b.accepted;
}
std::ostream& operator<<(std::ostream& out, const Report& r) {
  return out << "{state " << r.state << ", check point " << r.checkPoint << ", wait " << r.waitHint
             << ", accepts " << r.accepted << "}";
}

class ServiceRuntime : public ::testing::Test {
 protected:
  void SetUp() override {
    testing_support::ResetSettings();
    testing_support::RemoveTree(testing_support::ConfigFolder());
    testing_support::CreateFolders(scratch_.Child(L"Kesvar\\Nimbra"));
    g_reports.clear();
    g_handler = nullptr;
    service::ServiceStatus = SERVICE_STATUS{};
    service::CheckPointCounter = 1;
    service::StatusHandle = nullptr;
    logging::VerboseLogging = true;
  }
  void TearDown() override {
    settings::CurrentServiceContext = nullptr;
    testing_support::ResetSettings();
  }

  testing_support::ScratchDirectory scratch_;
  testing_support::CapturedConsole console_;
  ScopedOverride<decltype(&::SetServiceStatus)> status_{Advapi32().SetServiceStatus, &RecordStatus};
  ScopedOverride<decltype(&::RegisterServiceCtrlHandlerW)> handler_{Advapi32().RegisterServiceCtrlHandlerW,
                                                                     &RegisterHandler};
};

TEST_F(ServiceRuntime, AServiceStartRunsOneCycleAndReportsItsStates) {
  ScopedOverride dispatch(Advapi32().StartServiceCtrlDispatcherW, &DispatchHere);
  settings::ServiceContext context(L"C:\\svc.exe");  // no configuration: the cycle is gated off
  settings::CurrentServiceContext = &context;
  testing_support::RemoveTree(testing_support::LogFilePath());
  EXPECT_TRUE(service::RunServiceDispatcher());
  EXPECT_EQ(testing_support::LoggedMessages(),
            (Messages{L"[info] 1618", L"[info] 1608", L"[info] 1612", L"[info] 1621", L"[info] 1620"}));
  const std::vector<Report> expected = {{SERVICE_START_PENDING, 1, 3000, 0},
                                        {SERVICE_RUNNING, 0, 0, SERVICE_ACCEPT_STOP},
                                        {SERVICE_STOPPED, 0, 0, SERVICE_ACCEPT_STOP}};
  EXPECT_EQ(Reports(), expected);
}

TEST_F(ServiceRuntime, NotStartedByTheScmTheDispatcherFailsAtOnce) {
  ScopedOverride dispatch(Advapi32().StartServiceCtrlDispatcherW, &NotAService);
  EXPECT_FALSE(service::RunServiceDispatcher());
  EXPECT_EQ(testing_support::LoggedMessages(), (Messages{L"[info] 1618", L"[info] 1619 1063"}));
  EXPECT_TRUE(g_reports.empty());
}

TEST_F(ServiceRuntime, StopControlReportsStopPendingTwiceAndSignalsTheEvent) {
  service::StopEvent = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  service::StatusHandle = kStatusHandle;
  service::ServiceStatus.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
  service::CheckPointCounter = 2;  // START_PENDING used 1
  service::ReportServiceStatus(SERVICE_RUNNING, 0);
  g_reports.clear();

  service::ServiceControlHandler(SERVICE_CONTROL_INTERROGATE);
  EXPECT_TRUE(g_reports.empty());  // no report for anything but stop
  service::ServiceControlHandler(SERVICE_CONTROL_STOP);

  EXPECT_EQ(::WaitForSingleObject(service::StopEvent, 0), WAIT_OBJECT_0);
  const std::vector<Report> expected = {{SERVICE_STOP_PENDING, 2, 0, SERVICE_ACCEPT_STOP},
                                        {SERVICE_STOP_PENDING, 3, 0, SERVICE_ACCEPT_STOP}};
  EXPECT_EQ(Reports(), expected);
  EXPECT_EQ(testing_support::LoggedMessages(),
            (Messages{L"[info] 1622 4", L"[info] 1622 1", L"[info] 1623"}));
  ::CloseHandle(service::StopEvent);
  service::StopEvent = nullptr;
}

TEST_F(ServiceRuntime, WithoutAStopEventTheServiceStopsWithoutACycle) {
  ScopedOverride noEvent(platform::Kernel32().CreateEventW, &NoEvent);
  ScopedOverride dispatch(Advapi32().StartServiceCtrlDispatcherW, &DispatchHere);
  EXPECT_TRUE(service::RunServiceDispatcher());
  EXPECT_EQ(testing_support::LoggedMessages(), (Messages{L"[info] 1618", L"[info] 1621", L"[info] 1620"}));
  const std::vector<Report> expected = {{SERVICE_START_PENDING, 1, 3000, 0},
                                        {SERVICE_STOPPED, 0, 0, SERVICE_ACCEPT_STOP}};
  EXPECT_EQ(Reports(), expected);
}

TEST_F(ServiceRuntime, WithoutAServiceContextTheCycleIsSkipped) {
  ScopedOverride dispatch(Advapi32().StartServiceCtrlDispatcherW, &DispatchHere);
  settings::CurrentServiceContext = nullptr;
  EXPECT_TRUE(service::RunServiceDispatcher());
  const Messages log = testing_support::LoggedMessages();
  ASSERT_EQ(log.size(), 4u);
  EXPECT_EQ(log[1].rfind(L"[error] 1241 ", 0), 0u);
  EXPECT_EQ(Reports().back().state, static_cast<DWORD>(SERVICE_STOPPED));
}

TEST_F(ServiceRuntime, RefusedControlHandlerEndsTheServiceWithoutAReport) {
  ScopedOverride refuse(Advapi32().RegisterServiceCtrlHandlerW, &RefuseHandler);
  ScopedOverride dispatch(Advapi32().StartServiceCtrlDispatcherW, &DispatchHere);
  EXPECT_TRUE(service::RunServiceDispatcher());
  EXPECT_EQ(testing_support::LoggedMessages(),
            (Messages{L"[info] 1618", L"[error] 1240 123", L"[info] 1620"}));
  EXPECT_TRUE(g_reports.empty());
}

}  // namespace
