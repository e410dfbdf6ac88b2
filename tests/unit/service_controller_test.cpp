#include "service/service_controller.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "logging/log.h"
#include "platform/advapi32_api.h"
#include "platform/scoped_override.h"
#include "service/resource_strings.h"
#include "test_support.h"

namespace {

using platform::Advapi32;
using platform::ScopedOverride;
using service::ServiceController;
using Messages = std::vector<std::wstring>;

// A scripted service control manager.
const SC_HANDLE kManager = reinterpret_cast<SC_HANDLE>(0x2001);
const SC_HANDLE kService = reinterpret_cast<SC_HANDLE>(0x2002);
struct Scm {
  std::string failAt;  // "manager", "service", "call"
  std::vector<DWORD> managerAccess, serviceAccess;
  std::vector<std::string> calls;
  std::vector<SC_HANDLE> closed;
  std::wstring path, displayName, description;
  DWORD access = 0, type = 0, start = 0, errorControl = 0;
  bool accountGiven = true;
};
Scm g;

bool Fail(const char* at, DWORD error) {
  if (g.failAt == at) {
    ::SetLastError(error);
    return true;
  }
  return false;
}
SC_HANDLE WINAPI OpenManager(LPCWSTR machine, LPCWSTR database, DWORD access) {
  EXPECT_EQ(machine, nullptr);
  EXPECT_EQ(database, nullptr);
  g.managerAccess.push_back(access);
  return Fail("manager", ERROR_ACCESS_DENIED) ? nullptr : kManager;
}
SC_HANDLE WINAPI OpenService(SC_HANDLE manager, LPCWSTR name, DWORD access) {
  EXPECT_EQ(manager, kManager);
  EXPECT_STREQ(name, L"OrvaneNimbraPlayerUpdateSvc");
  g.serviceAccess.push_back(access);
  return Fail("service", ERROR_SERVICE_DOES_NOT_EXIST) ? nullptr : kService;
}
SC_HANDLE WINAPI Create(SC_HANDLE manager, LPCWSTR name, LPCWSTR display, DWORD access, DWORD type, DWORD start,
                        DWORD errorControl, LPCWSTR path, LPCWSTR group, LPDWORD tag, LPCWSTR dependencies,
                        LPCWSTR account, LPCWSTR password) {
  EXPECT_EQ(manager, kManager);
  EXPECT_STREQ(name, L"OrvaneNimbraPlayerUpdateSvc");
  g.calls.push_back("create");
  g.displayName = display;
  g.access = access;
  g.type = type;
  g.start = start;
  g.errorControl = errorControl;
  g.path = path;
  g.accountGiven = group || tag || dependencies || account || password;
  return Fail("call", ERROR_SERVICE_EXISTS) ? nullptr : kService;
}
BOOL WINAPI ChangeConfig(SC_HANDLE service, DWORD type, DWORD start, DWORD errorControl, LPCWSTR path,
                         LPCWSTR group, LPDWORD tag, LPCWSTR dependencies, LPCWSTR account, LPCWSTR password,
                         LPCWSTR display) {
  EXPECT_EQ(service, kService);
  g.calls.push_back("change");
  g.type = type;
  g.start = start;
  g.errorControl = errorControl;
  g.path = path;
  g.displayName = display;
  g.accountGiven = group || tag || dependencies || account || password;
  return Fail("call", ERROR_INVALID_PARAMETER) ? FALSE : TRUE;
}
BOOL WINAPI ChangeConfig2(SC_HANDLE service, DWORD level, LPVOID info) {
  EXPECT_EQ(service, kService);
  EXPECT_EQ(level, static_cast<DWORD>(SERVICE_CONFIG_DESCRIPTION));
  g.calls.push_back("describe");
  g.description = static_cast<SERVICE_DESCRIPTIONW*>(info)->lpDescription;
  return Fail("describe", ERROR_ACCESS_DENIED) ? FALSE : TRUE;
}
BOOL WINAPI Start(SC_HANDLE service, DWORD count, LPCSTR* arguments) {
  EXPECT_EQ(service, kService);
  EXPECT_EQ(count, 0u);
  EXPECT_EQ(arguments, nullptr);
  g.calls.push_back("start");
  return Fail("call", ERROR_SERVICE_ALREADY_RUNNING) ? FALSE : TRUE;
}
BOOL WINAPI Control(SC_HANDLE service, DWORD control, LPSERVICE_STATUS) {
  EXPECT_EQ(service, kService);
  EXPECT_EQ(control, static_cast<DWORD>(SERVICE_CONTROL_STOP));
  g.calls.push_back("stop");
  return Fail("call", ERROR_SERVICE_NOT_ACTIVE) ? FALSE : TRUE;
}
BOOL WINAPI Delete(SC_HANDLE service) {
  EXPECT_EQ(service, kService);
  g.calls.push_back("delete");
  return Fail("call", ERROR_SERVICE_MARKED_FOR_DELETE) ? FALSE : TRUE;
}
BOOL WINAPI Close(SC_HANDLE handle) {
  g.closed.push_back(handle);
  return TRUE;
}

class ServiceControl : public ::testing::Test {
 protected:
  void SetUp() override {
    g = Scm{};
    logging::VerboseLogging = true;
    testing_support::CreateFolders(scratch_.Child(L"Kesvar\\Nimbra"));
  }
  void TearDown() override { logging::VerboseLogging = false; }
  void Reset(const char* failAt = "") {
    g = Scm{};
    g.failAt = failAt;
    testing_support::RemoveTree(testing_support::LogFilePath());
  }

