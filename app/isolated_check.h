#pragma once
// Heads read from files put every element into the pool slot the file
// names, so a file's head cannot be read while the open project's head
// holds those slots. Before the document gives its head up for a file it
// checks the file here: the reading runs in a copy of the process with the
// model emptied, and only its verdict comes back. The open project is not
// touched whatever the file holds.

#include <functional>
#include <string>

namespace files {

// read: parses the file and gives a reason when it is refused. True when
// it read well, with whatever read left in the reason (a note for the
// caller); false with the reason (or why the check could not run).
bool CheckInIsolation(const std::function<bool(std::string& reason)>& read, std::string& reason);

}  // namespace files
