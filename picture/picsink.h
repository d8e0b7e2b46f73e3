#pragma once
// Output buffers for encoders.
#include <cstdint>
#include <cstdio>
#include <string>

#include "picture/plobject.h"

class CPicSink : public CPLObject {
 public:
  ~CPicSink() override = default;
  virtual void Close() {}
  // Copies n bytes; throws code 11 "Buffer overflow while encoding.\n" when
  // they don't fit.
  void WriteBytes(const void* data, int n);
  void WriteByte(uint8_t b) { WriteBytes(&b, 1); }
  void WriteLEWord(uint16_t v);
  void WriteLELong(uint32_t v);
  int GetBytesWritten() const { return m_BytesWritten; }
  int GetMaxBytes() const { return m_MaxBytes; }
  const char* GetName() const { return m_Name.c_str(); }

 protected:
  uint8_t* m_pStartData = nullptr;
  int m_BytesWritten = 0;
  std::string m_Name;
  int m_MaxBytes = 0;
};

// Collects the file in a buffer and writes it in one go on Close.
class CPicFileSink : public CPicSink {
 public:
  ~CPicFileSink() override;
  // Creates the file (the path may be Windows-style) and a buffer of `size`
  // bytes; -1 when the file can't be created, 0 otherwise.
  int Open(const char* path, int size);
  // Writes the buffer and closes the file. A short write (full disk) removes
  // the file and throws code -1 "Writing %s failed".
  void Close() override;

 private:
  // Writes and closes; false on a short write.
  bool flush();
  FILE* m_pFile = nullptr;
};
