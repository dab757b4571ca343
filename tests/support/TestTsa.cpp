#include "tests/support/TestTsa.h"

#include "cryptomsg/cryptoapi/CryptoRuntime.h"
#include "cryptomsg/messages/LongTermOssl.h"
#include "tests/support/PemFiles.h"

#include <openssl/err.h>
#include <openssl/pem.h>

#include <ctime>
#include <stdexcept>

namespace ordalis::test {

namespace {

using TsRespCtxPtr = std::unique_ptr<TS_RESP_CTX, OsslFree<TS_RESP_CTX_free>>;

int ClockWithOffset(TS_RESP_CTX*, void* data, long* seconds, long* microseconds)
{
    *seconds = static_cast<long>(std::time(nullptr)) + *static_cast<const long*>(data);
    *microseconds = 0;
    return 1;
}

std::string Der(TS_RESP* response)
{
    unsigned char* out = nullptr;
    const int length = i2d_TS_RESP(response, &out);
    std::string bytes(reinterpret_cast<char*>(out), static_cast<std::size_t>(length > 0 ? length : 0));
    OPENSSL_free(out);
    return bytes;
}

// The request with its imprint's first byte or its nonce changed.
std::string Altered(const std::string& request, TestTsa::Mode mode)
{
    const auto* cursor = reinterpret_cast<const unsigned char*>(request.data());
    TsReqPtr parsed(d2i_TS_REQ(nullptr, &cursor, static_cast<long>(request.size())));
    if (!parsed)
        return request;
    if (mode == TestTsa::Mode::WrongImprint) {
        ASN1_OCTET_STRING* digest = TS_MSG_IMPRINT_get_msg(TS_REQ_get_msg_imprint(parsed.get()));
        std::string changed(reinterpret_cast<const char*>(ASN1_STRING_get0_data(digest)),
                            static_cast<std::size_t>(ASN1_STRING_length(digest)));
        changed[0] = static_cast<char>(changed[0] ^ 0x01);
        ASN1_OCTET_STRING_set(digest, reinterpret_cast<const unsigned char*>(changed.data()),
                              static_cast<int>(changed.size()));
    } else {
        AsnIntegerPtr other(ASN1_INTEGER_new());
        ASN1_INTEGER_set(other.get(), 12345);
        TS_REQ_set_nonce(parsed.get(), other.get());
    }
    unsigned char* out = nullptr;
    const int length = i2d_TS_REQ(parsed.get(), &out);
    std::string bytes(reinterpret_cast<char*>(out), static_cast<std::size_t>(length > 0 ? length : 0));
    OPENSSL_free(out);
    return bytes;
}

} // namespace

struct TestTsa::Keys {
    X509Ptr certificate;
    EvpPkeyPtr key;
    long clock = 0;
};

TestTsa::TestTsa(const std::string& certificate, const std::string& key) : m_keys(std::make_unique<Keys>())
{
    EnsureGostEngine();
    m_keys->certificate.reset(ReadPem<X509, PEM_read_bio_X509>(certificate));
    m_keys->key.reset(ReadPem<EVP_PKEY, PEM_read_bio_PrivateKey>(key));
    m_server = std::make_unique<LoopbackHttpServer>(
        [this](const std::string&, const std::string& body) -> std::optional<LoopbackHttpServer::Answer> {
            if (m_mode == Mode::Silent)
                return std::nullopt;
            return LoopbackHttpServer::Answer{"application/timestamp-reply", reply(body)};
        });
}

TestTsa::~TestTsa() { m_server.reset(); }

std::string TestTsa::reply(const std::string& request)
{
    ++m_answered;
    const Mode mode = m_mode;
    if (mode == Mode::Reject) {
        TsRespPtr refusal(TS_RESP_new());
        std::unique_ptr<TS_STATUS_INFO, OsslFree<TS_STATUS_INFO_free>> status(TS_STATUS_INFO_new());
        TS_STATUS_INFO_set_status(status.get(), TS_STATUS_REJECTION);
        TS_RESP_set_status_info(refusal.get(), status.get());
        return Der(refusal.get());
    }
    const std::string asked = mode == Mode::Grant ? request : Altered(request, mode);
    TsRespCtxPtr context(TS_RESP_CTX_new());
    Asn1ObjectPtr policy(OBJ_txt2obj("1.2.3.4.1", 1));
    const EVP_MD* gost256 = EVP_get_digestbyname("md_gost12_256");
    const EVP_MD* gost512 = EVP_get_digestbyname("md_gost12_512");
    const EVP_MD* gost94 = EVP_get_digestbyname("md_gost94");
    m_keys->clock = m_clockOffset;
    TS_RESP_CTX_set_signer_cert(context.get(), m_keys->certificate.get());
    TS_RESP_CTX_set_signer_key(context.get(), m_keys->key.get());
    TS_RESP_CTX_set_signer_digest(context.get(), gost256);
    TS_RESP_CTX_set_ess_cert_id_digest(context.get(), gost256);
    TS_RESP_CTX_set_def_policy(context.get(), policy.get());
    TS_RESP_CTX_add_md(context.get(), gost256);
    TS_RESP_CTX_add_md(context.get(), gost512);
    TS_RESP_CTX_add_md(context.get(), gost94);
    TS_RESP_CTX_set_time_cb(context.get(), ClockWithOffset, &m_keys->clock);
    BioPtr in(BIO_new_mem_buf(asked.data(), static_cast<int>(asked.size())));
    TsRespPtr response(TS_RESP_create_response(context.get(), in.get()));
    ERR_clear_error();
    return response ? Der(response.get()) : std::string();
}

} // namespace ordalis::test
