// Output files written whole from memory, every step checked; a failed write leaves behind no
// partial file that this run created.
#include "output-file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>

#include "arguments.h"

namespace solvo_cli {
namespace {

InputError WriteError(const std::string& path, int error) {
  return InputError("cannot write '" + path +
                    "': " + (error == EISDIR ? "it is a directory" : std::strerror(error)));
}

}  // namespace

std::string LowerExtension(const std::string& path) {
  const size_t dot = path.find_last_of('.');
  const size_t slash = path.find_last_of('/');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
  std::string extension = path.substr(dot);
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return extension;
}

int WriteAll(int fd, std::string_view bytes) {
  size_t written = 0;
  while (written < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + written, bytes.size() - written);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return errno;
    if (n == 0) return EIO;  // no progress and no reason: the device takes nothing more
    written += static_cast<size_t>(n);
  }
  return 0;
}

void CheckNotDirectory(const std::string& path) {
  struct stat info;
  if (::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) throw WriteError(path, EISDIR);
}

void WriteOutputFile(const std::string& path, std::string_view bytes) {
  // Created exclusively first, so that only a file this call made is ever removed again.
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  bool created = fd >= 0;
  if (fd < 0 && errno == EEXIST) {
    fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  }
  if (fd < 0) throw WriteError(path, errno);
  struct stat opened;
  created = created && ::fstat(fd, &opened) == 0 && S_ISREG(opened.st_mode);
  int error = WriteAll(fd, bytes);
  // Some file systems report a failed write only when the file is closed.
  if (::close(fd) != 0 && error == 0) error = errno;
  if (error == 0) return;
  struct stat now;
  if (created && ::lstat(path.c_str(), &now) == 0 && now.st_dev == opened.st_dev &&
      now.st_ino == opened.st_ino) {
    ::unlink(path.c_str());
  }
  throw WriteError(path, error);
}

}  // namespace solvo_cli
