#include "filesystem/listing_order.h"

#include <cstring>
#include <string>

namespace ZAZE {
namespace {

bool IsNumber(const std::string& name) {
  return name.find_first_not_of("0123456789") == std::string::npos;
}

int CompareBytes(const std::string& a, const std::string& b) {
  const std::size_t common = a.size() < b.size() ? a.size() : b.size();
  // memcmp compares as unsigned char, so UTF-8 bytes sort after ASCII.
  const int order = common == 0 ? 0 : std::memcmp(a.data(), b.data(), common);
  if (order != 0) {
    return order;
  }
  return a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0);
}

// Compares decimal values without converting them, so numbers beyond 64 bits
// keep their order: without leading zeros, the longer digit string is the
// larger value, and strings of the same length compare digit by digit.
int CompareDecimalValues(const std::string& a, const std::string& b) {
  const std::size_t aStart = a.find_first_not_of('0');
  const std::size_t bStart = b.find_first_not_of('0');
  const std::string aDigits = aStart == std::string::npos ? std::string() : a.substr(aStart);
  const std::string bDigits = bStart == std::string::npos ? std::string() : b.substr(bStart);
  if (aDigits.size() != bDigits.size()) {
    return aDigits.size() < bDigits.size() ? -1 : 1;
  }
  return CompareBytes(aDigits, bDigits);
}

}  // namespace

int CompareListingNames(const settings::NarrowString& a, const settings::NarrowString& b) {
  const bool aIsNumber = IsNumber(a.str());
  const bool bIsNumber = IsNumber(b.str());
  if (aIsNumber != bIsNumber) {
    return aIsNumber ? 1 : -1;
  }
  return aIsNumber ? CompareDecimalValues(a.str(), b.str()) : CompareBytes(a.str(), b.str());
}

}  // namespace ZAZE
