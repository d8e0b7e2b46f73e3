#include "picture/picsource.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <string>

#include "framework/paths.h"
#include "picture/textexception.h"

namespace {

[[noreturn]] void throwEndOfFile() { throw CTextException(PL_ERR_END_OF_FILE, "End of file reached while decoding.\n"); }

// Error code for a failed open(2): a missing folder is "path not found", a
// missing file in an existing folder is the general failure.
int openErrorCode(int err, const std::string& path) {
  switch (err) {
    case EACCES:
    case EPERM:
    case ETXTBSY:
      return PL_ERR_ACCESS_DENIED;
    case ENOTDIR:
      return PL_ERR_PATH_NOT_FOUND;
    case ENOENT: {
      std::string::size_type slash = path.find_last_of('/');
      if (slash == std::string::npos) return PL_ERR_FILE_NOT_FOUND;
      std::string folder = slash == 0 ? std::string("/") : path.substr(0, slash);
      struct stat st;
      if (::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return PL_ERR_PATH_NOT_FOUND;
      return PL_ERR_FILE_NOT_FOUND;
    }
    default:
      return PL_ERR_FILE_NOT_FOUND;
  }
}

const uint8_t kEmpty[1] = {0};

}  // namespace

int CPicSource::Open(const char* name, int size, const uint8_t* data) {
  m_Name = name ? name : "";
  m_Size = size < 0 ? 0 : size;
  m_BytesRead = 0;
  m_pCur = data ? data : kEmpty;
  return 0;
}

void CPicSource::Close() {
  if (m_pNotification) m_pNotification->ReportProgress(1.0);
  m_Name.clear();
}

const uint8_t* CPicSource::PeekBytes(int n) {
  if (n < 0 || n > m_Size - m_BytesRead) throwEndOfFile();
  return m_pCur;
}

const uint8_t* CPicSource::ReadBytes(int n) {
  if (n < 0 || n > m_Size - m_BytesRead) throwEndOfFile();
  int before = m_BytesRead;
  m_BytesRead += n;
  if (m_pNotification && before / 1024 != m_BytesRead / 1024 && m_Size > 0)
    m_pNotification->ReportProgress(static_cast<double>(m_BytesRead) / m_Size);
  const uint8_t* p = m_pCur;
  m_pCur += n;
  return p;
}

uint16_t CPicSource::ReadLEWord() {
  const uint8_t* p = ReadBytes(2);
  return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

uint32_t CPicSource::ReadLELong() {
  const uint8_t* p = ReadBytes(4);
  return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

uint16_t CPicSource::ReadBEWord() {
  const uint8_t* p = ReadBytes(2);
  return static_cast<uint16_t>((p[0] << 8) | p[1]);
}

uint32_t CPicSource::ReadBELong() {
  const uint8_t* p = ReadBytes(4);
  return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]);
}

CPicFileSource::~CPicFileSource() { unmap(); }

int CPicFileSource::Open(const char* path) {
  unmap();
  std::string native = brv::PosixPath(path ? path : "");
  int fd = ::open(native.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return openErrorCode(errno, native);
  struct stat st;
  // A folder or a file beyond the 32-bit size can't be mapped.
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > INT_MAX) {
    ::close(fd);
    return PL_ERR_ACCESS_DENIED;
  }
  size_t size = static_cast<size_t>(st.st_size);
  void* view = nullptr;
  if (size > 0) {
    view = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
    if (view == MAP_FAILED) {
      ::close(fd);
      return PL_ERR_ACCESS_DENIED;
    }
    ::madvise(view, size, MADV_SEQUENTIAL);
  }
  ::close(fd);
  m_pMap = view;
  m_MapSize = size;
  CPicSource::Open(native.c_str(), static_cast<int>(size), static_cast<const uint8_t*>(view));
  return 0;
}

void CPicFileSource::Close() {
  unmap();
  CPicSource::Close();
}

void CPicFileSource::unmap() {
  if (m_pMap) ::munmap(m_pMap, m_MapSize);
  m_pMap = nullptr;
  m_MapSize = 0;
}

int CPicMemSource::Open(const uint8_t* data, int size) { return CPicSource::Open("Mem", size, data); }
