#include "cryptomsg/messages/CrlFetching.h"

#include "cryptomsg/messages/HttpExchange.h"
#include "cryptomsg/messages/RevocationAnswers.h"
#include "cryptomsg/messages/ServiceError.h"
#include "cryptomsg/store/CertStoreInternal.h"
#include "cryptomsg/store/CertificateBundle.h"
#include "cryptomsg/store/StoreCertificateImport.h"
#include "cryptomsg/store/StoreFolder.h"
#include "cryptomsg/store/StoreNames.h"

#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/x509v3.h>

#include <algorithm>

namespace ordalis {

namespace {

using DistPointsPtr = std::unique_ptr<STACK_OF(DIST_POINT), OsslFree<CRL_DIST_POINTS_free>>;

// DER as distribution points serve it, or PEM as some do.
X509CrlPtr DecodeCrl(const std::vector<unsigned char>& bytes)
{
    const unsigned char* cursor = bytes.data();
    X509CrlPtr crl(d2i_X509_CRL(nullptr, &cursor, static_cast<long>(bytes.size())));
    if (!crl) {
        BioPtr text(BIO_new_mem_buf(bytes.data(), static_cast<int>(bytes.size())));
        crl.reset(text ? PEM_read_bio_X509_CRL(text.get(), nullptr, nullptr, nullptr) : nullptr);
    }
    ERR_clear_error();
    return crl;
}

bool IsInRootOrCa(X509* certificate)
{
    for (const char* store : {kRootStore, kCaStore})
        for (const StoreEntry& entry : ReadStoreContent(StoreFolderPath(store)).entries)
            if (X509_cmp(entry.certificate.get(), certificate) == 0)
                return true;
    return false;
}

void KeepInCa(X509_CRL* crl)
{
    CertificateBundle bundle;
    X509_CRL_up_ref(crl);
    bundle.crls.emplace_back(crl);
    ImportBundle("CRL", std::move(bundle), kCaStore, {});
}

} // namespace

std::vector<std::string> CrlDistributionUrls(X509* certificate)
{
    std::vector<std::string> urls;
    DistPointsPtr points(static_cast<STACK_OF(DIST_POINT)*>(
        X509_get_ext_d2i(certificate, NID_crl_distribution_points, nullptr, nullptr)));
    for (int i = 0; points && i < sk_DIST_POINT_num(points.get()); ++i) {
        const DIST_POINT* point = sk_DIST_POINT_value(points.get(), i);
        if (!point->distpoint || point->distpoint->type != 0)
            continue;
        const GENERAL_NAMES* names = point->distpoint->name.fullname;
        for (int j = 0; j < sk_GENERAL_NAME_num(names); ++j) {
            const GENERAL_NAME* name = sk_GENERAL_NAME_value(names, j);
            if (name->type != GEN_URI)
                continue;
            const ASN1_IA5STRING* uri = name->d.uniformResourceIdentifier;
            std::string url(reinterpret_cast<const char*>(ASN1_STRING_get0_data(uri)),
                            static_cast<std::size_t>(ASN1_STRING_length(uri)));
            if (url.rfind("http://", 0) == 0)
                urls.push_back(std::move(url));
        }
    }
    ERR_clear_error();
    return urls;
}

std::vector<X509CrlPtr> FetchCrls(X509* certificate, X509* issuer, int timeoutSeconds)
{
    std::vector<X509CrlPtr> fetched;
    const bool trustedIssuer = IsInRootOrCa(issuer);
    for (const std::string& url : CrlDistributionUrls(certificate)) {
        try {
            X509CrlPtr crl = DecodeCrl(HttpExchange({url, {}, {}, timeoutSeconds}));
            if (!crl || !CrlSignedBy(crl.get(), issuer))
                continue;
            if (trustedIssuer)
                KeepInCa(crl.get());
            fetched.push_back(std::move(crl));
        } catch (const ServiceError&) {
            // Another point, or the lists at hand, may still answer.
        }
    }
    return fetched;
}

} // namespace ordalis
