#include "platform/advapi32_api.h"
#include "platform/crt_api.h"
#include "platform/kernel32_api.h"
#include "platform/ole32_api.h"
#include "platform/shell32_api.h"
#include "platform/user32_api.h"
#include "platform/winhttp_api.h"

namespace platform {

Kernel32Api& Kernel32() {
  static Kernel32Api table;
  return table;
}

Advapi32Api& Advapi32() {
  static Advapi32Api table;
  return table;
}

Ole32Api& Ole32() {
  static Ole32Api table;
  return table;
}

OleAut32Api& OleAut32() {
  static OleAut32Api table;
  return table;
}

Shell32Api& Shell32() {
  static Shell32Api table;
  return table;
}

User32Api& User32() {
  static User32Api table;
  return table;
}

WinHttpApi& WinHttp() {
  static WinHttpApi table;
  return table;
}

CrtApi& Crt() {
  static CrtApi table;
  return table;
}

}  // namespace platform
