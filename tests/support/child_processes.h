#pragma once
// Every child process the test executable makes, counted: fork, vfork,
// system and posix_spawn(p) are wrapped here (a test that uses the count
// links this in, and the wrappers take the place of the C library's for the
// whole executable).

namespace testsupport {

int ChildProcessesMade();

}  // namespace testsupport
