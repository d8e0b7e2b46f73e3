#pragma once
// The one exception type of the picture library: a code and a message.
#include <string>

#include "picture/plobject.h"

// Error codes carried by CTextException.
enum PLErrorCode {
  PL_ERR_OPEN_OUTPUT = -1,       // output file can't be opened or written
  PL_ERR_WRONG_SIGNATURE = 1,    // not a file of the decoder's format
  PL_ERR_FORMAT = 2,             // bad value in a header or the data
  PL_ERR_PATH_NOT_FOUND = 3,
  PL_ERR_FILE_NOT_FOUND = 4,     // any other failure to open the file
  PL_ERR_ACCESS_DENIED = 5,      // access denied, or the file can't be mapped
  PL_ERR_NOT_SUPPORTED = 6,      // format recognised but not supported
  PL_ERR_FEATURE_UNSUPPORTED = 7,  // a feature of the format the decoder lacks
  PL_ERR_UNKNOWN_FILE_TYPE = 8,
  PL_ERR_NO_MEMORY = 10,
  PL_ERR_END_OF_FILE = 11,       // data ran out, or output buffer full
};

class CTextException : public CPLObject {
 public:
  CTextException(int code, const char* text);
  CTextException(const CTextException& other) = default;
  CTextException& operator=(const CTextException& other) = default;
  ~CTextException() override = default;

  virtual int GetErrorCode() const { return m_Code; }
  virtual const char* GetErrorText() const { return m_Text.c_str(); }

 private:
  int m_Code;
  std::string m_Text;
};
