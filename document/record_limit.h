#pragma once
// One limit for what the program takes in, writes and reads back: a head
// with more elements of a kind than its files' readers take (maxStoredCount)
// is neither imported nor written.

#include <string>

#include "model/model_io.h"

class head3;

namespace files {

// what + ", more than the 1000000 a head may hold".
std::string RecordLimitReason(const std::string& what);
// False with "the head has 1000001 vertices, more than the ..." when one of
// the head's element lists is longer than the readers take.
bool WithinRecordLimit(const head3& head, std::string& reason);

}  // namespace files
