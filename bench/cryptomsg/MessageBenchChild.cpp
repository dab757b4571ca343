#include "bench/cryptomsg/MessageBenchChild.h"

#include "common/ByteBuffer.h"
#include "common/Error.h"
#include "common/FileContent.h"
#include "common/LastError.h"
#include "cryptomsg/cryptoapi/CertContextInternal.h"
#include "cryptomsg/cryptoapi/CryptoApi.h"
#include "cryptomsg/cryptoapi/CryptoRuntime.h"
#include "cryptomsg/messages/MessageApi.h"
#include "cryptomsg/store/StoreApi.h"

#include <openssl/pem.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace ordalis::bench {

namespace {

[[noreturn]] void Fail(const std::string& what)
{
    throw Error(what + ": code 0x" + [] {
        char hex[16];
        std::snprintf(hex, sizeof hex, "%08X", GetLastError());
        return std::string(hex);
    }());
}

X509Ptr ReadCertificate(const std::string& path)
{
    BioPtr file(BIO_new_file(path.c_str(), "r"));
    X509Ptr certificate(file ? PEM_read_bio_X509(file.get(), nullptr, nullptr, nullptr) : nullptr);
    if (!certificate)
        throw Error("cannot read " + path);
    return certificate;
}

EvpPkeyPtr ReadKey(const std::string& path)
{
    BioPtr file(BIO_new_file(path.c_str(), "r"));
    EvpPkeyPtr key(file ? PEM_read_bio_PrivateKey(file.get(), nullptr, nullptr, nullptr) : nullptr);
    if (!key)
        throw Error("cannot read " + path);
    return key;
}

// Plain writes: the comparison is of the message functions, not of fsync.
void WriteWhole(const std::string& path, const ByteBuffer& bytes)
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    const bool ok = file && std::fwrite(bytes.data(), 1, bytes.length(), file) == bytes.length();
    if (!file || std::fclose(file) != 0 || !ok)
        throw Error("cannot write " + path);
}

int Sign(char** args)
{
    CertContextPtr signer(NewCertContext(ReadCertificate(args[0]), nullptr));
    EvpPkeyPtr key = ReadKey(args[1]);
    SetCertContextKey(signer.get(), key.get());
    const FileContent content = FileContent::load(args[3]);

    PCCERT_CONTEXT context = signer.get();
    CRYPT_SIGN_MESSAGE_PARA para{};
    para.cbSize = kSignMessageParaSize;
    para.dwMsgEncodingType = kEncodingType;
    para.pSigningCert = context;
    para.HashAlgorithm.pszObjId = args[2];
    para.cMsgCert = 1;
    para.rgpMsgCert = &context;
    const BYTE* parts[] = {content.data()};
    DWORD sizes[] = {static_cast<DWORD>(content.length())};
    DWORD size = 0;
    if (!CryptSignMessage(&para, 1, 1, parts, sizes, nullptr, &size))
        Fail("size pass");
    ByteBuffer signature;
    signature.setSize(size);
    if (!CryptSignMessage(&para, 1, 1, parts, sizes, signature.data(), &size))
        Fail("signing pass");
    signature.setSize(size);
    WriteWhole(args[4], signature);
    return 0;
}

int Verify(char** args)
{
    const FileContent content = FileContent::load(args[0]);
    const FileContent signature = FileContent::load(args[1]);
    CRYPT_VERIFY_MESSAGE_PARA para{};
    para.cbSize = kVerifyMessageParaSize;
    para.dwMsgAndCertEncodingType = kEncodingType;
    const BYTE* parts[] = {content.data()};
    DWORD sizes[] = {static_cast<DWORD>(content.length())};
    PCCERT_CONTEXT signer = nullptr;
    if (!CryptVerifyDetachedMessageSignature(&para, 0, signature.data(), static_cast<DWORD>(signature.length()), 1,
                                             parts, sizes, &signer))
        Fail("verification");
    CertFreeCertificateContext(signer);
    return 0;
}

int Encrypt(char** args)
{
    CertContextPtr recipient(NewCertContext(ReadCertificate(args[0]), nullptr));
    const FileContent content = FileContent::load(args[2]);
    CRYPT_ENCRYPT_MESSAGE_PARA para{};
    para.cbSize = kEncryptMessageParaSize;
    para.dwMsgEncodingType = kEncodingType;
    para.ContentEncryptionAlgorithm.pszObjId = args[1];
    PCCERT_CONTEXT recipients[] = {recipient.get()};
    DWORD size = 0;
    if (!CryptEncryptMessage(&para, 1, recipients, content.data(), static_cast<DWORD>(content.length()), nullptr,
                             &size))
        Fail("size pass");
    ByteBuffer envelope;
    envelope.setSize(size);
    if (!CryptEncryptMessage(&para, 1, recipients, content.data(), static_cast<DWORD>(content.length()),
                             envelope.data(), &size))
        Fail("encryption pass");
    envelope.setSize(size);
    WriteWhole(args[3], envelope);
    return 0;
}

int Decrypt(char** args)
{
    CertStorePtr store(CertOpenSystemStoreA(nullptr, "MY"));
    HCERTSTORE stores[] = {store.get()};
    CRYPT_DECRYPT_MESSAGE_PARA para{kDecryptMessageParaSize, kEncodingType, 1, stores};
    const FileContent envelope = FileContent::load(args[0]);
    DWORD size = 0;
    if (!CryptDecryptMessage(&para, envelope.data(), static_cast<DWORD>(envelope.length()), nullptr, &size, nullptr))
        Fail("size pass");
    ByteBuffer content;
    content.setSize(size);
    if (!CryptDecryptMessage(&para, envelope.data(), static_cast<DWORD>(envelope.length()), content.data(), &size,
                             nullptr))
        Fail("decryption pass");
    content.setSize(size);
    WriteWhole(args[1], content);
    return 0;
}

} // namespace

int RunMessageStep(int argc, char** argv)
{
    struct Step {
        const char* name;
        int arguments;
        int (*run)(char**);
    };
    static const Step steps[] = {
        {"sign", 5, Sign}, {"verify", 2, Verify}, {"encrypt", 4, Encrypt}, {"decrypt", 2, Decrypt}};
    try {
        if (!EnsureGostEngine())
            throw Error("the GOST engine is not available");
        for (const Step& step : steps)
            if (argc == step.arguments + 1 && std::strcmp(argv[0], step.name) == 0)
                return step.run(argv + 1);
        throw Error("unknown step");
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_messages step: %s\n", e.what());
        return 2;
    }
}

} // namespace ordalis::bench
