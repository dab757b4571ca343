// Detached verification of arbitrary signature bytes against fixed content.

#include "cryptomsg/cryptoapi/CryptoApi.h"
#include "cryptomsg/cryptoapi/CryptoRuntime.h"
#include "cryptomsg/messages/MessageApi.h"
#include "cryptomsg/store/CertificateDescription.h"
#include "fuzz/FuzzSupport.h"

#include <cstddef>
#include <cstdint>

using namespace ordalis;

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzz::Require(EnsureGostEngine());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    CRYPT_VERIFY_MESSAGE_PARA para{};
    para.cbSize = kVerifyMessageParaSize;
    para.dwMsgAndCertEncodingType = kEncodingType;
    const BYTE* parts[] = {fuzz::Bytes(fuzz::kFixedContent)};
    const DWORD sizes[] = {static_cast<DWORD>(fuzz::kFixedContent.size())};
    PCCERT_CONTEXT signer = nullptr;
    const BOOL valid =
        CryptVerifyDetachedMessageSignature(&para, 0, data, static_cast<DWORD>(size), 1, parts, sizes, &signer);
    // The signer is handed out with a valid signature only.
    fuzz::Require(valid ? signer != nullptr : signer == nullptr);
    if (signer) {
        // What the verification report shows of it.
        DescribeCertificate(signer);
        CertVerifyTimeValidity(nullptr, signer->pCertInfo);
        CertFreeCertificateContext(signer);
    }
    return 0;
}
