#pragma once

// Bringing the key of a vendor CSP key container folder into MY, and writing a
// store key out as such a container.

#include "cryptomsg/store/CertificateDescription.h"
#include "cryptomsg/store/KeyContainerError.h"
#include "cryptomsg/store/PasswordAttempts.h"
#include "cryptomsg/store/StoreCertificateImport.h"

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace ordalis {

struct KeyContainerSummary {
    std::string folder;
    std::string name;                         // name.key's, else the folder's own name
    std::string certificateSubject;           // of the certificate in header.key; empty when none
    std::optional<KeyContainerError> problem; // why it cannot be read; nothing when it can
};

// The containers a folder holds: the folder itself when it is one, else those directly inside it.
std::vector<KeyContainerSummary> ListKeyContainers(const std::string& folder);

struct KeyContainerImportOptions {
    std::string certificateFile; // the key's certificate, for a container that has none (PEM or DER)
    std::string containerName;   // which container of several, by name or folder name
    // Picks one of several containers (its index); nothing when nobody can choose.
    std::function<std::optional<std::size_t>(const std::vector<KeyContainerSummary>&)> choose;
};

struct KeyContainerImport {
    std::string containerName;
    bool exchangeKey = false;
    std::string keyAlgorithm; // as the user is shown it
    std::string parameterSet; // its name and OID
    CertificateDescription certificate;
    long timeValidity = 0; // -1 not yet valid, 0 valid, 1 expired
    std::vector<ImportedItem> items;
};

// Opens the container in folder (or the one chosen among those it holds), the
// empty PIN first and then the PINs pin gives, checks the key against its
// certificate (the file's, else the container's, else MY's with that public key) and
// puts both into MY, the key encrypted with the PIN. Throws KeyContainerError
// (or Error) with nothing stored.
KeyContainerImport ImportKeyContainer(const std::string& folder, const PasswordSource& pin,
                                      const KeyContainerImportOptions& options = {});

// Writes the key and certificate of MY that an ID names as a new container
// folder, protected by pin (none when empty). The store key's own password, if
// it has one, is asked through the ScopedPasswordPrompt in force. Returns the
// container's name.
std::string ExportKeyContainer(const std::string& id, const std::string& folder, const std::string& pin);

} // namespace ordalis
