#pragma once
// Tracing and the error raise of the decoders.
//
// A trace message of level n is appended to the trace file when n is at most
// the trace level and a trace file is set; nothing sets one by default.
#include <cstdarg>
#include <string>

void PLTrace(int level, const char* fmt, ...) __attribute__((format(printf, 2, 3)));

// Formats the message as "Decoder error: %s\n", traces it at level 0 and
// throws CTextException(code, that line).
[[noreturn]] void PLRaiseError(int code, const char* fmt, ...)
    __attribute__((format(printf, 2, 3)));

// The pieces of the two above, for the decoders' own raise and trace.
std::string PLVFormat(const char* fmt, va_list args);
[[noreturn]] void PLRaiseMessage(int code, const std::string& message);
void PLVTrace(int level, const char* fmt, va_list args);

void PLSetTraceLevel(int level);
int PLGetTraceLevel();
// Null or empty clears the trace file.
void PLSetTraceFile(const char* path);
const std::string& PLGetTraceFile();
