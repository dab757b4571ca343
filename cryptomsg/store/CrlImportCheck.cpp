#include "cryptomsg/store/CrlImportCheck.h"

#include "common/Error.h"
#include "cryptomsg/cryptoapi/CertNameText.h"
#include "cryptomsg/store/CrlIssuer.h"
#include "cryptomsg/store/StoreFolder.h"
#include "cryptomsg/store/StoreNames.h"

#include <vector>

namespace ordalis {

namespace {

void AddCertificates(const StoreContent& content, std::vector<X509*>& candidates)
{
    for (const StoreEntry& entry : content.entries)
        candidates.push_back(entry.certificate.get());
}

std::string IssuerText(X509_CRL* crl) { return FormatName(X509_CRL_get_issuer(crl), NameStyle::ShortName); }

} // namespace

void CheckCrlsToImport(const std::string& path, const CertificateBundle& bundle, const StoreContent& ca)
{
    if (bundle.crls.empty())
        return;
    const StoreContent root = ReadStoreContent(StoreFolderPath(kRootStore));
    std::vector<X509*> candidates;
    AddCertificates(root, candidates);
    AddCertificates(ca, candidates);
    for (const X509Ptr& certificate : bundle.certificates)
        candidates.push_back(certificate.get());

    for (const X509CrlPtr& crl : bundle.crls) {
        if (IsDeltaCrl(crl.get()))
            throw Error("Список отзыва издателя \"" + IssuerText(crl.get()) + "\" в файле \"" + path +
                        "\" — разностный (delta CRL); такие списки не поддерживаются, файл не импортирован");
        if (!CrlIssuerAmong(crl.get(), candidates))
            throw Error("Список отзыва издателя \"" + IssuerText(crl.get()) + "\" в файле \"" + path +
                        "\" не подписан ни одним сертификатом из хранилищ ROOT и CA и из самого файла; "
                        "файл не импортирован. Если список настоящий, сначала импортируйте в CA сертификат, "
                        "которым он подписан");
    }
}

} // namespace ordalis
