#include "tests/integration/support/HarnessEnv.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace kestrel::test {

std::string harnessEnv(const char* name) {
    const char* value = std::getenv(name);
    if (!value || !*value) {
        ADD_FAILURE() << name << " is not set: start tests/integration/servers/start-all.sh "
                      << "and source its servers.env before running this test";
        return {};
    }
    return value;
}

int harnessPort(const char* name) {
    const std::string text = harnessEnv(name);
    if (text.empty()) return 0;
    char* end = nullptr;
    const long port = std::strtol(text.c_str(), &end, 10);
    if (*end != '\0' || port <= 0 || port > 65535) {
        ADD_FAILURE() << name << " is not a port: " << text;
        return 0;
    }
    return static_cast<int>(port);
}

}  // namespace kestrel::test
