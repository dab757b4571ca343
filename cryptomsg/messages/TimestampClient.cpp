#include "cryptomsg/messages/TimestampClient.h"

#include "cryptomsg/cryptoapi/CryptoRuntime.h"
#include "cryptomsg/messages/HttpExchange.h"
#include "cryptomsg/messages/LongTermOssl.h"
#include "cryptomsg/messages/ServiceError.h"
#include "cryptomsg/messages/TrustAnchors.h"

#include <openssl/bn.h>
#include <openssl/rand.h>

namespace ordalis {

namespace {

using X509AlgorPtr = std::unique_ptr<X509_ALGOR, OsslFree<X509_ALGOR_free>>;
using TsImprintPtr = std::unique_ptr<TS_MSG_IMPRINT, OsslFree<TS_MSG_IMPRINT_free>>;
using BignumPtr = std::unique_ptr<BIGNUM, OsslFree<BN_free>>;

AsnIntegerPtr NewNonce()
{
    unsigned char random[8];
    if (RAND_bytes(random, sizeof random) != 1)
        return nullptr;
    random[0] &= 0x7F; // positive, as a nonce is read as an INTEGER
    BignumPtr number(BN_bin2bn(random, sizeof random, nullptr));
    return AsnIntegerPtr(number ? BN_to_ASN1_INTEGER(number.get(), nullptr) : nullptr);
}

TsReqPtr MakeRequest(const EVP_MD* md, const std::vector<unsigned char>& digest)
{
    TsReqPtr request(TS_REQ_new());
    TsImprintPtr imprint(TS_MSG_IMPRINT_new());
    X509AlgorPtr algorithm(X509_ALGOR_new());
    AsnIntegerPtr nonce = NewNonce();
    // GOST digests take no parameters: the algorithm identifier carries the OID alone.
    const bool made = request && imprint && algorithm && nonce &&
                      X509_ALGOR_set0(algorithm.get(), OBJ_nid2obj(EVP_MD_get_type(md)), V_ASN1_UNDEF, nullptr) &&
                      TS_MSG_IMPRINT_set_algo(imprint.get(), algorithm.get()) &&
                      TS_MSG_IMPRINT_set_msg(imprint.get(), const_cast<unsigned char*>(digest.data()),
                                             static_cast<int>(digest.size())) &&
                      TS_REQ_set_version(request.get(), 1) && TS_REQ_set_msg_imprint(request.get(), imprint.get()) &&
                      TS_REQ_set_nonce(request.get(), nonce.get()) && TS_REQ_set_cert_req(request.get(), 1);
    if (!made)
        throw Error("Не удалось составить запрос штампа времени: " + DrainOpenSslWords());
    return request;
}

template <class T, int (*Encode)(const T*, unsigned char**)>
std::vector<unsigned char> Encoded(const T* object)
{
    unsigned char* out = nullptr;
    const int length = Encode(object, &out);
    if (length <= 0)
        throw Error("Не удалось закодировать: " + DrainOpenSslWords());
    std::vector<unsigned char> bytes(out, out + length);
    OPENSSL_free(out);
    return bytes;
}

std::string StatusWords(TS_RESP* response)
{
    const TS_STATUS_INFO* info = TS_RESP_get_status_info(response);
    std::string words = "status " + std::to_string(ASN1_INTEGER_get(TS_STATUS_INFO_get0_status(info)));
    const STACK_OF(ASN1_UTF8STRING)* texts = TS_STATUS_INFO_get0_text(info);
    for (int i = 0; texts && i < sk_ASN1_UTF8STRING_num(texts); ++i) {
        const ASN1_UTF8STRING* text = sk_ASN1_UTF8STRING_value(texts, i);
        words += i == 0 ? ", " : "; ";
        words.append(reinterpret_cast<const char*>(ASN1_STRING_get0_data(text)),
                     static_cast<std::size_t>(ASN1_STRING_length(text)));
    }
    return words;
}

bool Granted(TS_RESP* response)
{
    const long status = ASN1_INTEGER_get(TS_STATUS_INFO_get0_status(TS_RESP_get_status_info(response)));
    return status == TS_STATUS_GRANTED || status == TS_STATUS_GRANTED_WITH_MODS;
}

void CheckAnswer(const std::string& url, TS_REQ* request, TS_RESP* response)
{
    if (!Granted(response))
        throw ServiceError(ServiceFailure::Refused, url, StatusWords(response));
    // The request names what to compare: version, imprint and nonce; the signature is added.
    TsVerifyCtxPtr check(TS_REQ_to_TS_VERIFY_CTX(request, nullptr));
    CertStoreOsslPtr roots = RootsStore();
    X509StackPtr intermediates = CaCertificates();
    if (!check || !roots || !intermediates)
        throw ServiceError(ServiceFailure::FailedCheck, url, DrainOpenSslWords());
    TS_VERIFY_CTX_add_flags(check.get(), TS_VFY_SIGNATURE);
    TS_VERIFY_CTX_set_store(check.get(), roots.release());
    TS_VERIFY_CTX_set_certs(check.get(), intermediates.release());
    if (TS_RESP_verify_response(check.get(), response) != 1)
        throw ServiceError(ServiceFailure::FailedCheck, url, DrainOpenSslWords());
}

} // namespace

std::vector<unsigned char> DigestOf(const EVP_MD* md, std::span<const unsigned char> data)
{
    std::vector<unsigned char> digest(EVP_MAX_MD_SIZE);
    unsigned int length = 0;
    if (!md || EVP_Digest(data.data(), data.size(), digest.data(), &length, md, nullptr) != 1)
        throw Error("Не удалось вычислить хэш: " + DrainOpenSslWords());
    digest.resize(length);
    return digest;
}

std::vector<unsigned char> RequestTimestamp(const TimestampService& tsa, const EVP_MD* md,
                                            std::span<const unsigned char> data)
{
    EnsureGostEngine();
    TsReqPtr request = MakeRequest(md, DigestOf(md, data));
    const std::vector<unsigned char> query = Encoded<TS_REQ, i2d_TS_REQ>(request.get());
    const std::vector<unsigned char> answer =
        HttpExchange({tsa.url, "application/timestamp-query", query, tsa.timeoutSeconds});
    const unsigned char* cursor = answer.data();
    TsRespPtr response(d2i_TS_RESP(nullptr, &cursor, static_cast<long>(answer.size())));
    if (!response || cursor != answer.data() + answer.size())
        throw ServiceError(ServiceFailure::BadAnswer, tsa.url, DrainOpenSslWords());
    CheckAnswer(tsa.url, request.get(), response.get());
    return Encoded<PKCS7, i2d_PKCS7>(TS_RESP_get_token(response.get()));
}

} // namespace ordalis
