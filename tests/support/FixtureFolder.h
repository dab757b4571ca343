#pragma once

#include <functional>
#include <string>

namespace ordalis::test {

// A folder of fixture files (keys, certificates) that are costly to make,
// made once and shared by every test process: under $ORDALIS_TEST_FIXTURES
// when it is set (the build sets it), else under the temporary folder (one
// folder per user). The
// name carries the day, so certificates made with short validity never go
// stale. make fills a fresh folder; the first process to finish publishes
// its folder, later ones use it. Tests must only read from it.
std::string FixtureFolder(const std::string& name, const std::function<void(const std::string& folder)>& make);

} // namespace ordalis::test
