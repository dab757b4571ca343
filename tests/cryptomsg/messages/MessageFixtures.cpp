#include "tests/cryptomsg/messages/MessageFixtures.h"

#include "common/LastError.h"
#include "cryptomsg/cryptoapi/CertContextInternal.h"

#include <openssl/err.h>
#include <openssl/pem.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <stdexcept>

namespace ordalis::test {

namespace {

const BYTE* Bytes(const std::string& s) { return reinterpret_cast<const BYTE*>(s.data()); }
DWORD Size(const std::string& s) { return static_cast<DWORD>(s.size()); }

std::string QueuedErrors()
{
    std::string text;
    while (const unsigned long error = ERR_get_error()) {
        char line[256];
        ERR_error_string_n(error, line, sizeof line);
        text += std::string(line) + "; ";
    }
    return text;
}

// Runs one message call in its two passes: size, then data, then cut to the size returned.
template <class Call>
Outcome TwoPasses(Call call)
{
    Outcome outcome;
    DWORD size = 0;
    if (!call(nullptr, &size)) {
        outcome.error = GetLastError();
        if (ERR_peek_error() != 0)
            throw std::logic_error("a failed call left OpenSSL errors queued for the next one");
        return outcome;
    }
    outcome.bytes.assign(size, '\0');
    if (!call(reinterpret_cast<BYTE*>(outcome.bytes.data()), &size)) {
        outcome.error = GetLastError();
        if (ERR_peek_error() != 0)
            throw std::logic_error("a failed call left OpenSSL errors queued for the next one");
        outcome.bytes.clear();
        return outcome;
    }
    if (size > outcome.bytes.size())
        throw std::logic_error("the data pass wrote more than the size pass allowed");
    outcome.bytes.resize(size);
    outcome.ok = true;
    if (ERR_peek_error() != 0)
        throw std::logic_error("a successful call left OpenSSL errors queued for the next one: " + QueuedErrors());
    return outcome;
}

void WritePem(const std::string& path, const std::function<int(BIO*)>& write)
{
    BioPtr out(BIO_new_file(path.c_str(), "wb"));
    if (!out || write(out.get()) != 1)
        throw std::runtime_error("cannot write " + path);
}

} // namespace

const std::vector<GostCase>& GostCases()
{
    static const std::vector<GostCase> cases = {
        {KeyAlgorithm::Gost2001, "1.2.643.2.2.19", "1.2.643.2.2.9", "md_gost94"},
        {KeyAlgorithm::Gost2012_256, "1.2.643.7.1.1.1.1", "1.2.643.7.1.1.2.2", "md_gost12_256"},
        {KeyAlgorithm::Gost2012_512, "1.2.643.7.1.1.1.2", "1.2.643.7.1.1.2.3", "md_gost12_512"},
    };
    return cases;
}

std::string CaseName(KeyAlgorithm algorithm)
{
    switch (algorithm) {
    case KeyAlgorithm::Gost2001: return "gost2001";
    case KeyAlgorithm::Gost2012_256: return "gost2012_256";
    case KeyAlgorithm::Gost2012_512: return "gost2012_512";
    case KeyAlgorithm::Rsa2048: return "rsa2048";
    }
    return "unknown";
}

void PrintTo(const GostCase& gost, std::ostream* out) { *out << CaseName(gost.algorithm); }

Identity MakeIdentity(KeyAlgorithm algorithm, const std::string& subject)
{
    CertificateRequest request;
    request.algorithm = algorithm;
    request.subject = subject;
    Identity identity;
    identity.pair = MakeSelfSignedCertificate(request);
    X509_up_ref(identity.pair.certificate.get());
    identity.context.reset(NewCertContext(X509Ptr(identity.pair.certificate.get()), nullptr));
    if (!identity.context)
        throw std::runtime_error("cannot make a certificate context");
    // As CryptAcquireCertificatePrivateKey leaves it for a store certificate.
    SetCertContextKey(identity.context.get(), identity.pair.key.get());
    return identity;
}

std::string WriteCertificatePem(const Identity& identity, const std::string& path)
{
    WritePem(path, [&](BIO* out) { return PEM_write_bio_X509(out, identity.pair.certificate.get()); });
    return path;
}

std::string WriteKeyPem(const Identity& identity, const std::string& path)
{
    WritePem(path, [&](BIO* out) {
        return PEM_write_bio_PrivateKey(out, identity.pair.key.get(), nullptr, nullptr, 0, nullptr, nullptr);
    });
    return path;
}

CRYPT_SIGN_MESSAGE_PARA SignPara(PCCERT_CONTEXT* signer, const char* hashOid)
{
    CRYPT_SIGN_MESSAGE_PARA para{};
    para.cbSize = kSignMessageParaSize;
    para.dwMsgEncodingType = kEncodingType;
    para.pSigningCert = *signer;
    para.HashAlgorithm.pszObjId = hashOid;
    para.cMsgCert = 1;
    para.rgpMsgCert = signer;
    return para;
}

Outcome SignMessage(PCCERT_CONTEXT signer, const char* hashOid, const std::string& content, bool detached)
{
    const CRYPT_SIGN_MESSAGE_PARA para = SignPara(&signer, hashOid);
    const BYTE* parts[] = {Bytes(content)};
    DWORD sizes[] = {Size(content)};
    return TwoPasses([&](BYTE* out, DWORD* size) {
        return CryptSignMessage(&para, detached ? 1 : 0, 1, parts, sizes, out, size) != 0;
    });
}

Outcome VerifyDetached(const std::string& signature, const std::string& content, CertContextPtr* signer)
{
    CRYPT_VERIFY_MESSAGE_PARA para{};
    para.cbSize = kVerifyMessageParaSize;
    para.dwMsgAndCertEncodingType = kEncodingType;
    const BYTE* parts[] = {Bytes(content)};
    DWORD sizes[] = {Size(content)};
    PCCERT_CONTEXT found = nullptr;
    Outcome outcome;
    outcome.ok =
        CryptVerifyDetachedMessageSignature(&para, 0, Bytes(signature), Size(signature), 1, parts, sizes, &found) != 0;
    outcome.error = outcome.ok ? 0 : GetLastError();
    if (ERR_peek_error() != 0)
        throw std::logic_error("a verification left OpenSSL errors queued for the next call");
    CertContextPtr owned(found);
    if (signer)
        *signer = std::move(owned);
    return outcome;
}

Outcome EncryptMessage(const std::vector<PCCERT_CONTEXT>& recipients, const char* algorithmOid,
                       const std::string& content)
{
    CRYPT_ENCRYPT_MESSAGE_PARA para{};
    para.cbSize = kEncryptMessageParaSize;
    para.dwMsgEncodingType = kEncodingType;
    para.ContentEncryptionAlgorithm.pszObjId = algorithmOid;
    std::vector<PCCERT_CONTEXT> list = recipients;
    return TwoPasses([&](BYTE* out, DWORD* size) {
        return CryptEncryptMessage(&para, static_cast<DWORD>(list.size()), list.data(), Bytes(content), Size(content),
                                   out, size) != 0;
    });
}

Outcome DecryptMessage(const std::vector<HCERTSTORE>& stores, const std::string& message, CertContextPtr* exchange)
{
    std::vector<HCERTSTORE> list = stores;
    CRYPT_DECRYPT_MESSAGE_PARA para{};
    para.cbSize = kDecryptMessageParaSize;
    para.dwMsgAndCertEncodingType = kEncodingType;
    para.cCertStore = static_cast<DWORD>(list.size());
    para.rghCertStore = list.data();
    PCCERT_CONTEXT found = nullptr;
    Outcome outcome = TwoPasses([&](BYTE* out, DWORD* size) {
        return CryptDecryptMessage(&para, Bytes(message), Size(message), out, size, out ? &found : nullptr) != 0;
    });
    CertContextPtr owned(found);
    if (exchange)
        *exchange = std::move(owned);
    return outcome;
}

std::string PseudoRandomBytes(std::size_t size, unsigned seed)
{
    std::string bytes(size, '\0');
    std::uint32_t state = seed * 2654435761u + 1;
    for (char& c : bytes) {
        state = state * 1664525u + 1013904223u;
        c = static_cast<char>(state >> 24);
    }
    return bytes;
}

std::string KeyFileOf(const std::string& certificateFile)
{
    return std::filesystem::path(certificateFile).replace_extension(".key").string();
}

} // namespace ordalis::test
