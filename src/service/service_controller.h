#pragma once

#include <string>
#include <utility>

namespace service {

inline constexpr const wchar_t* kServiceName = L"OrvaneNimbraPlayerUpdateSvc";
inline constexpr const wchar_t* kServiceDisplayName = L"Orvane Nimbra Player Update Service";

// The service's identity in the service control manager: the program to run,
// the key name and the shown name. Constructing it only copies the strings.
class ServiceController {
 public:
  ServiceController(std::wstring path, std::wstring name, std::wstring shownName)
      : executablePath(std::move(path)), serviceName(std::move(name)), displayName(std::move(shownName)) {}

  const std::wstring executablePath;
  const std::wstring serviceName;
  const std::wstring displayName;
};

}  // namespace service
