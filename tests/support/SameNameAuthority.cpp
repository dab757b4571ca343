#include "tests/support/SameNameAuthority.h"

#include "tests/support/OpenSslCa.h"
#include "tests/support/OpenSslTool.h"
#include "tests/support/TempDir.h"

#include <filesystem>
#include <stdexcept>

namespace ordalis::test {
namespace {

constexpr const char* kSubject = "/CN=Test Intermediate/O=Ordalis Test";

void Run(const std::string& folder, const std::string& args)
{
    std::string printed;
    if (RunOpenSsl(folder, args, &printed) != 0)
        throw std::runtime_error("openssl " + args + " failed: " + printed);
}

} // namespace

SameNameAuthority::SameNameAuthority(const std::string& chainFolder, const std::string& name, CertifiedBy certifier)
    : m_folder(chainFolder + "/" + name), m_certificate(m_folder + "/cert.pem")
{
    // The chain's authorities share one configuration; this one keeps a database of its own.
    std::filesystem::create_directories(m_folder);
    std::filesystem::copy_file(chainFolder + "/intermediate/ca.cnf", m_folder + "/ca.cnf");
    WriteFile(m_folder + "/index.txt", "");
    WriteFile(m_folder + "/serial", "30\n");
    WriteFile(m_folder + "/crlnumber", "01\n");
    MakeOpenSslKey(m_folder, "key.pem", "gost2012_256");
    if (certifier == CertifiedBy::Itself) {
        Run(m_folder, std::string("req -x509 -new -config ca.cnf -key key.pem -subj '") + kSubject +
                          "' -days 30 -md_gost12_256 -extensions ca_ext -out cert.pem");
        return;
    }
    Run(m_folder, std::string("req -new -config ca.cnf -key key.pem -subj '") + kSubject + "' -out cert.csr");
    Run(chainFolder + "/root", "ca -config ca.cnf -batch -notext -in '" + m_folder +
                                   "/cert.csr' -cert cert.pem -keyfile key.pem -extensions ca_ext -days 30 -out '" +
                                   m_certificate + "'");
}

std::string SameNameAuthority::crl(const std::string& file) const
{
    Run(m_folder, "ca -config ca.cnf -cert cert.pem -keyfile key.pem -gencrl -out '../" + file + "'");
    return std::filesystem::path(m_folder).parent_path().string() + "/" + file;
}

std::string DeltaCrl(const std::string& authorityFolder, const std::string& file)
{
    WriteFile(authorityFolder + "/delta.cnf",
              ReadFile(authorityFolder + "/ca.cnf") + "[delta_ext]\ndeltaCRL = critical,DER:02:01:01\n");
    Run(authorityFolder,
        "ca -config delta.cnf -cert cert.pem -keyfile key.pem -gencrl -crlexts delta_ext -out '../" + file + "'");
    return std::filesystem::path(authorityFolder).parent_path().string() + "/" + file;
}

} // namespace ordalis::test
