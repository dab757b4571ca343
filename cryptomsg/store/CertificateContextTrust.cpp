#include "cryptomsg/store/CertificateContextTrust.h"

#include "common/ErrorCodes.h"
#include "cryptomsg/cryptoapi/CertContextInternal.h"
#include "cryptomsg/cryptoapi/OsslError.h"
#include "cryptomsg/store/CertStoreInternal.h"

#include <vector>

namespace ordalis {

TrustOutcome CheckCertificateTrust(PCCERT_CONTEXT certificate, TrustPurpose purpose)
{
    std::vector<X509*> beside;
    if (const std::shared_ptr<CertStore> store = CertContextStore(certificate))
        for (const StoreEntry& entry : store->content.entries)
            beside.push_back(entry.certificate.get());
    return CheckTrust(CertContextX509(certificate), beside, purpose);
}

PCCERT_CONTEXT PathLinkContext(PCCERT_CONTEXT checked, X509* link)
{
    if (!checked || !link) {
        FailWith(codes::InvalidArg);
        return nullptr;
    }
    X509_up_ref(link);
    return NewCertContext(X509Ptr(link), CertContextStore(checked));
}

} // namespace ordalis
