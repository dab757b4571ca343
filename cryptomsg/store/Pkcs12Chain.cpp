#include "cryptomsg/store/Pkcs12Chain.h"

#include "cryptomsg/cryptoapi/CryptoRuntime.h"

#include <openssl/err.h>
#include <openssl/x509v3.h>

namespace ordalis {

bool IsSelfSigned(X509* certificate)
{
    // GOST signatures are checked through the engine's algorithms.
    EnsureGostEngine();
    const bool selfSigned = X509_self_signed(certificate, 1) == 1;
    ERR_clear_error();
    return selfSigned;
}

Pkcs12Chain SortPkcs12Chain(STACK_OF(X509) * others)
{
    Pkcs12Chain chain;
    for (int i = 0; i < sk_X509_num(others); ++i) {
        X509* certificate = sk_X509_value(others, i);
        if (IsSelfSigned(certificate))
            chain.roots.push_back(certificate);
        else if (X509_check_ca(certificate) > 0)
            chain.authorities.push_back(certificate);
        else
            chain.endEntities.push_back(certificate);
    }
    return chain;
}

} // namespace ordalis
