// Stands in for NimbraPlayerInstaller.exe in the launch tests: writes its own
// path and command line to "installer-ran.txt" in its working directory.
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
  std::fwprintf(out, L"%ls\n%ls\n", module, ::GetCommandLineW());
  std::fclose(out);
  ::MoveFileW(L"installer-ran.txt.part", L"installer-ran.txt");  // appears whole
  return 0;
}
