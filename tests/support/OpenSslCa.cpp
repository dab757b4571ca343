#include "tests/support/OpenSslCa.h"

#include "tests/support/OpenSslTool.h"

#include <stdexcept>

namespace ordalis::test {
namespace {

void Run(const std::string& folder, const std::string& args)
{
    std::string printed;
    if (RunOpenSsl(folder, args, &printed) != 0)
        throw std::runtime_error("openssl " + args + " failed: " + printed);
}

} // namespace

std::string MakeOpenSslKey(const std::string& folder, const std::string& name, const std::string& algorithm)
{
    Run(folder, "genpkey -algorithm " + algorithm + " -pkeyopt paramset:A -out '" + name + "'");
    return folder + "/" + name;
}

OpenSslCa::OpenSslCa(const std::string& folder, const std::string& subject) : m_folder(folder)
{
    m_self.key = MakeOpenSslKey(folder, "ca.key", "gost2012_256");
    Run(folder, "req -x509 -new -key ca.key -subj '" + subject +
                    "' -days 60 -md_gost12_256 -addext basicConstraints=critical,CA:TRUE -out ca.pem");
    m_self.certificate = folder + "/ca.pem";
}

PemPair OpenSslCa::issue(const std::string& name, const std::string& algorithm, const std::string& subject,
                         const std::string& serialHex, int days) const
{
    PemPair issued;
    issued.key = MakeOpenSslKey(m_folder, name + ".key", algorithm);
    Run(m_folder, "req -new -key '" + name + ".key' -subj '" + subject + "' -out '" + name + ".csr'");
    Run(m_folder, "x509 -req -in '" + name + ".csr' -CA ca.pem -CAkey ca.key -set_serial 0x" + serialHex + " -days " +
                      std::to_string(days) + " -md_gost12_256 -out '" + name + ".pem'");
    issued.certificate = m_folder + "/" + name + ".pem";
    return issued;
}

} // namespace ordalis::test
