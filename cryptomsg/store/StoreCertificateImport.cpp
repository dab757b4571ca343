#include "cryptomsg/store/StoreCertificateImport.h"

#include "common/Error.h"
#include "cryptomsg/cryptoapi/CertNameText.h"
#include "cryptomsg/store/CertStoreInternal.h"
#include "cryptomsg/store/CertificateIds.h"
#include "cryptomsg/store/CrlImportCheck.h"
#include "cryptomsg/store/StoreFileFormats.h"
#include "cryptomsg/store/StoreFolder.h"
#include "cryptomsg/store/StoreNames.h"

#include <algorithm>

namespace ordalis {

namespace {

std::span<const unsigned char> Bytes(const std::string& text)
{
    return {reinterpret_cast<const unsigned char*>(text.data()), text.size()};
}

std::string Label(X509* certificate) { return FormatName(X509_get_subject_name(certificate), NameStyle::ShortName); }

bool HasCertificate(const StoreContent& content, X509* certificate)
{
    return std::any_of(content.entries.begin(), content.entries.end(),
                       [&](const StoreEntry& e) { return X509_cmp(e.certificate.get(), certificate) == 0; });
}

bool HasCrl(const StoreContent& content, X509_CRL* crl)
{
    return std::any_of(content.crls.begin(), content.crls.end(),
                       [&](const X509CrlPtr& held) { return X509_CRL_match(held.get(), crl) == 0; });
}

// The bundle's certificates the store lacks, each once.
std::vector<X509*> NewCertificates(const StoreContent& content, const CertificateBundle& bundle)
{
    std::vector<X509*> added;
    for (const X509Ptr& certificate : bundle.certificates) {
        const bool seen = std::any_of(added.begin(), added.end(),
                                      [&](X509* other) { return X509_cmp(other, certificate.get()) == 0; });
        if (!seen && !HasCertificate(content, certificate.get()))
            added.push_back(certificate.get());
    }
    return added;
}

} // namespace

std::vector<ImportedItem> ImportBundle(const std::string& path, CertificateBundle bundle, const std::string& storeName,
                                       const ImportApproval& approve)
{
    if (!bundle.crls.empty() && storeName != kCaStore)
        throw Error("Файл \"" + path + "\" содержит списки отзыва; они импортируются только в хранилище CA");
    if (bundle.certificates.empty() && bundle.crls.empty())
        throw Error("В файле \"" + path + "\" нет сертификатов и списков отзыва");
    const std::string folder = StoreFolderPath(storeName);
    EnsureStoreFolder(folder);
    const StoreContent content = ReadStoreContent(folder);
    // Every list is checked before anything is written: a refused file leaves the store as it was.
    CheckCrlsToImport(path, bundle, content);
    const std::vector<X509*> added = NewCertificates(content, bundle);

    std::vector<CertificateToAdd> shown;
    for (X509* certificate : added)
        shown.push_back({Label(certificate), CertificateThumbprint(certificate)});
    if (!shown.empty() && approve && !approve(shown))
        throw Error("Импорт в хранилище " + storeName + " отменен");

    std::vector<ImportedItem> report;
    for (const X509Ptr& certificate : bundle.certificates)
        if (std::find(added.begin(), added.end(), certificate.get()) == added.end())
            report.push_back({ImportedItem::Kind::Certificate, true, Label(certificate.get()), {}});
    for (X509* certificate : added) {
        WriteStoreFile(folder + "/" + CertificateThumbprint(certificate) + ".crt", Bytes(CertificatePem(certificate)));
        report.push_back({ImportedItem::Kind::Certificate, false, Label(certificate), {}});
    }
    for (const X509CrlPtr& crl : bundle.crls) {
        const std::string issuer = FormatName(X509_CRL_get_issuer(crl.get()), NameStyle::ShortName);
        if (HasCrl(content, crl.get())) {
            report.push_back({ImportedItem::Kind::RevocationList, true, issuer, {}});
            continue;
        }
        WriteStoreFile(folder + "/" + CrlThumbprint(crl.get()) + ".crl", Bytes(CrlPem(crl.get())));
        report.push_back({ImportedItem::Kind::RevocationList, false, issuer, {}});
    }
    return report;
}

} // namespace ordalis
