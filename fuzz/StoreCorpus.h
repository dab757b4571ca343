#pragma once

#include "cryptomsg/store/SelfSignedCertificate.h"

#include <filesystem>
#include <vector>

namespace ordalis::fuzz {

// Seeds of the targets that read store files and certificate IDs, made from the
// identities the seed maker wrote to keys/: the first is the certificate the
// import target's store holds, the last has a Cyrillic name.
void MakeStoreCorpus(const std::filesystem::path& corpus, const std::vector<const KeyAndCertificate*>& identities);

} // namespace ordalis::fuzz
