#include "tools/cli/Recipients.h"

#include "common/ByteBuffer.h"
#include "cryptomsg/cryptoapi/GostAlgorithms.h"
#include "tools/cli/CertificateChoice.h"
#include "tools/cli/CliTexts.h"

#include <algorithm>
#include <cstring>

namespace ordalis::cli {

namespace {

bool IsRecipientOption(const std::string& name)
{
    return name == "--cert" || name == "--cert-file" || name == "--self";
}

CertContextPtr FromFile(const std::string& path, std::string& problem)
{
    ByteBuffer bytes;
    try {
        bytes.loadFromFile(path);
    } catch (const std::exception& e) {
        problem = e.what();
        return nullptr;
    }
    CertContextPtr certificate(
        CertCreateCertificateContext(kEncodingType, bytes.data(), static_cast<DWORD>(bytes.length())));
    if (!certificate)
        problem = tools::Say(texts::kNotDerCertificate, {path});
    return certificate;
}

CertContextPtr Recipient(const std::string& option, const std::string& value, tools::Terminal& terminal,
                         std::string& problem)
{
    if (option == "--cert-file")
        return FromFile(value, problem);
    if (option == "--self")
        return ChooseOwnCertificate(terminal, problem);
    return ChooseRecipientCertificate(value, problem);
}

bool SameCertificate(PCCERT_CONTEXT a, PCCERT_CONTEXT b)
{
    return a->cbCertEncoded == b->cbCertEncoded &&
           std::memcmp(a->pbCertEncoded, b->pbCertEncoded, a->cbCertEncoded) == 0;
}

} // namespace

bool HasGostKey(PCCERT_CONTEXT certificate)
{
    return GostAlgorithmForKey(certificate->pCertInfo->SubjectPublicKeyInfo.Algorithm.pszObjId) != nullptr;
}

bool NamesRecipients(const std::vector<std::pair<std::string, std::string>>& sequence)
{
    return std::any_of(sequence.begin(), sequence.end(),
                       [](const auto& option) { return IsRecipientOption(option.first); });
}

std::vector<CertContextPtr> ChooseRecipients(const std::vector<std::pair<std::string, std::string>>& sequence,
                                             tools::Terminal& terminal, std::string& problem)
{
    std::vector<CertContextPtr> recipients;
    for (const auto& [option, value] : sequence) {
        if (!IsRecipientOption(option))
            continue;
        CertContextPtr certificate = Recipient(option, value, terminal, problem);
        if (!certificate)
            return {};
        const bool known = std::any_of(recipients.begin(), recipients.end(), [&](const CertContextPtr& r) {
            return SameCertificate(r.get(), certificate.get());
        });
        if (!known)
            recipients.push_back(std::move(certificate));
    }
    return recipients;
}

} // namespace ordalis::cli
