#include "framework/file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <string>

#include "framework/paths.h"

CFile::~CFile() { Close(); }

BOOL CFile::Open(LPCSTR name, UINT flags) {
  Close();
  if (!name) return FALSE;
  int access = flags & 3;
  int oflags = O_CLOEXEC | (access == modeWrite ? O_WRONLY : access == modeReadWrite ? O_RDWR : O_RDONLY);
  if (flags & modeCreate) oflags |= O_CREAT | ((flags & modeNoTruncate) ? 0 : O_TRUNC);
  const std::string path = brv::PosixPath(name);
  int fd = ::open(path.c_str(), oflags, 0666);
  if (fd < 0) return FALSE;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
    ::close(fd);
    return FALSE;
  }
  // fdopen never truncates, so "wb" keeps what modeNoTruncate kept.
  m_file = ::fdopen(fd, access == modeWrite ? "wb" : access == modeReadWrite ? "r+b" : "rb");
  if (!m_file) {
    ::close(fd);
    return FALSE;
  }
  m_name = name;
  return TRUE;
}

void CFile::Close() {
  if (m_file) std::fclose(m_file);
  m_file = nullptr;
  m_name.Empty();
}

UINT CFile::Read(void* buffer, UINT count) {
  if (!m_file || !buffer || count == 0) return 0;
  return static_cast<UINT>(std::fread(buffer, 1, count, m_file));
}

BOOL CFile::Write(const void* buffer, UINT count) {
  if (!m_file) return FALSE;
  if (count == 0) return TRUE;
  if (!buffer) return FALSE;
  return std::fwrite(buffer, 1, count, m_file) == count;
}

void CFile::Flush() {
  if (m_file) std::fflush(m_file);
}

ULONGLONG CFile::Seek(LONGLONG offset, UINT from) {
  if (!m_file) return 0;
  int whence = from == current ? SEEK_CUR : from == end ? SEEK_END : SEEK_SET;
  ::fseeko(m_file, static_cast<off_t>(offset), whence);
  return GetPosition();
}

ULONGLONG CFile::GetPosition() const {
  if (!m_file) return 0;
  off_t p = ::ftello(m_file);
  return p < 0 ? 0 : static_cast<ULONGLONG>(p);
}

ULONGLONG CFile::GetLength() const {
  if (!m_file) return 0;
  std::fflush(m_file);  // pending writes count
  struct stat st {};
  if (::fstat(::fileno(m_file), &st) != 0) return 0;
  return static_cast<ULONGLONG>(st.st_size);
}

BOOL CFile::Remove(LPCSTR name) {
  return name && ::unlink(brv::PosixPath(name).c_str()) == 0;
}

BOOL CFile::Rename(LPCSTR oldName, LPCSTR newName) {
  return oldName && newName &&
         ::rename(brv::PosixPath(oldName).c_str(), brv::PosixPath(newName).c_str()) == 0;
}

BOOL CStdioFile::ReadString(CString& text) {
  text.Empty();
  if (!m_file) return FALSE;
  std::string line;
  int c = EOF;
  bool any = false;
  while ((c = std::getc(m_file)) != EOF) {
    any = true;
    if (c == '\n') break;
    line += static_cast<char>(c);
  }
  if (!any) return FALSE;
  if (c == '\n' && !line.empty() && line.back() == '\r') line.pop_back();
  text = CString(std::string_view(line));
  return TRUE;
}

LPSTR CStdioFile::ReadString(LPSTR buffer, UINT max) {
  if (!m_file || !buffer || max == 0) return nullptr;
  UINT n = 0;
  int c = 0;
  while (n + 1 < max && (c = std::getc(m_file)) != EOF) {
    if (c == '\r') {  // CR LF reads as LF, as in a Windows text file
      int next = std::getc(m_file);
      if (next == '\n')
        c = '\n';
      else if (next != EOF)
        std::ungetc(next, m_file);
    }
    buffer[n++] = static_cast<char>(c);
    if (c == '\n') break;
  }
  buffer[n] = '\0';
  return (n == 0 && c == EOF) ? nullptr : buffer;
}

BOOL CStdioFile::WriteString(LPCSTR text) {
  if (!text) return FALSE;
  return Write(text, static_cast<UINT>(std::strlen(text)));
}
