#pragma once

#include <string>

namespace kestrel::test {

// A value from the harness's servers.env. An unset variable records a test failure (the
// harness is not running, which must not pass as a skipped test) and yields "".
std::string harnessEnv(const char* name);

// harnessEnv() as a port number; 0 (with a recorded failure) when unset or not a port.
int harnessPort(const char* name);

}  // namespace kestrel::test
