#pragma once

// The TC26 CMS examples in tests/data/tc26 (see the README there).

#include <string>

namespace ordalis::test {

// The path of one of the example files.
std::string Tc26File(const std::string& name);

// The DER inside one of the PEM files, byte for byte.
std::string Tc26Der(const std::string& name);

// What both key-agreement examples decrypt to, in Windows-1251.
std::string Tc26Plaintext();

// The 256-bit key-agreement example (DER) with its two parties swapped: it is
// then addressed to the 256-bit sender, whose key is published, and names the
// 256-bit recipient as its originator by issuer and serial number. The key
// agreement gives both parties the same key, so it opens as the original does.
std::string Tc26SwappedAgreement();

// The same envelope naming its originator by subject key identifier instead,
// encoded by OpenSSL's ASN.1 generator from the swapped example's parts.
std::string Tc26SwappedAgreementByKeyId();

// The swapped example in PEM armour ("-----BEGIN CMS-----").
std::string Tc26SwappedAgreementPem();

// The 256-bit sender's certificate and published key into MY, so that the
// swapped example can be opened; the GOST engine must be loaded first.
void ImportTc26SenderKeyPair();

} // namespace ordalis::test
