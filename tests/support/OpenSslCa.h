#pragma once

#include <string>

namespace ordalis::test {

// A key and its certificate as PEM files.
struct PemPair {
    std::string certificate;
    std::string key;
};

// A certification authority made with the openssl command line and the GOST
// engine (GOST R 34.10-2012 256-bit key, self-signed), issuing certificates
// for new keys. All files live in the given folder.
class OpenSslCa {
public:
    OpenSslCa(const std::string& folder, const std::string& subject = "/CN=Test CA/O=Ordalis Test");

    const PemPair& self() const { return m_self; }

    // A new key of algorithm ("gost2001", "gost2012_256", "gost2012_512") and a
    // certificate for it issued by this authority; subject as "/CN=.../O=...",
    // serial in hex. Files are named after name. Throws when openssl fails.
    PemPair issue(const std::string& name, const std::string& algorithm, const std::string& subject,
                  const std::string& serialHex, int days = 30) const;

private:
    std::string m_folder;
    PemPair m_self;
};

// Makes a new GOST key with openssl genpkey into folder/name; returns the path.
std::string MakeOpenSslKey(const std::string& folder, const std::string& name, const std::string& algorithm);

} // namespace ordalis::test
