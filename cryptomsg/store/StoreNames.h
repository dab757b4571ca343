#pragma once

#include <optional>
#include <string>

namespace ordalis {

inline constexpr const char* kAddressBookStore = "AddressBook"; // other people's certificates
inline constexpr const char* kCaStore = "CA";                   // intermediate certificates and CRLs
inline constexpr const char* kRootStore = "ROOT";               // the roots the user trusts

// The store a name given by the user means, spelt as its folder is named
// (any case accepted); nothing for a name that is no store.
std::optional<std::string> KnownStoreName(const std::string& name);

} // namespace ordalis
