#include "picture/picsink.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <new>
#include <string>

#include "framework/paths.h"
#include "picture/textexception.h"

void CPicSink::WriteBytes(const void* data, int n) {
  if (n < 0 || n > m_MaxBytes - m_BytesWritten)
    throw CTextException(PL_ERR_END_OF_FILE, "Buffer overflow while encoding.\n");
  if (n > 0) std::memcpy(m_pStartData + m_BytesWritten, data, static_cast<size_t>(n));
  m_BytesWritten += n;
}

void CPicSink::WriteLEWord(uint16_t v) {
  uint8_t b[2] = {uint8_t(v), uint8_t(v >> 8)};
  WriteBytes(b, 2);
}

void CPicSink::WriteLELong(uint32_t v) {
  uint8_t b[4] = {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
  WriteBytes(b, 4);
}

namespace {

// Removes a half-written output file; never a device or anything else that
// was not made as a plain file.
void removePartial(const std::string& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) std::remove(path.c_str());
}

}  // namespace

CPicFileSink::~CPicFileSink() {
  if (m_pFile) {
    // Destroying an open sink writes what it holds; a failure can't be
    // reported from here, so the file that would look saved is removed.
    if (!flush()) removePartial(m_Name);
  }
  delete[] m_pStartData;
}

int CPicFileSink::Open(const char* path, int size) {
  std::string native = brv::PosixPath(path ? path : "");
  FILE* f = std::fopen(native.c_str(), "wb");
  if (!f) return -1;
  uint8_t* buffer = new (std::nothrow) uint8_t[size > 0 ? size : 1];
  if (!buffer) {
    std::fclose(f);
    removePartial(native);
    throw CTextException(PL_ERR_NO_MEMORY, "Out of memory.");
  }
  delete[] m_pStartData;
  m_pFile = f;
  m_pStartData = buffer;
  m_MaxBytes = size > 0 ? size : 0;
  m_BytesWritten = 0;
  m_Name = native;
  return 0;
}

bool CPicFileSink::flush() {
  size_t n = static_cast<size_t>(m_BytesWritten);
  bool ok = n == 0 || std::fwrite(m_pStartData, 1, n, m_pFile) == n;
  if (std::fflush(m_pFile) != 0) ok = false;
  if (std::fclose(m_pFile) != 0) ok = false;
  m_pFile = nullptr;
  return ok;
}

void CPicFileSink::Close() {
  if (!m_pFile) return;
  bool ok = flush();
  delete[] m_pStartData;
  m_pStartData = nullptr;
  m_MaxBytes = 0;
  if (!ok) {
    removePartial(m_Name);
    std::string text = "Writing " + m_Name + " failed";
    throw CTextException(PL_ERR_OPEN_OUTPUT, text.c_str());
  }
}
