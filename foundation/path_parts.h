#pragma once
// A file path taken apart at its last folder separator ("/" or "\", both
// occur in the paths the program stores) and the last "." of the file name.

#include <string>
#include <string_view>

namespace fnd {

struct PathParts {
    std::string folder;     // up to and with the last separator ("" without one)
    std::string base;       // the file name up to its last "."
    std::string extension;  // after that ".", as written ("" without one)

    // The path without its extension (and without the dot before it).
    std::string WithoutExtension() const { return folder + base; }
    // The extension in lower case, for comparing against known ones.
    std::string LowerExtension() const;
};

PathParts SplitPath(std::string_view path);

}  // namespace fnd
