#pragma once

#include <cstdint>

#include "filesystem/file_manager.h"

namespace ZAZE {

// The file manager on the Windows file and shell functions. It holds no
// state; the folder names it hands out are process-wide and made on first use.
class WindowsFileManager : public FileManager {
 public:
  bool DeletePath(const settings::NarrowString& path) override;
  bool PurgeDirectory(const settings::NarrowString& path, std::uint64_t minAgeSeconds,
                      std::uint64_t maxAgeSeconds) override;
  std::uint64_t GetPathSize(const settings::NarrowString& path) override;
  bool CreateSubdirectory(const settings::NarrowString& parent, const settings::NarrowString& name) override;
  settings::NarrowString& GetPathSeparator() override;
  settings::NarrowString& GetAssetCacheFolder() override;
  settings::NarrowString& GetPlayerDataFolder() override;
  settings::NarrowString& GetPrivateDataFolder() override;
  std::unique_ptr<StringVector> ListDirectory(const settings::NarrowString& path) override;

  // The full path of the system-wide configuration file qvs.cfg, below the
  // Windows system folder; empty when it could not be worked out (the next
  // call tries again).
  const settings::NarrowString& GetConfigFilePath();
};

}  // namespace ZAZE
