#pragma once
// CFile and CStdioFile over the C runtime. Names may be in Windows form.
// Nothing throws: a failed open leaves an object that reads 0 bytes and
// writes nothing.
#include <cstdint>
#include <cstdio>

#include "framework/cstring.h"
#include "framework/wintypes.h"

typedef uint64_t ULONGLONG;
typedef int64_t LONGLONG;

class CFile {
 public:
  enum OpenFlags : UINT {
    modeRead = 0x0,
    modeWrite = 0x1,
    modeReadWrite = 0x2,
    shareCompat = 0x0,
    shareExclusive = 0x10,
    shareDenyWrite = 0x20,
    shareDenyRead = 0x30,
    shareDenyNone = 0x40,
    modeNoInherit = 0x80,
    modeCreate = 0x1000,
    modeNoTruncate = 0x2000,
    typeText = 0x4000,
    typeBinary = 0x8000,
  };
  enum SeekPosition : UINT { begin = 0, current = 1, end = 2 };

  CFile() = default;
  CFile(LPCSTR name, UINT flags) { Open(name, flags); }
  CFile(const CFile&) = delete;
  CFile& operator=(const CFile&) = delete;
  virtual ~CFile();

  // modeCreate makes the file, emptying an existing one unless modeNoTruncate
  // is given; without it the file must exist. Folders cannot be opened.
  virtual BOOL Open(LPCSTR name, UINT flags);
  virtual void Close();
  void Abort() { Close(); }
  BOOL IsOpen() const { return m_file != nullptr; }

  // Reads up to count bytes; returns the number read (less at the end).
  virtual UINT Read(void* buffer, UINT count);
  DWORD ReadHuge(void* buffer, DWORD count) { return Read(buffer, count); }
  // Writes count bytes; false when not all were written.
  virtual BOOL Write(const void* buffer, UINT count);
  BOOL WriteHuge(const void* buffer, DWORD count) { return Write(buffer, count); }
  void Flush();

  // Returns the new position; a seek before the start leaves the position.
  ULONGLONG Seek(LONGLONG offset, UINT from);
  void SeekToBegin() { Seek(0, begin); }
  ULONGLONG SeekToEnd() { return Seek(0, end); }
  ULONGLONG GetPosition() const;
  // The length; the position stays where it was.
  ULONGLONG GetLength() const;

  // The name as given to Open.
  const CString& GetFilePath() const { return m_name; }

  static BOOL Remove(LPCSTR name);
  static BOOL Rename(LPCSTR oldName, LPCSTR newName);

 protected:
  std::FILE* m_file = nullptr;
  CString m_name;
};

class CStdioFile : public CFile {
 public:
  CStdioFile() = default;
  CStdioFile(LPCSTR name, UINT flags) { Open(name, flags); }

  // The next line without its line end ("\n", or "\r\n" as written on
  // Windows). False at the end of the file with nothing read (text empty).
  BOOL ReadString(CString& text);
  // At most max - 1 characters of the next line, with its '\n' (a '\r'
  // before it dropped); null at the end of the file.
  LPSTR ReadString(LPSTR buffer, UINT max);
  // Writes the text as it is (no line end added).
  BOOL WriteString(LPCSTR text);
};
