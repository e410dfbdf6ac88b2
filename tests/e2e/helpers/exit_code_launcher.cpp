// Starts a program, waits for it and writes its whole exit code in decimal to
// a file. A Unix parent sees only the low 8 bits of a Windows exit code (1001
// arrives as 233), so the end-to-end tests start the service through this.
//
//   exit_code_launcher.exe <result file> <program> [arguments...]
//
// The program inherits the standard handles; the launcher's own exit code is
// the low byte of the program's, or 255 when it could not start it.
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

// Quotes one argument the way CommandLineToArgvW reads it back.
std::wstring QuoteArgument(const std::wstring& argument) {
  if (!argument.empty() && argument.find_first_of(L" \t\"") == std::wstring::npos) {
    return argument;
  }
  std::wstring quoted = L"\"";
  std::size_t backslashes = 0;
  for (wchar_t c : argument) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    backslashes = 0;
    quoted += c;
  }
  quoted.append(backslashes * 2, L'\\');
  quoted += L'"';
  return quoted;
}

}  // namespace

int wmain(int argc, wchar_t* argv[]) {
  if (argc < 3) {
    std::fwprintf(stderr, L"usage: exit_code_launcher <result file> <program> [arguments...]\n");
    return 255;
  }
  std::wstring commandLine = QuoteArgument(argv[2]);
  for (int i = 3; i < argc; ++i) {
    commandLine += L' ';
    commandLine += QuoteArgument(argv[i]);
  }
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(argv[2], commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                      &startup, &process)) {
    std::fwprintf(stderr, L"exit_code_launcher: cannot start the program (error %lu)\n",
                  GetLastError());
    return 255;
  }
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD exitCode = 0;
  GetExitCodeProcess(process.hProcess, &exitCode);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);

  FILE* result = _wfopen(argv[1], L"w");
  if (result == nullptr) {
    return 255;
  }
  std::fprintf(result, "%lu\n", static_cast<unsigned long>(exitCode));
  std::fclose(result);
  return static_cast<int>(exitCode & 0xFF);
}
