#pragma once

#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>

namespace tessary::platform {

// A file that could not be read or written: the path and the system's reason.
class FileError : public std::runtime_error {
 public:
  FileError(std::filesystem::path path, std::string reason);

  const std::filesystem::path& path() const { return path_; }
  const std::string& reason() const { return reason_; }

 private:
  std::filesystem::path path_;
  std::string reason_;
};

// The whole contents of a file. Throws FileError.
std::string readWholeFile(const std::filesystem::path& path);

// The file `path` names: the target of a link, followed link by link (the last need not exist
// yet); `path` itself when it is no link.
std::filesystem::path linkTarget(std::filesystem::path path);

// Replaces `path` (a link's target, the link kept) with `contents` as one step: writes a temporary
// file in the same folder, flushes it to disk and renames it over `path`. When anything fails the
// temporary file is removed, the old file stays as it was, and FileError is thrown. Only regular
// files (or a path that does not exist yet) are replaced.
void writeFileAtomically(const std::filesystem::path& path, std::string_view contents);

}  // namespace tessary::platform
