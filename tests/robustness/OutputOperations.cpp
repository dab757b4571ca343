#include "tests/robustness/OutputOperations.h"

#include "common/Error.h"
#include "cryptomsg/operations/Operations.h"
#include "tests/cryptomsg/operations/TestTabs.h"

namespace ordalis::test {

const char* NameOf(Output output)
{
    switch (output) {
    case Output::Signature: return "Signature";
    case Output::Archive: return "Archive";
    case Output::Encrypted: return "Encrypted";
    case Output::Decrypted: return "Decrypted";
    }
    return "?";
}

std::string OutputNameFor(Output output, const std::string& input)
{
    switch (output) {
    case Output::Signature: return input + ".sig";
    case Output::Archive: return input + ".sig.7z";
    case Output::Encrypted: return input + ".enc";
    case Output::Decrypted: return input.substr(0, input.size() - 4);
    }
    return {};
}

std::optional<std::string> RunOperationFor(Output output, const std::string& input, int certificateIndex,
                                           FakeDesktop& desktop, bool attached)
{
    try {
        switch (output) {
        case Output::Signature:
        case Output::Archive: {
            desktop.certificateAnswers.push_back(certificateIndex);
            TestSignTab tab;
            tab.file = input;
            tab.attached = attached;
            tab.pack = output == Output::Archive;
            SignOperation(tab, desktop);
            break;
        }
        case Output::Encrypted: {
            desktop.certificateAnswers.push_back(certificateIndex);
            TestEncryptTab tab;
            tab.file = input;
            EncryptOperation(tab, desktop);
            break;
        }
        case Output::Decrypted: {
            TestDecryptTab tab;
            tab.file = input;
            DecryptOperation(tab, desktop);
            break;
        }
        }
    } catch (const Error& e) {
        return std::string(e.what());
    }
    return std::nullopt;
}

} // namespace ordalis::test
