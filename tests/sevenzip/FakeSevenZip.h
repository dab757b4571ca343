#pragma once

// What the test stand-in for the 7-Zip library does, set by the tests through
// its export FakeConfigure; FakeRecord gives the log of what it was asked and told.

#include <cstdint>

struct FakeConfig {
    std::int32_t createObjectResult = 0;
    bool answerSetProperties = true;
    std::int32_t setPropertiesResult = 0;
    std::int32_t updateResult = 0;
};

extern "C" {
using FakeConfigureFunc = void (*)(const FakeConfig* config);
using FakeRecordFunc = const char* (*)();
}
