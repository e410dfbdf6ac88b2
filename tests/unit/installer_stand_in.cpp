// Stands in for NimbraPlayerInstaller.exe in the launch and service tests:
// writes the path it was started from, its command line and its working
// directory to "installer-ran.txt" in that working directory.
#include <windows.h>

#include <cstdio>
#include <cwchar>

int wmain() {
  wchar_t module[MAX_PATH] = {};
  ::GetModuleFileNameW(nullptr, module, MAX_PATH);
  FILE* out = _wfopen(L"installer-ran.txt.part", L"w, ccs=UTF-8");
  if (out == nullptr) {
    return 1;
  }
  wchar_t directory[MAX_PATH] = {};
  ::GetCurrentDirectoryW(MAX_PATH, directory);
  std::fwprintf(out, L"%ls\n%ls\n%ls\n", module, ::GetCommandLineW(), directory);
  std::fclose(out);
  ::MoveFileW(L"installer-ran.txt.part", L"installer-ran.txt");  // appears whole
  return 0;
}
