#include <memory>

#include "filesystem/windows_file_manager.h"
#include "settings/settings.h"

namespace settings {

const NarrowString& GetConfigFilePath() {
  // The file manager knows the path; one is made just to ask it. The string
  // it returns is process-wide and outlives the manager.
  const auto fileManager = std::make_unique<ZAZE::WindowsFileManager>();
  return fileManager->GetConfigFilePath();
}

}  // namespace settings
