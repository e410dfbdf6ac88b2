#pragma once

#include <string>
#include <utility>

namespace service {

inline constexpr const wchar_t kServiceName[] = L"OrvaneNimbraPlayerUpdateSvc";
inline constexpr const wchar_t kServiceDisplayName[] = L"Orvane Nimbra Player Update Service";

// The service's identity in the service control manager and the operations
// on its registration. Constructing it only copies the strings. Each
// operation opens its own handles, does one thing, closes them, logs its
// outcome and reports success; none waits for the service to change state.
class ServiceController {
 public:
  ServiceController(std::wstring path, std::wstring name, std::wstring shownName)
      : executablePath(std::move(path)), serviceName(std::move(name)), displayName(std::move(shownName)) {}

  bool Exists() const;               // the service can be opened
  bool Create() const;               // register it (demand start, LocalSystem), then describe it
  bool UpdateConfiguration() const;  // point it at executablePath and displayName, then describe it
  bool SetDescription() const;       // string resource 120
  bool Start() const;                // ask the SCM to start it, without arguments
  bool Stop() const;                 // send the stop control
  bool Delete() const;               // mark it for deletion

  // The program path as registered: quoted when it contains a blank, so a
  // path such as C:\Program Files\... cannot start C:\Program.exe.
  std::wstring RegisteredProgramPath() const;

  const std::wstring executablePath;
  const std::wstring serviceName;
  const std::wstring displayName;
};

// The "-install" service step: create the service, or stop a registered one
// and reconfigure it.
bool InstallServicePart(const ServiceController& controller);

}  // namespace service
