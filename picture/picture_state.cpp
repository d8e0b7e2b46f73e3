#include "picture/picture_state.h"

#include <cstdarg>
#include <cstdio>

#include "framework/paths.h"
#include "picture/bmp_platform.h"
#include "picture/pictrace.h"
#include "picture/textexception.h"

PictureState& GetPictureState() {
  static PictureState state;
  return state;
}

void ResetPictureState() { GetPictureState() = PictureState(); }

IBmpPlatform* GetBmpPlatform() { return GetPictureState().platform; }
void SetBmpPlatform(IBmpPlatform* platform) { GetPictureState().platform = platform; }

void PLSetTraceLevel(int level) { GetPictureState().traceLevel = level; }
int PLGetTraceLevel() { return GetPictureState().traceLevel; }
void PLSetTraceFile(const char* path) { GetPictureState().traceFile = path ? path : ""; }
const std::string& PLGetTraceFile() { return GetPictureState().traceFile; }

namespace {

void traceLine(int level, const char* text) {
  const PictureState& st = GetPictureState();
  if (level > st.traceLevel || st.traceFile.empty()) return;
  // Opened and closed for every message so that a crash keeps what was traced.
  if (FILE* f = std::fopen(brv::PosixPath(st.traceFile).c_str(), "a")) {
    std::fputs(text, f);
    std::fclose(f);
  }
}

}  // namespace

std::string PLVFormat(const char* fmt, va_list args) {
  va_list copy;
  va_copy(copy, args);
  int n = std::vsnprintf(nullptr, 0, fmt, copy);
  va_end(copy);
  if (n < 0) return std::string();
  std::string out(static_cast<size_t>(n), '\0');
  std::vsnprintf(out.data(), out.size() + 1, fmt, args);
  return out;
}

void PLVTrace(int level, const char* fmt, va_list args) {
  const PictureState& st = GetPictureState();
  if (level > st.traceLevel || st.traceFile.empty()) return;
  traceLine(level, PLVFormat(fmt, args).c_str());
}

void PLTrace(int level, const char* fmt, ...) {
  va_list args;
  va_start(args, fmt);
  PLVTrace(level, fmt, args);
  va_end(args);
}

void PLRaiseMessage(int code, const std::string& message) {
  std::string line = "Decoder error: " + message + "\n";
  traceLine(0, line.c_str());
  throw CTextException(code, line.c_str());
}

void PLRaiseError(int code, const char* fmt, ...) {
  va_list args;
  va_start(args, fmt);
  std::string message = PLVFormat(fmt, args);
  va_end(args);
  PLRaiseMessage(code, message);
}
