#pragma once

// What can go wrong with a vendor CSP key container folder. The store reports
// the kind and the file or name concerned; the front-end words it in the
// user's language (what() holds the Russian text for any other reader).

#include "common/Error.h"

#include <string>

namespace ordalis {

class KeyContainerError : public Error {
public:
    enum class Kind {
        MissingFile,        // detail: the file's name
        DamagedFile,        // detail: the file's name
        IntegrityFailed,    // detail: the file's name
        WrongPin,           // detail: the container's name
        PinNotGiven,        // detail: the container's name
        KeyMismatch,        // the key is not the certificate's
        NoCertificate,      // neither the container, --cert nor the store has it
        Unsupported,        // detail: what is not supported
        NotAContainer,      // detail: the folder
        UnknownContainer,   // detail: the name asked for
        ContainerNotChosen, // several containers and nobody to ask
        TargetExists,       // detail: the folder export would write
    };

    KeyContainerError(Kind kind, std::string detail);

    Kind kind() const { return m_kind; }
    const std::string& detail() const { return m_detail; }

private:
    Kind m_kind;
    std::string m_detail;
};

} // namespace ordalis
