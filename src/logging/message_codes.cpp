#include "logging/message_codes.h"

#include <algorithm>
#include <iterator>

namespace logging {
namespace {

constexpr MessageCodeInfo kCatalogue[] = {
#define MESSAGE_CODE(number, name, meaning) {number, #name, meaning},
#include "logging/message_codes.inc"
#undef MESSAGE_CODE
};

}  // namespace

const MessageCodeInfo* MessageCodesBegin() { return std::begin(kCatalogue); }
const MessageCodeInfo* MessageCodesEnd() { return std::end(kCatalogue); }

const MessageCodeInfo* FindMessageCode(std::int32_t number) {
  const auto* found = std::lower_bound(
      std::begin(kCatalogue), std::end(kCatalogue), number,
      [](const MessageCodeInfo& entry, std::int32_t wanted) { return entry.number < wanted; });
  if (found == std::end(kCatalogue) || found->number != number) {
    return nullptr;
  }
  return found;
}

}  // namespace logging
