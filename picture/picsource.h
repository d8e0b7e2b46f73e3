#pragma once
// Data sources that decoders read from: a mapped file or a caller's block.
#include <cstdint>
#include <string>

#include "picture/plobject.h"

class CProgressNotification {
 public:
  virtual ~CProgressNotification() = default;
  virtual void ReportProgress(double part) = 0;
};

class CPicSource : public CPLObject {
 public:
  explicit CPicSource(CProgressNotification* notification = nullptr) : m_pNotification(notification) {}
  ~CPicSource() override = default;

  // Stores name and size and starts reading at `data`.
  virtual int Open(const char* name, int size, const uint8_t* data);
  // Reports progress 1.0 when a notifier is set and forgets the name.
  virtual void Close();
  // Pointer to the current position. Throws code 11 when fewer than n bytes
  // remain.
  virtual const uint8_t* PeekBytes(int n);
  // Pointer to the current position, then moves n bytes on. Throws code 11
  // "End of file reached while decoding.\n" when the data runs out (reading
  // exactly up to the end is fine).
  virtual const uint8_t* ReadBytes(int n);
  virtual const uint8_t* CurrentPointer() const { return m_pCur; }

  uint8_t ReadByte() { return *ReadBytes(1); }
  uint16_t ReadLEWord();
  uint32_t ReadLELong();
  uint16_t ReadBEWord();
  uint32_t ReadBELong();

  const char* GetName() const { return m_Name.c_str(); }
  int GetFileSize() const { return m_Size; }
  int GetBytesRead() const { return m_BytesRead; }
  int GetBytesLeft() const { return m_Size - m_BytesRead; }
  CProgressNotification* GetNotification() const { return m_pNotification; }

 private:
  std::string m_Name;
  int m_Size = 0;
  int m_BytesRead = 0;
  const uint8_t* m_pCur = nullptr;
  CProgressNotification* m_pNotification;
};

// Reads a whole file mapped into memory. The path may be Windows-style.
class CPicFileSource : public CPicSource {
 public:
  using CPicSource::CPicSource;
  ~CPicFileSource() override;
  // 0, or the error code: 3 path not found, 4 other failure to open (a
  // missing file among them), 5 access denied or the file can't be mapped.
  using CPicSource::Open;
  int Open(const char* path);
  void Close() override;

 private:
  void unmap();
  void* m_pMap = nullptr;
  size_t m_MapSize = 0;
};

// Reads the caller's block, which it neither copies nor frees.
class CPicMemSource : public CPicSource {
 public:
  using CPicSource::CPicSource;
  // Always succeeds; the name is "Mem".
  using CPicSource::Open;
  int Open(const uint8_t* data, int size);
};