  testing_support::ScratchDirectory scratch_;
  testing_support::CapturedConsole console_;
  ScopedOverride<decltype(&::OpenSCManagerW)> manager_{Advapi32().OpenSCManagerW, &OpenManager};
  ScopedOverride<decltype(&::OpenServiceW)> service_{Advapi32().OpenServiceW, &OpenService};
  ScopedOverride<decltype(&::CreateServiceW)> create_{Advapi32().CreateServiceW, &Create};
  ScopedOverride<decltype(&::ChangeServiceConfigW)> change_{Advapi32().ChangeServiceConfigW, &ChangeConfig};
  ScopedOverride<decltype(&::ChangeServiceConfig2W)> describe_{Advapi32().ChangeServiceConfig2W, &ChangeConfig2};
  ScopedOverride<decltype(&::StartServiceA)> start_{Advapi32().StartServiceA, &Start};
  ScopedOverride<decltype(&::ControlService)> control_{Advapi32().ControlService, &Control};
  ScopedOverride<decltype(&::DeleteService)> delete_{Advapi32().DeleteService, &Delete};
  ScopedOverride<decltype(&::CloseServiceHandle)> closeHandle_{Advapi32().CloseServiceHandle, &Close};
  const ServiceController controller_{L"C:\\Nimbra\\NimbraPlayerUpdateService.exe", service::kServiceName,
                                      service::kServiceDisplayName};
};

TEST_F(ServiceControl, EachOperationOpensWithItsRightsAndLogsItsCodes) {
  using Operation = bool (ServiceController::*)() const;
  struct Case {
    const char* name;
    Operation operation;
    DWORD serviceAccess;
    const wchar_t* success;
    const wchar_t* codes[3];  // manager, service, call
  };
  const Case cases[] = {
      {"start", &ServiceController::Start, SERVICE_ALL_ACCESS, L"[info] 1604",
       {L"[error] 1221 5", L"[error] 1222 1060", L"[error] 1223 1056"}},
      {"stop", &ServiceController::Stop, SERVICE_ALL_ACCESS, L"[info] 1605",
       {L"[error] 1224 5", L"[error] 1225 1060", L"[error] 1226 1062"}},
      {"delete", &ServiceController::Delete, SERVICE_ALL_ACCESS, L"[info] 1606",
       {L"[error] 1227 5", L"[error] 1228 1060", L"[error] 1229 1072"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Reset();
    EXPECT_TRUE((controller_.*c.operation)());
    EXPECT_EQ(g.managerAccess, std::vector<DWORD>{SC_MANAGER_ALL_ACCESS});
    EXPECT_EQ(g.serviceAccess, std::vector<DWORD>{c.serviceAccess});
    EXPECT_EQ(g.closed, (std::vector<SC_HANDLE>{kService, kManager}));
    EXPECT_EQ(testing_support::LoggedMessages(), Messages{c.success});
    const char* steps[] = {"manager", "service", "call"};
    for (int i = 0; i < 3; ++i) {
      Reset(steps[i]);
      EXPECT_FALSE((controller_.*c.operation)());
      EXPECT_EQ(testing_support::LoggedMessages(), Messages{c.codes[i]}) << steps[i];
    }
  }
}

TEST_F(ServiceControl, ExistsIsSilentUnlessTheScmCannotBeOpened) {
  EXPECT_TRUE(controller_.Exists());
  EXPECT_EQ(g.serviceAccess, std::vector<DWORD>{SERVICE_ALL_ACCESS});
  Reset("service");
  EXPECT_FALSE(controller_.Exists());
  EXPECT_EQ(testing_support::LoggedMessages(), Messages{});
  Reset("manager");
  EXPECT_FALSE(controller_.Exists());
  EXPECT_EQ(testing_support::LoggedMessages(), Messages{L"[error] 1302 5"});
}

TEST_F(ServiceControl, CreateRegistersADemandStartServiceAndDescribesIt) {
  EXPECT_TRUE(controller_.Create());
  EXPECT_EQ(g.managerAccess.front(), static_cast<DWORD>(SC_MANAGER_CREATE_SERVICE));
  EXPECT_EQ(g.access, static_cast<DWORD>(SERVICE_START | SERVICE_STOP));
  EXPECT_EQ(g.type, static_cast<DWORD>(SERVICE_WIN32_OWN_PROCESS));
  EXPECT_EQ(g.start, static_cast<DWORD>(SERVICE_DEMAND_START));
  EXPECT_EQ(g.errorControl, static_cast<DWORD>(SERVICE_ERROR_NORMAL));
  EXPECT_EQ(g.path, L"C:\\Nimbra\\NimbraPlayerUpdateService.exe");
  EXPECT_EQ(g.displayName, L"Orvane Nimbra Player Update Service");
  EXPECT_FALSE(g.accountGiven);  // LocalSystem
  EXPECT_EQ(g.calls, (std::vector<std::string>{"create", "describe"}));
  EXPECT_EQ(g.description, service::LoadResourceString(120));
  EXPECT_EQ(testing_support::LoggedMessages(), Messages{L"[info] 1603"});

  Reset("call");
  EXPECT_FALSE(controller_.Create());
  EXPECT_EQ(testing_support::LoggedMessages(), Messages{L"[error] 1220 1073"});
  Reset("describe");
  EXPECT_FALSE(controller_.Create());  // registered, but reported as failed
  EXPECT_EQ(testing_support::LoggedMessages(), (Messages{L"[info] 1603", L"[error] 1232 5"}));
}

TEST_F(ServiceControl, PathWithBlanksIsRegisteredQuoted) {
  const ServiceController spaced(L"C:\\Program Files\\Nimbra\\NimbraPlayerUpdateService.exe",
                                 service::kServiceName, service::kServiceDisplayName);
  EXPECT_TRUE(spaced.Create());
  EXPECT_EQ(g.path, L"\"C:\\Program Files\\Nimbra\\NimbraPlayerUpdateService.exe\"");
  Reset();
  EXPECT_TRUE(spaced.UpdateConfiguration());
  EXPECT_EQ(g.path, L"\"C:\\Program Files\\Nimbra\\NimbraPlayerUpdateService.exe\"");
  EXPECT_EQ(spaced.executablePath, L"C:\\Program Files\\Nimbra\\NimbraPlayerUpdateService.exe");
}

TEST_F(ServiceControl, UpdateConfigurationChangesOnlyPathAndNameAndWarnsOnFailure) {
  EXPECT_TRUE(controller_.UpdateConfiguration());
  EXPECT_EQ(g.serviceAccess.front(), static_cast<DWORD>(SERVICE_CHANGE_CONFIG));
  EXPECT_EQ(g.type, static_cast<DWORD>(SERVICE_NO_CHANGE));
  EXPECT_EQ(g.start, static_cast<DWORD>(SERVICE_NO_CHANGE));
  EXPECT_EQ(g.errorControl, static_cast<DWORD>(SERVICE_NO_CHANGE));
  EXPECT_EQ(g.displayName, L"Orvane Nimbra Player Update Service");
  EXPECT_FALSE(g.accountGiven);
  EXPECT_EQ(g.calls, (std::vector<std::string>{"change", "describe"}));
  Reset("call");
  EXPECT_FALSE(controller_.UpdateConfiguration());
  EXPECT_EQ(testing_support::LoggedMessages(), Messages{L"[warning] 1427 87"});
  EXPECT_EQ(g.calls, std::vector<std::string>{"change"});
  for (const auto& [step, code] : {std::pair{"manager", L"[error] 1303 5"}, std::pair{"service", L"[error] 1304 1060"}}) {
    Reset(step);
    EXPECT_FALSE(controller_.UpdateConfiguration());
    EXPECT_EQ(testing_support::LoggedMessages(), Messages{code});
  }
}

TEST_F(ServiceControl, InstallStopsAndReconfiguresARegisteredService) {
  EXPECT_TRUE(service::InstallServicePart(controller_));
  EXPECT_EQ(g.calls, (std::vector<std::string>{"stop", "change", "describe"}));
  Reset();
  g.failAt = "call";  // the stop control is refused: a stopped service
  EXPECT_FALSE(service::InstallServicePart(controller_));
  EXPECT_EQ(g.calls, std::vector<std::string>{"stop"});
  Reset("service");  // not registered: created
  EXPECT_FALSE(service::InstallServicePart(controller_));  // Create: the fake has no service to describe
  EXPECT_EQ(g.calls, std::vector<std::string>{"create"});
}

TEST(ResourceStrings, EnglishTextsAndAFallback) {
  EXPECT_EQ(service::LoadResourceString(120),
            L"This service keeps your Orvane Nimbra Player installation up to date with the latest "
            L"enhancements and security fixes.");
  EXPECT_EQ(service::LoadResourceString(110).substr(0, 40), L"This task keeps your Orvane Nimbra Playe");
  EXPECT_EQ(service::LoadResourceString(111), L"MISSING LOCALIZATION");
}

TEST(ResourceStrings, BothStringsExistInSixteenLanguages) {
  const LANGID languages[] = {0x001D, 0x0404, 0x0405, 0x0407, 0x0409, 0x040C, 0x0410, 0x0411,
                              0x0412, 0x0413, 0x0415, 0x0416, 0x0419, 0x041F, 0x0804, 0x0C0A};
  for (const LANGID language : languages) {
    // Strings 110 and 120 live in string blocks 7 and 8 (16 strings a block).
    for (const int block : {110 / 16 + 1, 120 / 16 + 1}) {
      EXPECT_NE(::FindResourceExW(nullptr, RT_STRING, MAKEINTRESOURCEW(block), language), nullptr)
          << std::hex << language << " block " << block;
    }
  }
}

}  // namespace
