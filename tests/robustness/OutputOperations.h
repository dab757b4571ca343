#pragma once

// The four operations that write a file, run the same way by the robustness tests.

#include "tests/support/FakeDesktop.h"

#include <optional>
#include <string>

namespace ordalis::test {

enum class Output { Signature, Archive, Encrypted, Decrypted };

const char* NameOf(Output output);

// The output's name for the operation's input name (for decryption, the envelope's).
std::string OutputNameFor(Output output, const std::string& input);

// Runs the operation that writes output from input, choosing the certificate at
// certificateIndex where it asks for one (an attached signature when attached);
// returns the error raised for the user, if any.
std::optional<std::string> RunOperationFor(Output output, const std::string& input, int certificateIndex,
                                           FakeDesktop& desktop, bool attached = false);

} // namespace ordalis::test
