#include <cstdio>

#include "settings/byte_file.h"

namespace settings {

bool ReadWholeByteFile(const NarrowString& path, std::string& bytes) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) {
    return false;
  }
  char chunk[8192];
  std::size_t count = 0;
  while ((count = std::fread(chunk, 1, sizeof(chunk), file)) > 0) {
    bytes.append(chunk, count);
  }
  const bool ok = std::ferror(file) == 0;
  std::fclose(file);
  return ok;
}

bool WriteWholeByteFile(const NarrowString& path, const std::string& bytes) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) {
    return false;
  }
  std::fwrite(bytes.data(), 1, bytes.size(), file);
  std::fclose(file);
  return true;
}

}  // namespace settings
