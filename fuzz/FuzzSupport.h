// Helpers shared by the harnesses.
#pragma once

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace fuzzsupport {

// A file that lives in memory only, for readers that take a path: it has a
// name under /proc/self/fd while the process runs and leaves nothing behind,
// however the process ends.
class MemoryFile {
 public:
  MemoryFile() : m_Fd(::memfd_create("orv-fuzz", MFD_CLOEXEC)) {
    if (m_Fd >= 0) m_Path = "/proc/self/fd/" + std::to_string(m_Fd);
  }
  ~MemoryFile() {
    if (m_Fd >= 0) ::close(m_Fd);
  }
  MemoryFile(const MemoryFile&) = delete;
  MemoryFile& operator=(const MemoryFile&) = delete;

  // Makes the file hold exactly these bytes.
  bool Write(const uint8_t* data, size_t size) {
    if (m_Fd < 0 || ::ftruncate(m_Fd, 0) != 0) return false;
    for (size_t at = 0; at < size;) {
      const ssize_t n = ::pwrite(m_Fd, data + at, size - at, static_cast<off_t>(at));
      if (n <= 0) return false;
      at += static_cast<size_t>(n);
    }
    return true;
  }
  const std::string& Path() const { return m_Path; }

 private:
  int m_Fd;
  std::string m_Path;
};

// Harnesses of readers with a header call this for every input whose header
// the reader refuses. With ORV_FUZZ_REPORT_HEADER set, a non-empty input rejected
// there is named on the error stream, so a run over the seeds shows the
// seeds that never reach the parser behind the header.
inline void HeaderRejected(size_t size) {
  static const bool report = std::getenv("ORV_FUZZ_REPORT_HEADER") != nullptr;
  if (report && size > 0) std::fprintf(stderr, "orv-fuzz: input of %zu bytes rejected at the header\n", size);
}

}  // namespace fuzzsupport
