#pragma once

#include <string>

namespace ordalis::test {

// An authority beside an OpenSslChain that calls itself by the chain
// intermediate's name, "CN=Test Intermediate, O=Ordalis Test", with a key of its
// own: certified by the chain's root it is the intermediate after a re-keying;
// certified by itself it is a forger. Made with the openssl command line in
// chainFolder/name.
class SameNameAuthority {
public:
    enum class CertifiedBy { Itself, ChainRoot };
    SameNameAuthority(const std::string& chainFolder, const std::string& name, CertifiedBy certifier);

    const std::string& certificate() const { return m_certificate; }

    // A CRL (PEM) this authority signs; returns the file, in chainFolder.
    std::string crl(const std::string& file) const;

private:
    std::string m_folder, m_certificate;
};

// A delta CRL (PEM) over base CRL number 1, signed by the authority whose folder
// (as OpenSslChain and SameNameAuthority lay them out) is given; returns the file, beside that folder.
std::string DeltaCrl(const std::string& authorityFolder, const std::string& file);

} // namespace ordalis::test
