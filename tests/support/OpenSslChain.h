#pragma once

#include "tests/support/OpenSslCa.h"

#include <optional>
#include <string>

namespace ordalis::test {

// Validity of an issued certificate in seconds from now (negative: in the past).
struct ValidityWindow {
    long fromSeconds = -3600;
    long toSeconds = 30L * 24 * 3600;
};

struct ChainOptions {
    ValidityWindow intermediate;
    ValidityWindow signer;
};

// What only some chains need (set by name: ChainOptions is initialised by designation).
struct ChainExtras {
    std::optional<ValidityWindow> root; // default: from now, for 60 days
    std::string signerCrlUrl;           // a CRL distribution point the signer's certificate names, when not empty
};

// A root → intermediate → signer chain of GOST R 34.10-2012 256-bit keys made by
// the openssl command line (`openssl ca`, with a certificate database per
// authority so that it can revoke and issue CRLs). All files live in folder.
class OpenSslChain {
public:
    explicit OpenSslChain(const std::string& folder, const ChainOptions& options = {}, const ChainExtras& extras = {});

    const std::string& root() const { return m_root; }
    const std::string& intermediate() const { return m_intermediate; }
    const std::string& signer() const { return m_signer; }
    const std::string& signerKey() const { return m_signerKey; }

    enum class ServiceKind { Timestamping, OcspSigning };
    // A certificate for a service's new key, issued by the intermediate with the
    // critical extended key usage the service needs; files named after name.
    PemPair issueService(const std::string& name, const std::string& subject, ServiceKind kind,
                         const ValidityWindow& validity = {}) const;

    void revokeSigner() const;
    void revokeIntermediate() const;
    // A CRL (PEM) of each authority as its database stands now; returns the file.
    std::string intermediateCrl(const std::string& name = "intermediate.crl") const;
    std::string rootCrl(const std::string& name = "root.crl") const;
    // A PKCS#7 bundle (DER .p7b) of the intermediate and the root; returns the file.
    std::string bundle() const;

    // The intermediate's CRL dated ageSeconds ago (so that a later one can be told apart),
    // and, when expiredSecondsAgo is given, whose next update was that long ago.
    std::string intermediateCrlIssuedAgo(const std::string& name, long ageSeconds, long expiredSecondsAgo = 0) const;
    // A CRL that lists nothing, dated ageSeconds ago, signed by a key of its own that
    // merely calls itself the intermediate: what anyone can make.
    std::string forgedIntermediateCrl(const std::string& name, long ageSeconds) const;
    // The intermediate re-keyed under the same name: a new key certified by the root, with
    // a database of its own (so its CRL lists nothing). Returns the new certificate.
    std::string rekeyIntermediate() const;
    // A CRL of the re-keyed intermediate, dated ageSeconds ago.
    std::string rekeyedIntermediateCrl(const std::string& name, long ageSeconds) const;

private:
    std::string m_folder;
    std::string m_root, m_intermediate, m_signer, m_signerKey;
};

// A copy of a PEM certificate as DER with one byte of its signature value changed.
std::string WithDamagedSignature(const std::string& folder, const std::string& pemCertificate, const std::string& name);

} // namespace ordalis::test
