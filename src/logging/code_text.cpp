#include "logging/code_text.h"

#include <locale>
#include <sstream>

namespace logging {

std::wstring CodeText(std::int32_t value) {
  std::wostringstream text;
  text.imbue(std::locale::classic());
  text << static_cast<long>(value);
  return text.str();
}

}  // namespace logging
