// Certificate contexts from arbitrary bytes, and everything a dialog reads of one.

#include "cryptomsg/cryptoapi/CryptoApi.h"
#include "cryptomsg/cryptoapi/CryptoRuntime.h"
#include "cryptomsg/store/CertificateDescription.h"
#include "fuzz/FuzzSupport.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

using namespace ordalis;

namespace {

void NameText(const CERT_NAME_BLOB& name)
{
    const DWORD needed = CertNameToStrA(kEncodingType, &name, CERT_OID_NAME_STR, nullptr, 0);
    std::vector<char> text(needed);
    fuzz::Require(CertNameToStrA(kEncodingType, &name, CERT_OID_NAME_STR, text.data(), needed) == needed);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    // Keys of the GOST algorithms decode only with the engine loaded.
    fuzz::Require(EnsureGostEngine());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const CertContextPtr context(CertCreateCertificateContext(kEncodingType, data, static_cast<DWORD>(size)));
    if (!context)
        return 0;
    // The encoding a context holds (what an export writes) is OpenSSL's re-encoding of
    // the certificate; read back, it gives the same encoding. (Not every input that
    // decodes re-encodes to something that decodes: OpenSSL writes some invalid
    // outer parameters in a form it then refuses.)
    const CertContextPtr again(
        CertCreateCertificateContext(kEncodingType, context->pbCertEncoded, context->cbCertEncoded));
    fuzz::Require(!again || (again->cbCertEncoded == context->cbCertEncoded &&
                             std::memcmp(again->pbCertEncoded, context->pbCertEncoded, context->cbCertEncoded) == 0));
    NameText(context->pCertInfo->Subject);
    NameText(context->pCertInfo->Issuer);
    CertVerifyTimeValidity(nullptr, context->pCertInfo);
    DescribeCertificate(context.get());
    return 0;
}
