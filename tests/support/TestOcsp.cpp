#include "tests/support/TestOcsp.h"

#include "cryptomsg/cryptoapi/CryptoRuntime.h"
#include "cryptomsg/messages/LongTermOssl.h"
#include "tests/support/PemFiles.h"

#include <openssl/bn.h>
#include <openssl/err.h>
#include <openssl/pem.h>

#include <ctime>
#include <stdexcept>

namespace ordalis::test {

namespace {

std::string SerialHex(const ASN1_INTEGER* serial)
{
    std::unique_ptr<BIGNUM, OsslFree<BN_free>> number(ASN1_INTEGER_to_BN(serial, nullptr));
    char* hex = number ? BN_bn2hex(number.get()) : nullptr;
    std::string text = hex ? hex : "";
    OPENSSL_free(hex);
    return text;
}

using AsnTimePtr = std::unique_ptr<ASN1_TIME, OsslFree<ASN1_TIME_free>>;

} // namespace

struct TestOcsp::Keys {
    X509Ptr issuer, signer;
    EvpPkeyPtr key;
};

TestOcsp::TestOcsp(const std::string& issuer, const std::string& signerCertificate, const std::string& signerKey)
    : m_keys(std::make_unique<Keys>())
{
    EnsureGostEngine();
    m_keys->issuer.reset(ReadPem<X509, PEM_read_bio_X509>(issuer));
    m_keys->signer.reset(ReadPem<X509, PEM_read_bio_X509>(signerCertificate));
    m_keys->key.reset(ReadPem<EVP_PKEY, PEM_read_bio_PrivateKey>(signerKey));
    m_server = std::make_unique<LoopbackHttpServer>([this](const std::string&, const std::string& body) {
        return std::optional<LoopbackHttpServer::Answer>({"application/ocsp-response", reply(body)});
    });
}

TestOcsp::~TestOcsp() { m_server.reset(); }

void TestOcsp::setStatus(const std::string& serialHex, Status status)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_statuses[serialHex] = status;
}

std::string TestOcsp::reply(const std::string& body)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    ++m_answered;
    const auto* cursor = reinterpret_cast<const unsigned char*>(body.data());
    OcspRequestPtr request(d2i_OCSP_REQUEST(nullptr, &cursor, static_cast<long>(body.size())));
    OcspBasicPtr basic(OCSP_BASICRESP_new());
    if (!request || !basic)
        return {};
    AsnTimePtr now(X509_gmtime_adj(nullptr, 0));
    AsnTimePtr next(X509_gmtime_adj(nullptr, 24L * 3600));
    AsnTimePtr revokedAt(X509_gmtime_adj(nullptr, -60));
    for (int i = 0; i < OCSP_request_onereq_count(request.get()); ++i) {
        OCSP_CERTID* id = OCSP_onereq_get0_id(OCSP_request_onereq_get0(request.get(), i));
        ASN1_INTEGER* serial = nullptr;
        OCSP_id_get0_info(nullptr, nullptr, nullptr, &serial, id);
        const auto found = m_statuses.find(SerialHex(serial));
        const Status status = found == m_statuses.end() ? Status::Good : found->second;
        const int code = status == Status::Good      ? V_OCSP_CERTSTATUS_GOOD
                         : status == Status::Revoked ? V_OCSP_CERTSTATUS_REVOKED
                                                     : V_OCSP_CERTSTATUS_UNKNOWN;
        OCSP_basic_add1_status(basic.get(), id, code, OCSP_REVOKED_STATUS_UNSPECIFIED,
                               status == Status::Revoked ? revokedAt.get() : nullptr, now.get(), next.get());
    }
    OCSP_copy_nonce(basic.get(), request.get());
    const EVP_MD* md = EVP_get_digestbyname("md_gost12_256");
    if (OCSP_basic_sign(basic.get(), m_keys->signer.get(), m_keys->key.get(), md, nullptr, 0) != 1) {
        ERR_clear_error();
        return {};
    }
    OcspResponsePtr response(OCSP_response_create(OCSP_RESPONSE_STATUS_SUCCESSFUL, basic.get()));
    unsigned char* out = nullptr;
    const int length = response ? i2d_OCSP_RESPONSE(response.get(), &out) : 0;
    std::string bytes(reinterpret_cast<char*>(out), static_cast<std::size_t>(length > 0 ? length : 0));
    OPENSSL_free(out);
    return bytes;
}

} // namespace ordalis::test
