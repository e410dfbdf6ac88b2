#pragma once

#include <cstdint>
#include <memory>

#include "filesystem/string_vector.h"
#include "settings/narrow_string.h"

namespace ZAZE {

// The file-system service: deleting and purging folder trees, sizes, folder
// creation, the player's per-user folders and sorted listings. Paths and
// names are UTF-8.
class FileManager {
 public:
  virtual ~FileManager() = default;

  // The file, or the folder with all it holds, deleted for good and without
  // any dialog. Something that does not exist counts as deleted.
  virtual bool DeletePath(const settings::NarrowString& path) = 0;

  // Deletes every file below path whose age in seconds lies strictly between
  // the two bounds, removes the folders left empty, and path itself when
  // everything in it went. False when the tree cannot be walked or the
  // emptied path cannot be removed; files that have to stay do not make it
  // false.
  virtual bool PurgeDirectory(const settings::NarrowString& path, std::uint64_t minAgeSeconds,
                              std::uint64_t maxAgeSeconds) = 0;

  // Bytes of a file, or of all files in a folder tree; 0 when path is missing.
  virtual std::uint64_t GetPathSize(const settings::NarrowString& path) = 0;

  // Creates every missing folder of parent, then parent\name; true when that
  // folder exists afterwards.
  virtual bool CreateSubdirectory(const settings::NarrowString& parent, const settings::NarrowString& name) = 0;

  // The strings below live until the process ends.
  virtual settings::NarrowString& GetPathSeparator() = 0;
  virtual settings::NarrowString& GetAssetCacheFolder() = 0;
  virtual settings::NarrowString& GetPlayerDataFolder() = 0;
  virtual settings::NarrowString& GetPrivateDataFolder() = 0;

  // A new list, owned by the caller, of the names directly in the folder in
  // listing order; empty when the folder cannot be listed; null when path
  // cannot be converted.
  virtual std::unique_ptr<StringVector> ListDirectory(const settings::NarrowString& path) = 0;

 protected:
  FileManager() = default;
  FileManager(const FileManager&) = default;
  FileManager& operator=(const FileManager&) = default;
};

}  // namespace ZAZE
