#pragma once

// Owning pointers for the OpenSSL objects of timestamps and revocation answers.

#include "cryptomsg/cryptoapi/Ossl.h"

#include <openssl/ocsp.h>
#include <openssl/pkcs7.h>
#include <openssl/ts.h>

namespace ordalis {

using TsReqPtr = std::unique_ptr<TS_REQ, OsslFree<TS_REQ_free>>;
using TsRespPtr = std::unique_ptr<TS_RESP, OsslFree<TS_RESP_free>>;
using TsTstInfoPtr = std::unique_ptr<TS_TST_INFO, OsslFree<TS_TST_INFO_free>>;
using TsVerifyCtxPtr = std::unique_ptr<TS_VERIFY_CTX, OsslFree<TS_VERIFY_CTX_free>>;
using Pkcs7Ptr = std::unique_ptr<PKCS7, OsslFree<PKCS7_free>>;
using CertStoreOsslPtr = std::unique_ptr<X509_STORE, OsslFree<X509_STORE_free>>;
using AsnIntegerPtr = std::unique_ptr<ASN1_INTEGER, OsslFree<ASN1_INTEGER_free>>;
using OcspRequestPtr = std::unique_ptr<OCSP_REQUEST, OsslFree<OCSP_REQUEST_free>>;
using OcspResponsePtr = std::unique_ptr<OCSP_RESPONSE, OsslFree<OCSP_RESPONSE_free>>;
using OcspBasicPtr = std::unique_ptr<OCSP_BASICRESP, OsslFree<OCSP_BASICRESP_free>>;
using OcspCertIdPtr = std::unique_ptr<OCSP_CERTID, OsslFree<OCSP_CERTID_free>>;

} // namespace ordalis
