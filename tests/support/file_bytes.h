#pragma once
// The whole of a file as bytes; empty when it cannot be read.

#include <fstream>
#include <sstream>
#include <string>

namespace testsupport {

inline std::string fileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

}  // namespace testsupport
