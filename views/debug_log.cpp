#include "views/debug_log.h"

#include <sys/stat.h>

#include <cctype>
#include <cstdio>

#include "document/tempfolders.h"
#include "framework/cstring.h"
#include "framework/system.h"
#include "picture/picencoder.h"
#include "picture/textexception.h"
#include "picture/winbmp.h"

int m_Logging = 0;

namespace {

// The temporary folder in POSIX form, made when missing.
std::string folder() {
    std::string dir = files::TempFolderPosix();
    ::mkdir(dir.c_str(), 0700);
    return dir;
}

void logLine(const char* line) {
    if (FILE* f = std::fopen((folder() + "/" + views::kDebugLogName).c_str(), "a")) {
        std::fprintf(f, "%s\n", line);
        std::fclose(f);
    }
    AfxMessageBox(line, MB_OK);
}

}  // namespace

namespace views {

std::string SafeBmpName(const char* name) {
    std::string out;
    for (const char* p = name ? name : ""; *p; ++p) {
        const unsigned char c = static_cast<unsigned char>(*p);
        // A name never leaves the folder: no separators, no "..".
        if (c == '/' || c == '\\' || c == ':' || std::iscntrl(c) || (c == '.' && p[1] == '.')) {
            out += '_';
            if (c == '.') ++p;
        } else {
            out += static_cast<char>(c);
        }
    }
    if (out.empty() || out[0] == '.') out.insert(0, "_");
    std::string tail = out.size() >= 4 ? out.substr(out.size() - 4) : "";
    for (char& c : tail) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (tail != ".bmp") out += ".bmp";
    return out;
}

}  // namespace views

void Log() { m_Logging = 1; }

void LogDB(const char* text) {
    if (!m_Logging) return;
    logLine(text ? text : "");
}

void LogDB(const char* text, int value) {
    if (!m_Logging) return;
    CString line;
    line.Format("%s %d", text ? text : "", value);
    logLine(line);
}

void LogDB(const char* text, double value) {
    if (!m_Logging) return;
    CString line;
    line.Format("%s %g", text ? text : "", value);
    logLine(line);
}

void LogBMP(CWinBmp* bmp, const char* name) {
    if (!m_Logging) return;
    CString line;
    line.Format("BMP %s", name ? name : "");
    logLine(line);
    if (!bmp || bmp->GetWidth() <= 0 || bmp->GetHeight() <= 0) return;
    const std::string path = folder() + "/" + views::SafeBmpName(name);
    try {
        CBmpEncoder().MakeFileFromBmp(path.c_str(), bmp);
    } catch (const CTextException&) {
        // A debugging aid never stops the program.
    }
}

void(TEST)() {}
