#include "tests/support/OpenSslChain.h"

#include "tests/support/OpenSslCa.h"
#include "tests/support/OpenSslTool.h"
#include "tests/support/TempDir.h"

#include <ctime>
#include <filesystem>
#include <stdexcept>

namespace ordalis::test {
namespace {

constexpr const char* kConfig = R"([ca]
default_ca = this
[this]
database = index.txt
new_certs_dir = .
serial = serial
crlnumber = crlnumber
default_md = md_gost12_256
policy = any
unique_subject = no
default_crl_days = 30
[any]
commonName = supplied
organizationName = optional
[req]
distinguished_name = dn
[dn]
[ca_ext]
basicConstraints = critical,CA:TRUE
keyUsage = critical,keyCertSign,cRLSign
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid
[tsa_ext]
basicConstraints = CA:FALSE
keyUsage = critical,digitalSignature,nonRepudiation
extendedKeyUsage = critical,timeStamping
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid
[ocsp_ext]
basicConstraints = CA:FALSE
keyUsage = critical,digitalSignature
extendedKeyUsage = OCSPSigning
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid
[signer_ext]
basicConstraints = CA:FALSE
keyUsage = critical,digitalSignature,nonRepudiation
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid
)";

void Run(const std::string& folder, const std::string& args, bool withEngine = true)
{
    std::string printed;
    if (RunOpenSsl(folder, args, &printed, withEngine) != 0)
        throw std::runtime_error("openssl " + args + " failed: " + printed);
}

std::string CaDate(long offsetSeconds)
{
    const std::time_t when = std::time(nullptr) + offsetSeconds;
    std::tm tm{};
    gmtime_r(&when, &tm);
    char text[32];
    std::strftime(text, sizeof text, "%Y%m%d%H%M%SZ", &tm);
    return text;
}

// An authority's folder: its key, its database and the configuration.
void MakeAuthorityFolder(const std::string& folder, const std::string& firstSerial)
{
    std::filesystem::create_directories(folder);
    WriteFile(folder + "/ca.cnf", kConfig);
    WriteFile(folder + "/index.txt", "");
    WriteFile(folder + "/serial", firstSerial + "\n");
    WriteFile(folder + "/crlnumber", "01\n");
}

// Issues a certificate for a new key by the authority in issuerFolder; returns the certificate file.
std::string Issue(const std::string& issuerFolder, const std::string& key, const std::string& subject,
                  const std::string& extensions, const ValidityWindow& validity, const std::string& out)
{
    Run(issuerFolder, "req -new -config ca.cnf -key '" + key + "' -subj '" + subject + "' -out '" + out + ".csr'");
    Run(issuerFolder, "ca -config ca.cnf -batch -notext -in '" + out +
                          ".csr' -cert cert.pem -keyfile key.pem -extensions " + extensions + " -startdate " +
                          CaDate(validity.fromSeconds) + " -enddate " + CaDate(validity.toSeconds) + " -out '" + out +
                          "'");
    return out;
}

} // namespace

OpenSslChain::OpenSslChain(const std::string& folder, const ChainOptions& options, const ChainExtras& extras)
    : m_folder(folder)
{
    const std::string root = folder + "/root", intermediate = folder + "/intermediate";
    MakeAuthorityFolder(root, "10");
    MakeAuthorityFolder(intermediate, "20");
    MakeOpenSslKey(root, "key.pem", "gost2012_256");
    if (extras.root) {
        // Only `openssl ca` sets a start date; the root then signs itself through its own database.
        Run(root, "req -new -config ca.cnf -key key.pem -subj '/CN=Test Root/O=Ordalis Test' -out root.csr");
        Run(root, "ca -config ca.cnf -batch -notext -selfsign -keyfile key.pem -in root.csr -extensions ca_ext "
                  "-startdate " +
                      CaDate(extras.root->fromSeconds) + " -enddate " + CaDate(extras.root->toSeconds) +
                      " -out cert.pem");
    } else {
        Run(root, "req -x509 -new -config ca.cnf -key key.pem -subj '/CN=Test Root/O=Ordalis Test' -days 60 "
                  "-md_gost12_256 -extensions ca_ext -out cert.pem");
    }
    m_root = root + "/cert.pem";
    MakeOpenSslKey(intermediate, "key.pem", "gost2012_256");
    Issue(root, intermediate + "/key.pem", "/CN=Test Intermediate/O=Ordalis Test", "ca_ext", options.intermediate,
          intermediate + "/cert.pem");
    m_intermediate = intermediate + "/cert.pem";
    m_signerKey = MakeOpenSslKey(folder, "signer.key", "gost2012_256");
    std::string signerExtensions = "signer_ext";
    if (!extras.signerCrlUrl.empty()) {
        signerExtensions = "signer_cdp_ext";
        WriteFile(intermediate + "/ca.cnf", ReadFile(intermediate + "/ca.cnf") +
                                                "[signer_cdp_ext]\nbasicConstraints = CA:FALSE\n"
                                                "keyUsage = critical,digitalSignature,nonRepudiation\n"
                                                "subjectKeyIdentifier = hash\nauthorityKeyIdentifier = keyid\n"
                                                "crlDistributionPoints = URI:" +
                                                extras.signerCrlUrl + "\n");
    }
    m_signer = Issue(intermediate, m_signerKey, "/CN=Test Signer/O=Ordalis Test", signerExtensions, options.signer,
                     folder + "/signer.pem");
}

