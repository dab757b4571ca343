#include "cryptomsg/cryptoapi/CertContextInternal.h"

#include "common/ErrorCodes.h"
#include "common/LastError.h"
#include "cryptomsg/cryptoapi/CryptoRuntime.h"
#include "cryptomsg/cryptoapi/OsslError.h"

#include <openssl/objects.h>

#include <algorithm>
#include <atomic>
#include <ctime>
#include <mutex>
#include <string>
#include <vector>

namespace ordalis {

namespace {

// A context with the storage its CERT_INFO points into.
struct CertContextImpl : CERT_CONTEXT {
    std::atomic<int> references{1};
    X509Ptr certificate;
    std::shared_ptr<CertStore> store;
    std::mutex keyMutex;
    EvpPkeyPtr key;
    CERT_INFO info{};
    std::vector<BYTE> encoded, serial, issuer, subject, publicKey, keyParameters;
    std::string keyAlgorithm, signatureAlgorithm;
};

CertContextImpl* Impl(PCCERT_CONTEXT context)
{
    return static_cast<CertContextImpl*>(const_cast<CERT_CONTEXT*>(context));
}

template <class T, class Encode>
std::vector<BYTE> Der(const T* object, Encode encode)
{
    const int length = encode(object, nullptr);
    if (length <= 0)
        return {};
    std::vector<BYTE> bytes(static_cast<std::size_t>(length));
    BYTE* out = bytes.data();
    encode(object, &out);
    return bytes;
}

std::string OidText(const ASN1_OBJECT* object)
{
    char text[128];
    const int length = OBJ_obj2txt(text, sizeof text, object, 1);
    return length > 0 && static_cast<std::size_t>(length) < sizeof text ? std::string(text) : std::string();
}

// The content octets of the DER INTEGER, least significant first.
std::vector<BYTE> SerialBytes(const ASN1_INTEGER* serial)
{
    std::vector<BYTE> der = Der(serial, [](const ASN1_INTEGER* s, BYTE** out) { return i2d_ASN1_INTEGER(s, out); });
    const unsigned char* p = der.data();
    long length = 0;
    int tag = 0, cls = 0;
    if (der.empty() || ASN1_get_object(&p, &length, &tag, &cls, static_cast<long>(der.size())) & 0x80)
        return {};
    std::vector<BYTE> content(p, p + length);
    std::reverse(content.begin(), content.end());
    return content;
}

FILETIME FileTimeOf(const ASN1_TIME* time)
{
    std::tm tm{};
    if (!time || ASN1_TIME_to_tm(time, &tm) != 1)
        return {0, 0};
    return FileTimeFromUnix(timegm(&tm));
}

std::vector<BYTE> ParameterBytes(const X509_ALGOR* algorithm)
{
    const ASN1_OBJECT* object = nullptr;
    int type = V_ASN1_UNDEF;
    const void* value = nullptr;
    X509_ALGOR_get0(&object, &type, &value, algorithm);
    if (type == V_ASN1_UNDEF)
        return {};
    std::unique_ptr<ASN1_TYPE, OsslFree<ASN1_TYPE_free>> any(ASN1_TYPE_new());
    if (!any || ASN1_TYPE_set1(any.get(), type, value) != 1)
        return {};
    return Der(any.get(), [](const ASN1_TYPE* a, BYTE** out) { return i2d_ASN1_TYPE(a, out); });
}

CRYPT_INTEGER_BLOB Blob(std::vector<BYTE>& bytes)
{
    return {static_cast<DWORD>(bytes.size()), bytes.empty() ? nullptr : bytes.data()};
}

bool Fill(CertContextImpl& c)
{
    X509* x = c.certificate.get();
    c.encoded = Der(x, [](const X509* cert, BYTE** out) { return i2d_X509(cert, out); });
    c.serial = SerialBytes(X509_get0_serialNumber(x));
    c.issuer = Der(X509_get_issuer_name(x), [](const X509_NAME* n, BYTE** out) { return i2d_X509_NAME(n, out); });
    c.subject = Der(X509_get_subject_name(x), [](const X509_NAME* n, BYTE** out) { return i2d_X509_NAME(n, out); });

    const X509_ALGOR* signatureAlgorithm = nullptr;
    X509_get0_signature(nullptr, &signatureAlgorithm, x);
    const ASN1_OBJECT* signatureObject = nullptr;
    X509_ALGOR_get0(&signatureObject, nullptr, nullptr, signatureAlgorithm);
    c.signatureAlgorithm = OidText(signatureObject);

    ASN1_OBJECT* keyObject = nullptr;
    const unsigned char* key = nullptr;
    int keyLength = 0;
    X509_ALGOR* keyAlgorithm = nullptr;
    if (X509_PUBKEY_get0_param(&keyObject, &key, &keyLength, &keyAlgorithm, X509_get_X509_PUBKEY(x)) != 1)
        return false;
    c.keyAlgorithm = OidText(keyObject);
    c.keyParameters = ParameterBytes(keyAlgorithm);
    c.publicKey.assign(key, key + keyLength);
    if (c.encoded.empty() || c.issuer.empty() || c.subject.empty())
        return false;

    c.info.dwVersion = static_cast<DWORD>(X509_get_version(x));
    c.info.SerialNumber = Blob(c.serial);
    c.info.SignatureAlgorithm = {c.signatureAlgorithm.c_str(), {0, nullptr}};
    c.info.Issuer = Blob(c.issuer);
    c.info.NotBefore = FileTimeOf(X509_get0_notBefore(x));
    c.info.NotAfter = FileTimeOf(X509_get0_notAfter(x));
    c.info.Subject = Blob(c.subject);
    c.info.SubjectPublicKeyInfo = {{c.keyAlgorithm.c_str(), Blob(c.keyParameters)},
                                   {static_cast<DWORD>(c.publicKey.size()), c.publicKey.data(), 0}};
    c.dwCertEncodingType = X509_ASN_ENCODING;
    c.pbCertEncoded = c.encoded.data();
    c.cbCertEncoded = static_cast<DWORD>(c.encoded.size());
    c.pCertInfo = &c.info;
    c.hCertStore = c.store.get();
    return true;
}

} // namespace

PCCERT_CONTEXT NewCertContext(X509Ptr certificate, std::shared_ptr<CertStore> store)
{
    if (!certificate) {
        FailWith(codes::InvalidArg);
        return nullptr;
    }
    auto context = std::make_unique<CertContextImpl>();
    context->certificate = std::move(certificate);
    context->store = std::move(store);
    if (!Fill(*context)) {
        FailFromOpenSsl(codes::Asn1Corrupt);
        return nullptr;
    }
    return context.release();
}

X509* CertContextX509(PCCERT_CONTEXT context) { return context ? Impl(context)->certificate.get() : nullptr; }

std::shared_ptr<CertStore> CertContextStore(PCCERT_CONTEXT context) { return context ? Impl(context)->store : nullptr; }

void SetCertContextKey(PCCERT_CONTEXT context, EVP_PKEY* key)
{
    if (!context)
        return;
    if (key)
        EVP_PKEY_up_ref(key); // engine keys cannot be duplicated, only shared
    CertContextImpl* c = Impl(context);
    std::lock_guard lock(c->keyMutex);
    c->key.reset(key);
}

EvpPkeyPtr CertContextKey(PCCERT_CONTEXT context)
{
    if (!context)
        return nullptr;
    CertContextImpl* c = Impl(context);
    std::lock_guard lock(c->keyMutex);
    if (c->key)
        EVP_PKEY_up_ref(c->key.get());
    return EvpPkeyPtr(c->key.get());
}

PCCERT_CONTEXT CertCreateCertificateContext(DWORD encoding, const BYTE* encoded, DWORD length)
{
    if ((encoding & X509_ASN_ENCODING) == 0 || !encoded || length == 0) {
        FailWith(codes::InvalidArg);
        return nullptr;
    }
    // A GOST public key read before the engine is loaded stays unusable for
    // encryption; without the engine the certificate still reads.
    EnsureGostEngine();
    const unsigned char* p = encoded;
    X509Ptr certificate(d2i_X509(nullptr, &p, static_cast<long>(length)));
    if (!certificate) {
        FailFromOpenSsl(codes::Asn1BadTag);
        return nullptr;
    }
    // One certificate and nothing else: trailing bytes mean it was not a DER certificate file.
    if (p != encoded + length) {
        FailWith(codes::Asn1Corrupt);
        return nullptr;
    }
    return NewCertContext(std::move(certificate), nullptr);
}

PCCERT_CONTEXT CertDuplicateCertificateContext(PCCERT_CONTEXT context)
{
    if (context)
        Impl(context)->references.fetch_add(1, std::memory_order_relaxed);
    return context;
}

BOOL CertFreeCertificateContext(PCCERT_CONTEXT context)
{
    if (context && Impl(context)->references.fetch_sub(1, std::memory_order_acq_rel) == 1)
        std::unique_ptr<CertContextImpl> last(Impl(context));
    return 1;
}

LONG CertVerifyTimeValidity(const FILETIME* time, const CERT_INFO* info)
{
    const std::int64_t now = time ? FileTimeTicks(*time) : FileTimeTicks(FileTimeFromUnix(std::time(nullptr)));
    if (now < FileTimeTicks(info->NotBefore))
        return -1;
    if (now > FileTimeTicks(info->NotAfter))
        return 1;
    return 0;
}

} // namespace ordalis
