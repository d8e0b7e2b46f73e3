#include "foundation/path_parts.h"

#include <cctype>

namespace fnd {

PathParts SplitPath(std::string_view path) {
    PathParts parts;
    const std::size_t slash = path.find_last_of("\\/");
    const std::size_t nameStart = slash == std::string_view::npos ? 0 : slash + 1;
    parts.folder = std::string(path.substr(0, nameStart));
    const std::string_view name = path.substr(nameStart);
    // A dot in a folder's name is no extension.
    const std::size_t dot = name.find_last_of('.');
    if (dot == std::string_view::npos) {
        parts.base = std::string(name);
    } else {
        parts.base = std::string(name.substr(0, dot));
        parts.extension = std::string(name.substr(dot + 1));
    }
    return parts;
}

std::string PathParts::LowerExtension() const {
    std::string e = extension;
    for (char& c : e) c = char(std::tolower(static_cast<unsigned char>(c)));
    return e;
}

}  // namespace fnd
