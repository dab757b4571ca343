#pragma once

#include "cryptomsg/cryptoapi/Ossl.h"

#include <optional>
#include <string>
#include <vector>

namespace ordalis {

inline constexpr const char* kAddressBookStore = "AddressBook"; // other people's certificates
inline constexpr const char* kCaStore = "CA";                   // intermediate certificates and CRLs
inline constexpr const char* kRootStore = "ROOT";               // the roots the user trusts

// The store a name given by the user means, spelt as its folder is named
// (any case accepted); nothing for a name that is no store.
std::optional<std::string> KnownStoreName(const std::string& name);

// The certificates of MY, AddressBook, CA and ROOT, in that order: where a
// signer's certificate is looked for when the signature does not carry it.
std::vector<X509Ptr> CertificatesOfEveryStore();

} // namespace ordalis