PemPair OpenSslChain::issueService(const std::string& name, const std::string& subject, ServiceKind kind,
                                   const ValidityWindow& validity) const
{
    PemPair issued;
    issued.key = MakeOpenSslKey(m_folder, name + ".key", "gost2012_256");
    issued.certificate =
        Issue(m_folder + "/intermediate", issued.key, subject,
              kind == ServiceKind::Timestamping ? "tsa_ext" : "ocsp_ext", validity, m_folder + "/" + name + ".pem");
    return issued;
}

void OpenSslChain::revokeSigner() const
{
    Run(m_folder + "/intermediate", "ca -config ca.cnf -cert cert.pem -keyfile key.pem -revoke '" + m_signer + "'");
}

void OpenSslChain::revokeIntermediate() const
{
    Run(m_folder + "/root", "ca -config ca.cnf -cert cert.pem -keyfile key.pem -revoke '" + m_intermediate + "'");
}

std::string OpenSslChain::intermediateCrl(const std::string& name) const
{
    Run(m_folder + "/intermediate", "ca -config ca.cnf -cert cert.pem -keyfile key.pem -gencrl -out '../" + name + "'");
    return m_folder + "/" + name;
}

std::string OpenSslChain::rootCrl(const std::string& name) const
{
    Run(m_folder + "/root", "ca -config ca.cnf -cert cert.pem -keyfile key.pem -gencrl -out '../" + name + "'");
    return m_folder + "/" + name;
}

std::string OpenSslChain::bundle() const
{
    Run(m_folder,
        "crl2pkcs7 -nocrl -certfile '" + m_intermediate + "' -certfile '" + m_root + "' -outform DER -out chain.p7b",
        false);
    return m_folder + "/chain.p7b";
}

std::string OpenSslChain::intermediateCrlIssuedAgo(const std::string& name, long ageSeconds,
                                                   long expiredSecondsAgo) const
{
    const std::string nextUpdate = expiredSecondsAgo ? " -crl_nextupdate " + CaDate(-expiredSecondsAgo) : "";
    Run(m_folder + "/intermediate", "ca -config ca.cnf -cert cert.pem -keyfile key.pem -gencrl -crl_lastupdate " +
                                        CaDate(-ageSeconds) + nextUpdate + " -out '../" + name + "'");
    return m_folder + "/" + name;
}

std::string OpenSslChain::forgedIntermediateCrl(const std::string& name, long ageSeconds) const
{
    const std::string forger = m_folder + "/forger";
    if (!std::filesystem::exists(forger + "/cert.pem")) {
        MakeAuthorityFolder(forger, "90");
        WriteFile(forger + "/crlnumber", "50\n");
        MakeOpenSslKey(forger, "key.pem", "gost2012_256");
        Run(forger, "req -x509 -new -config ca.cnf -key key.pem -subj '/CN=Test Intermediate/O=Ordalis Test' "
                    "-days 60 -md_gost12_256 -extensions ca_ext -out cert.pem");
    }
    Run(forger, "ca -config ca.cnf -cert cert.pem -keyfile key.pem -gencrl -crl_lastupdate " + CaDate(-ageSeconds) +
                    " -out '../" + name + "'");
    return m_folder + "/" + name;
}

std::string OpenSslChain::rekeyIntermediate() const
{
    const std::string rekeyed = m_folder + "/rekeyed";
    MakeAuthorityFolder(rekeyed, "30");
    WriteFile(rekeyed + "/crlnumber", "40\n");
    MakeOpenSslKey(rekeyed, "key.pem", "gost2012_256");
    return Issue(m_folder + "/root", rekeyed + "/key.pem", "/CN=Test Intermediate/O=Ordalis Test", "ca_ext", {},
                 rekeyed + "/cert.pem");
}

std::string OpenSslChain::rekeyedIntermediateCrl(const std::string& name, long ageSeconds) const
{
    Run(m_folder + "/rekeyed", "ca -config ca.cnf -cert cert.pem -keyfile key.pem -gencrl -crl_lastupdate " +
                                   CaDate(-ageSeconds) + " -out '../" + name + "'");
    return m_folder + "/" + name;
}

std::string WithDamagedSignature(const std::string& folder, const std::string& pemCertificate, const std::string& name)
{
    Run(folder, "x509 -in '" + pemCertificate + "' -outform DER -out '" + name + "'");
    std::string der = ReadFile(folder + "/" + name);
    der[der.size() - 5] = static_cast<char>(der[der.size() - 5] ^ 0x01); // inside the signature value, the last field
    WriteFile(folder + "/" + name, der);
    return folder + "/" + name;
}

} // namespace ordalis::test
