#include "output.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <iterator>

#include "command_error.h"
#include "tessary/platform/atomic_file.h"

namespace tessary::tool {

namespace {

bool isSet(const char* variable) {
  const char* value = std::getenv(variable);
  return value != nullptr && value[0] != '\0';
}

bool forcesColor(const char* variable) {
  return isSet(variable) && std::strcmp(std::getenv(variable), "0") != 0;
}

void writeInto(const std::filesystem::path& path, std::string_view contents) {
  const int descriptor = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
  int error = descriptor < 0 ? errno : 0;
  for (std::size_t done = 0; error == 0 && done < contents.size();) {
    const ssize_t count = ::write(descriptor, contents.data() + done, contents.size() - done);
    if (count > 0) {
      done += static_cast<std::size_t>(count);
    } else if (count == 0 || errno != EINTR) {
      error = count < 0 ? errno : EIO;
    }
  }
  if (descriptor >= 0 && ::close(descriptor) != 0 && error == 0) error = errno;
  if (error != 0) throw CommandError(path.string() + ": cannot write: " + std::strerror(error));
}

}  // namespace

bool isStandardStream(const std::filesystem::path& path) {
  return path == "-";
}

bool isStreamOutput(const std::filesystem::path& path) {
  struct stat status {};
  return isStandardStream(path) || (::stat(path.c_str(), &status) == 0 &&
                                    (S_ISCHR(status.st_mode) || S_ISFIFO(status.st_mode)));
}

void writeOutput(const std::optional<std::filesystem::path>& path, std::string_view contents) {
  if (path && !isStandardStream(*path)) {
    if (isStreamOutput(*path)) return writeInto(*path, contents);
    try {
      platform::writeFileAtomically(*path, contents);
    } catch (const platform::FileError& error) {
      throw CommandError(error.path().string() + ": cannot write: " + error.reason());
    }
    return;
  }
  if (std::fwrite(contents.data(), 1, contents.size(), stdout) != contents.size() ||
      std::fflush(stdout) != 0) {
    throw CommandError("standard output: write failed");
  }
}

std::string readInput(const std::filesystem::path& path) {
  if (isStandardStream(path)) {
    std::string text((std::istreambuf_iterator<char>(std::cin)), std::istreambuf_iterator<char>());
    if (std::cin.bad()) throw CommandError("standard input: read failed");
    return text;
  }
  try {
    return platform::readWholeFile(path);
  } catch (const platform::FileError& error) {
    throw CommandError(error.path().string() + ": cannot read: " + error.reason());
  }
}

void refuseToOverwrite(const std::filesystem::path& output, const std::filesystem::path& inputPath,
                       const std::string& input) {
  if (isStandardStream(output) || isStandardStream(inputPath)) return;
  std::error_code unknown;
  if (std::filesystem::equivalent(output, inputPath, unknown)) {
    throw CommandError(output.string() + ": is " + input +
                       " this command reads; writing there would destroy it; nothing written");
  }
}

bool standardOutputWantsColor(ColorChoice choice) {
  if (choice != ColorChoice::automatic) return choice == ColorChoice::always;
  if (isSet("NO_COLOR")) return false;
  if (forcesColor("FORCE_COLOR") || forcesColor("CLICOLOR_FORCE")) return true;
  const char* term = std::getenv("TERM");
  if (term != nullptr && std::strcmp(term, "dumb") == 0) return false;
  return ::isatty(STDOUT_FILENO) == 1;
}

}  // namespace tessary::tool
