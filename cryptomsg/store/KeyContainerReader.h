#pragma once

// Reading a vendor CSP key container folder and opening its key with the PIN.

#include "cryptomsg/cryptoapi/Ossl.h"
#include "cryptomsg/store/KeyContainerCrypto.h"
#include "cryptomsg/store/KeyContainerFormat.h"

#include <optional>
#include <string>
#include <vector>

namespace ordalis {

// The files of one container as they were read; a file that is not there is nothing.
struct KeyContainerFiles {
    std::optional<SecureBytes> header, name, masks, primary, masks2, primary2;
};

// One copy of the stored key: its masks and its encrypted, masked value.
struct KeyContainerCopy {
    const char* masksFile;
    const char* primaryFile;
    KeyContainerMasks masks;
    SecureBytes primary;
};

// A container decoded and checked as far as it can be without the PIN.
struct KeyContainer {
    std::string name; // name.key's, or empty
    KeyContainerHeader header;
    KeyContainerScheme scheme = KeyContainerScheme::Gost2012;
    int keyNid = 0;
    std::vector<KeyContainerCopy> copies; // the key, then its reserve copy when there is one
    X509Ptr certificate;                  // header.key's, or null
};

// Whether a folder is a key container: it holds header.key and a primary key file.
bool IsKeyContainerFolder(const std::string& folder);
// The containers directly inside a folder (a flash drive's root), in name order.
std::vector<std::string> FindKeyContainers(const std::string& folder);

// Reads the container's files; throws KeyContainerError for a file that cannot be read.
KeyContainerFiles ReadKeyContainerFiles(const std::string& folder);
// Decodes and checks the files; throws KeyContainerError naming what is wrong.
KeyContainer ParseKeyContainer(const KeyContainerFiles& files);

// Opens the key with the PIN: Ok with the key, or WrongPassword. A key copy that
// does not open while the other does is damaged: throws KeyContainerError.
KeyOpen OpenKeyContainer(const KeyContainer& container, const std::string& pin, EvpPkeyPtr& key);

// The key algorithm (NID) a container names by a key or key-agreement OID; 0 for others.
int KeyNidOfContainerAlgorithm(const std::string& oid);

} // namespace ordalis
