#pragma once
// The debug log: off unless Log switched it on. While on, each line goes to
// "debug.log" in the temporary folder and is shown in a message box; a
// picture is written there as a BMP file named after its name.

#include <string>

class CWinBmp;

// Off (0) at start; Log sets it.
extern int m_Logging;

void Log();
void LogDB(const char* text);
void LogDB(const char* text, int value);     // "%s %d"
void LogDB(const char* text, double value);  // "%s %g"
// Logs "BMP <name>" and writes the picture as a BMP file named after the
// name in the temporary folder.
void LogBMP(CWinBmp* bmp, const char* name);
// Does nothing. Parenthesised so that a function-like macro of that name
// (the test framework has one) leaves it alone.
void(TEST)();

namespace views {
// The log's file name in the temporary folder.
inline constexpr const char* kDebugLogName = "debug.log";
// The file name LogBMP writes for a name: a plain name of the folder
// (separators and ".." replaced, never hidden, never empty) ending in ".bmp".
std::string SafeBmpName(const char* name);
}  // namespace views
