#include "tessary/platform/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <random>
#include <utility>

namespace tessary::platform {

namespace {

std::string systemReason(int error) {
  return std::strerror(error);
}

// Closes a descriptor and removes the temporary file unless released.
class TemporaryFile {
 public:
  TemporaryFile(int descriptor, std::filesystem::path path)
      : descriptor_(descriptor), path_(std::move(path)) {}
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;
  ~TemporaryFile() {
    if (descriptor_ >= 0) ::close(descriptor_);
    if (!released_) ::unlink(path_.c_str());
  }

  int descriptor() const { return descriptor_; }
  const std::filesystem::path& path() const { return path_; }
  int close() {
    const int result = ::close(descriptor_);
    descriptor_ = -1;
    return result;
  }
  void release() { released_ = true; }

 private:
  int descriptor_;
  std::filesystem::path path_;
  bool released_ = false;
};

std::filesystem::path temporaryPathBeside(const std::filesystem::path& path) {
  std::random_device random;
  std::filesystem::path temporary = path;
  temporary += ".tmp-" + std::to_string(::getpid()) + "-" + std::to_string(random());
  return temporary;
}

// Makes the rename itself durable. A folder that cannot be opened or synced (some file systems
// refuse) leaves the new file in place all the same.
void syncFolderOf(const std::filesystem::path& path) {
  std::filesystem::path folder = path.parent_path();
  if (folder.empty()) folder = ".";
  const int descriptor = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (descriptor < 0) return;
  ::fsync(descriptor);
  ::close(descriptor);
}

}  // namespace

FileError::FileError(std::filesystem::path path, std::string reason)
    : std::runtime_error(path.string() + ": " + reason),
      path_(std::move(path)),
      reason_(std::move(reason)) {}

std::string readWholeFile(const std::filesystem::path& path) {
  const int descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (descriptor < 0) throw FileError(path, systemReason(errno));
  struct stat status {};
  if (::fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode)) {
    const int error = S_ISDIR(status.st_mode) ? EISDIR : errno;
    ::close(descriptor);
    throw FileError(path, error == 0 ? "not a regular file" : systemReason(error));
  }
  // One byte more than the file holds, so that reading up to the end needs no second buffer.
  std::string contents;
  contents.resize(static_cast<std::size_t>(status.st_size) + 1);
  std::size_t filled = 0;
  for (;;) {
    if (filled == contents.size()) contents.resize(contents.size() * 2);
    const ssize_t count = ::read(descriptor, contents.data() + filled, contents.size() - filled);
    if (count < 0) {
      if (errno == EINTR) continue;
      const int error = errno;
      ::close(descriptor);
      throw FileError(path, systemReason(error));
    }
    if (count == 0) break;
    filled += static_cast<std::size_t>(count);
  }
  ::close(descriptor);
  contents.resize(filled);
  return contents;
}

std::filesystem::path linkTarget(std::filesystem::path path) {
  constexpr int kMostLinksFollowed = 40;
  std::error_code error;
  for (int followed = 0; followed < kMostLinksFollowed && std::filesystem::is_symlink(path, error);
       ++followed) {
    const std::filesystem::path target = std::filesystem::read_symlink(path, error);
    if (error) break;
    path = target.is_absolute() ? target : path.parent_path() / target;
  }
  return path;
}

void writeFileAtomically(const std::filesystem::path& requestedPath, std::string_view contents) {
  // A link is kept, also one whose file does not exist yet: the file it points at is written.
  const std::filesystem::path path = linkTarget(requestedPath);
  struct stat existing {};
  if (::stat(path.c_str(), &existing) == 0 && !S_ISREG(existing.st_mode)) {
    throw FileError(path, S_ISDIR(existing.st_mode) ? "is a folder; name a file in it"
                                                    : "not a regular file; refusing to replace it");
  }
  // The copy is created with the mode of the file it replaces (narrowed by the umask, widened
  // back below), so a private file's contents are never readable by others on the way.
  const bool replacing = S_ISREG(existing.st_mode);
  const mode_t mode = replacing ? existing.st_mode & 07777 : 0644;
  const std::filesystem::path temporaryPath = temporaryPathBeside(path);
  const int descriptor =
      ::open(temporaryPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
  if (descriptor < 0) throw FileError(path, systemReason(errno));
  TemporaryFile temporary(descriptor, temporaryPath);

  std::size_t written = 0;
  while (written < contents.size()) {
    const ssize_t count =
        ::write(temporary.descriptor(), contents.data() + written, contents.size() - written);
    if (count < 0) {
      if (errno == EINTR) continue;
      throw FileError(path, systemReason(errno));
    }
    written += static_cast<std::size_t>(count);
  }
  if (::fsync(temporary.descriptor()) != 0) throw FileError(path, systemReason(errno));
  if (replacing) ::fchmod(temporary.descriptor(), mode);
  if (temporary.close() != 0) throw FileError(path, systemReason(errno));
  if (::rename(temporary.path().c_str(), path.c_str()) != 0) {
    throw FileError(path, systemReason(errno));
  }
  temporary.release();
  syncFolderOf(path);
}

}  // namespace tessary::platform
