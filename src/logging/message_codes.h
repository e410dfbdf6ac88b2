#pragma once

#include <cstdint>

#include "logging/log_level.h"

namespace logging {

// Every code the service logs, by name. The list itself is message_codes.inc.
enum class MessageCode : std::int32_t {
#define MESSAGE_CODE(number, name, meaning) name = number,
#include "logging/message_codes.inc"
#undef MESSAGE_CODE
};

struct MessageCodeInfo {
  std::int32_t number;
  const char* name;
  const char* meaning;
};

// The catalogue entry of a number, or null when the number is not a code.
const MessageCodeInfo* FindMessageCode(std::int32_t number);

// All entries in ascending order.
const MessageCodeInfo* MessageCodesBegin();
const MessageCodeInfo* MessageCodesEnd();

// The level every code of a group is logged at: 1200-1304 Error,
// 1400-1427 Warning, 1600-1629 Info.
constexpr LogLevel LevelOf(MessageCode code) {
  const auto number = static_cast<std::int32_t>(code);
  if (number >= 1600) {
    return LogLevel::Info;
  }
  if (number >= 1400) {
    return LogLevel::Warning;
  }
  return LogLevel::Error;
}

constexpr std::int32_t NumberOf(MessageCode code) { return static_cast<std::int32_t>(code); }

}  // namespace logging
