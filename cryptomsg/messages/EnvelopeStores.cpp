#include "cryptomsg/messages/EnvelopeStores.h"

#include "common/ErrorCodes.h"
#include "common/LastError.h"
#include "cryptomsg/cryptoapi/CertContextInternal.h"
#include "cryptomsg/cryptoapi/OsslError.h"
#include "cryptomsg/messages/MessageSupport.h"
#include "cryptomsg/store/CertificateDescription.h"
#include "cryptomsg/store/StoreApi.h"

namespace ordalis {

bool DecryptParaIsValid(const CRYPT_DECRYPT_MESSAGE_PARA& para)
{
    return para.cbSize >= kDecryptMessageParaSize && IsMessageEncoding(para.dwMsgAndCertEncodingType) &&
           (para.cCertStore == 0 || para.rghCertStore);
}

void LookForSendersInStores(Envelope& envelope, const CRYPT_DECRYPT_MESSAGE_PARA& para)
{
    std::vector<X509Ptr> certificates;
    for (DWORD s = 0; s < para.cCertStore; ++s) {
        PCCERT_CONTEXT context = nullptr;
        while ((context = CertEnumCertificatesInStore(para.rghCertStore[s], context)) != nullptr) {
            X509* certificate = CertContextX509(context);
            X509_up_ref(certificate);
            certificates.emplace_back(certificate);
        }
    }
    envelope.lookForSendersAmong(std::move(certificates));
}

CertContextPtr FindDecryptor(const Envelope& envelope, const CRYPT_DECRYPT_MESSAGE_PARA& para)
{
    for (DWORD s = 0; s < para.cCertStore; ++s) {
        PCCERT_CONTEXT context = nullptr;
        while ((context = CertEnumCertificatesInStore(para.rghCertStore[s], context)) != nullptr) {
            if (CertHasPrivateKey(context) && envelope.isAddressedTo(CertContextX509(context)))
                return CertContextPtr(context); // enumeration stops: the context is ours to free
        }
    }
    FailWith(codes::NoDecryptCert);
    return nullptr;
}

std::optional<OriginatorName> MissingSenderInStores(const Envelope& envelope, const CRYPT_DECRYPT_MESSAGE_PARA& para)
{
    const std::uint32_t error = GetLastError();
    std::optional<OriginatorName> missing;
    for (DWORD s = 0; !missing && s < para.cCertStore; ++s) {
        PCCERT_CONTEXT context = nullptr;
        while (!missing && (context = CertEnumCertificatesInStore(para.rghCertStore[s], context)) != nullptr) {
            if (CertHasPrivateKey(context))
                missing = envelope.missingSenderFor(CertContextX509(context));
        }
        CertFreeCertificateContext(context);
    }
    SetLastError(error);
    return missing;
}

} // namespace ordalis
