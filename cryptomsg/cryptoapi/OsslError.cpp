#include "cryptomsg/cryptoapi/OsslError.h"

#include "common/ErrorCodes.h"
#include "common/LastError.h"

#include <openssl/asn1err.h>
#include <openssl/cmserr.h>
#include <openssl/err.h>
#include <openssl/evperr.h>

namespace ordalis {

namespace {

std::uint32_t CodeFor(unsigned long error, std::uint32_t fallback)
{
    const int lib = ERR_GET_LIB(error);
    const int reason = ERR_GET_REASON(error);
    if (lib == ERR_LIB_ASN1) {
        switch (reason) {
        case ASN1_R_TOO_LONG:
        case ASN1_R_HEADER_TOO_LONG:
        case ASN1_R_NOT_ENOUGH_DATA: return codes::Asn1Eod;
        case ASN1_R_WRONG_TAG: return codes::Asn1BadTag;
        default: return codes::Asn1Corrupt;
        }
    }
    if (lib == ERR_LIB_CMS) {
        switch (reason) {
        case CMS_R_VERIFICATION_FAILURE: return codes::HashValue;
        case CMS_R_CONTENT_VERIFY_ERROR: return codes::BadSignature;
        case CMS_R_NO_MATCHING_RECIPIENT: return codes::NoDecryptCert;
        case CMS_R_UNKNOWN_DIGEST_ALGORITHM:
        case CMS_R_UNKNOWN_CIPHER: return codes::UnknownAlgo;
        case CMS_R_TYPE_NOT_ENVELOPED_DATA:
        case CMS_R_CONTENT_TYPE_NOT_SIGNED_DATA: return codes::UnexpectedMsgType;
        default: break;
        }
    }
    if (lib == ERR_LIB_EVP && (reason == EVP_R_UNSUPPORTED_ALGORITHM || reason == EVP_R_UNKNOWN_DIGEST))
        return codes::UnknownAlgo;
    return fallback;
}

} // namespace

std::uint32_t DrainOpenSslErrors(std::uint32_t fallback)
{
    const unsigned long first = ERR_peek_error();
    std::uint32_t code = first ? CodeFor(first, fallback) : fallback;
    // A failed allocation anywhere in the queue is the cause: the decoder that
    // could not store what it read reports it as damage on top of it.
    while (const unsigned long error = ERR_get_error())
        if (ERR_GET_REASON(error) == ERR_R_MALLOC_FAILURE)
            code = codes::OutOfMemory;
    return code;
}

bool FailFromOpenSsl(std::uint32_t fallback)
{
    SetLastError(DrainOpenSslErrors(fallback));
    return false;
}

bool FailWith(std::uint32_t code)
{
    ERR_clear_error();
    SetLastError(code);
    return false;
}

ClearErrorsOnExit::~ClearErrorsOnExit() { ERR_clear_error(); }

} // namespace ordalis
