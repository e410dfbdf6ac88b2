#include "update/manifest_parser.h"

#include <rapidxml.hpp>

#include <cstring>
#include <new>

#include "logging/log.h"
#include "update/unsigned_decimal.h"

namespace update {
namespace {

using Node = rapidxml::xml_node<char>;

// The value of the node's first attribute of that name, or null.
const char* AttributeValue(const Node* node, const char* name) {
  const rapidxml::xml_attribute<char>* attribute = node->first_attribute(name);
  return attribute != nullptr ? attribute->value() : nullptr;
}

std::uint32_t ToNumber(const char* value) {
  return ParseUnsignedDecimal(value, value + std::strlen(value));
}

// The four version attributes of an ActiveX or Plugin element; false when
// the element or one of them is missing.
bool ReadVersion(const Node* parent, const char* element, VersionNumber& version) {
  const Node* node = parent->first_node(element);
  if (node == nullptr) {
    return false;
  }
  const char* values[4] = {};
  const char* names[4] = {"major", "minor", "buildMajor", "buildMinor"};
  for (int i = 0; i < 4; ++i) {
    values[i] = AttributeValue(node, names[i]);
    if (values[i] == nullptr) {
      return false;
    }
  }
  version.major = ToNumber(values[0]);
  version.minor = ToNumber(values[1]);
  version.buildMajor = ToNumber(values[2]);
  version.buildMinor = ToNumber(values[3]);
  return true;
}

}  // namespace

bool ParseVersionManifest(char* text, std::unique_ptr<ComponentVersion>& activeX,
                          std::unique_ptr<ComponentVersion>& plugin,
                          std::unique_ptr<SAUConfig>& config) {
  try {
    // The document and its pool are released when it goes out of scope, on
    // every path.
    rapidxml::xml_document<char> document;
    document.parse<0>(text);

    const Node* version = document.first_node("version");
    if (version == nullptr) {
      return false;
    }
    auto newActiveX = std::make_unique<ComponentVersion>();
    auto newPlugin = std::make_unique<ComponentVersion>();
    auto newConfig = std::make_unique<SAUConfig>();
    newActiveX->flavour = PlayerFlavour::ActiveX;
    newPlugin->flavour = PlayerFlavour::Plugin;
    if (!ReadVersion(version, "ActiveX", newActiveX->version) ||
        !ReadVersion(version, "Plugin", newPlugin->version)) {
      return false;
    }
    const Node* sauConfig = version->first_node("SAUConfig");
    const char* frequency = sauConfig != nullptr ? AttributeValue(sauConfig, "checkFrequency") : nullptr;
    if (frequency == nullptr) {
      return false;
    }
    newConfig->checkFrequency = ToNumber(frequency);

    activeX = std::move(newActiveX);
    plugin = std::move(newPlugin);
    config = std::move(newConfig);
    return true;
  } catch (const rapidxml::parse_error&) {
    logging::LogCode(logging::MessageCode::ManifestMalformed);
    return false;
  } catch (const std::bad_alloc&) {
    logging::LogCode(logging::MessageCode::ManifestOutOfMemory);
    return false;
  }
}

}  // namespace update
