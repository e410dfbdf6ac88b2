#include "platform/crt_api.h"
#include "platform/kernel32_api.h"

namespace platform {

Kernel32Api& Kernel32() {
  static Kernel32Api table;
  return table;
}

CrtApi& Crt() {
  static CrtApi table;
  return table;
}

}  // namespace platform
