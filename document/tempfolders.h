#pragma once
// The program's temporary folder fmtmp under the system's temporary path,
// with its subfolder utmp. In a temporary path shared by users a fmtmp that
// is a symbolic link or belongs to someone else is left alone: the program
// then works in "fmtmp-<uid>" beside it. Folders it makes are private
// (mode 0700).

#include <string>

namespace files {

// The folder in Windows form, ending in "\" ("/tmp/fmtmp\"); chosen on the
// first call of the run.
std::string TempFolder();
// The same in POSIX form, without the trailing separator.
std::string TempFolderPosix();
// A file called name in that folder (POSIX form); the folder is made when a
// clean-up took it away. Every temporary file of the program is one of these.
std::string TempFilePath(const std::string& name);

// Deletes every file (not folders) in the temporary folder.
void EmptyTempFolder();
// Makes the temporary folder and its utmp (an existing one is no error)
// and deletes every file in utmp.
void PrepareTempFolders();

// Forgets the folder chosen (tests).
void ResetTempFolder();

}  // namespace files
