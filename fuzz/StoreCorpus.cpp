#include "fuzz/StoreCorpus.h"

#include "cryptomsg/cryptoapi/Ossl.h"
#include "cryptomsg/store/CertificateIds.h"
#include "fuzz/CorpusFiles.h"

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/pkcs12.h>

#include <stdexcept>
#include <string>

namespace ordalis::fuzz {

namespace {

namespace fs = std::filesystem;

// The password of every protected seed; the targets' password prompts answer it first.
constexpr char kPassword[] = "fuzz";

using P8InfoPtr = std::unique_ptr<PKCS8_PRIV_KEY_INFO, OsslFree<PKCS8_PRIV_KEY_INFO_free>>;
using X509SigPtr = std::unique_ptr<X509_SIG, OsslFree<X509_SIG_free>>;
using AlgorPtr = std::unique_ptr<X509_ALGOR, OsslFree<X509_ALGOR_free>>;

template <class Writer>
Bytes Pem(Writer write)
{
    BioPtr bio(BIO_new(BIO_s_mem()));
    if (!bio || !write(bio.get()))
        throw std::runtime_error("cannot write PEM");
    char* data = nullptr;
    const long length = BIO_get_mem_data(bio.get(), &data);
    return Bytes(data, data + length);
}

Bytes CertificatePem(X509* certificate)
{
    return Pem([&](BIO* bio) { return PEM_write_bio_X509(bio, certificate) == 1; });
}

Bytes CertificateDer(X509* certificate)
{
    unsigned char* der = nullptr;
    const int length = i2d_X509(certificate, &der);
    if (length <= 0)
        throw std::runtime_error("cannot encode a certificate");
    Bytes bytes(der, der + length);
    OPENSSL_free(der);
    return bytes;
}

Bytes PlainKeyPem(EVP_PKEY* key)
{
    return Pem(
        [&](BIO* bio) { return PEM_write_bio_PrivateKey(bio, key, nullptr, nullptr, 0, nullptr, nullptr) == 1; });
}

// PKCS#8 under PBES2 with one PBKDF2 iteration, so that the fuzz targets' bound lets it through.
Bytes EncryptedKeyPem(EVP_PKEY* key, const EVP_CIPHER* cipher, int prf)
{
    const P8InfoPtr info(EVP_PKEY2PKCS8(key));
    AlgorPtr pbe(cipher ? PKCS5_pbe2_set_iv(cipher, 1, nullptr, 0, nullptr, prf) : nullptr);
    if (!info || !pbe)
        throw std::runtime_error("cannot set up key encryption");
    const X509SigPtr sealed(PKCS8_set0_pbe(kPassword, sizeof kPassword - 1, info.get(), pbe.get()));
    if (!sealed)
        throw std::runtime_error("cannot encrypt a key");
    pbe.release(); // the sealed key owns it now
    return Pem([&](BIO* bio) { return PEM_write_bio_PKCS8(bio, sealed.get()) == 1; });
}

struct BundleForm {
    const char* password;
    EVP_PKEY* key;
    int keyCipher;
    int certificateCipher;
    int macIterations; // -1: no MAC
    const EVP_MD* macDigest = nullptr;
};

Bytes Bundle(const KeyAndCertificate& pair, const BundleForm& form)
{
    Pkcs12Ptr bundle(PKCS12_create(form.password, "seed", form.key, pair.certificate.get(), nullptr, form.keyCipher,
                                   form.certificateCipher, 1, form.macIterations, 0));
    if (bundle && form.macDigest && PKCS12_set_mac(bundle.get(), form.password, -1, nullptr, 0, 1, form.macDigest) != 1)
        bundle.reset();
    if (!bundle)
        throw std::runtime_error("cannot make a PKCS#12 bundle");
    unsigned char* der = nullptr;
    const int length = i2d_PKCS12(bundle.get(), &der);
    Bytes bytes(der, der + (length > 0 ? length : 0));
    OPENSSL_free(der);
    return bytes;
}

Bytes Joined(std::initializer_list<Bytes> parts)
{
    Bytes all;
    for (const Bytes& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

// The store folder target's form: each file as "@@ NAME" and its content.
Bytes Folder(std::initializer_list<std::pair<const char*, Bytes>> files)
{
    Bytes all;
    for (const auto& [name, content] : files) {
        const Bytes head = TextBytes(std::string(all.empty() ? "" : "\n") + "@@ " + name + "\n");
        all.insert(all.end(), head.begin(), head.end());
        all.insert(all.end(), content.begin(), content.end());
    }
    return all;
}

} // namespace

void MakeStoreCorpus(const fs::path& corpus, const std::vector<const KeyAndCertificate*>& identities)
{
    const KeyAndCertificate& stored = *identities.front();
    const KeyAndCertificate& other = *identities[1];
    const KeyAndCertificate& cyrillic = *identities.back();
    const EVP_CIPHER* gost89 = EVP_get_cipherbyname("gost89");
    const EVP_MD* streebog512 = EVP_get_digestbyname("md_gost12_512");
    if (!gost89 || !streebog512)
        throw std::runtime_error("the GOST cipher or digest is not available");

    const Bytes aesKey = EncryptedKeyPem(stored.key.get(), EVP_aes_256_cbc(), NID_hmacWithSHA256);
    const Bytes gostKey = EncryptedKeyPem(other.key.get(), gost89, NID_id_tc26_hmac_gost_3411_2012_512);
    const Bytes protectedBundle = Bundle(other, {kPassword, other.key.get(), 0, 0, 1});
    const Bytes gostBundle =
        Bundle(cyrillic, {kPassword, cyrillic.key.get(), NID_id_Gost28147_89, NID_id_Gost28147_89, -1, streebog512});
    const Bytes openBundle = Bundle(other, {"", other.key.get(), 0, -1, -1});
    const Bytes certificatesOnly = Bundle(stored, {"", nullptr, 0, -1, 1});

    const fs::path import = corpus / "store_import";
    WriteSeed(import / "identity.pem", Joined({CertificatePem(other.certificate.get()), PlainKeyPem(other.key.get())}));
    WriteSeed(import / "key-of-stored.pem", PlainKeyPem(stored.key.get()));
    WriteSeed(import / "encrypted-key-of-stored.pem", aesKey);
    WriteSeed(import / "gost-encrypted-key.pem", Joined({CertificatePem(other.certificate.get()), gostKey}));
    WriteSeed(import / "certificate.cer", CertificateDer(cyrillic.certificate.get()));
    WriteSeed(import / "protected.p12", protectedBundle);
    WriteSeed(import / "gost.p12", gostBundle);
    WriteSeed(import / "no-mac.p12", openBundle);
    WriteSeed(import / "certificates-only.p12", certificatesOnly);

    const fs::path folder = corpus / "store_folder";
    const std::string stem = CertificateThumbprint(stored.certificate.get());
    WriteSeed(folder / "pair-by-name", Folder({{(stem + ".crt").c_str(), CertificatePem(stored.certificate.get())},
                                               {(stem + ".key").c_str(), aesKey}}));
    WriteSeed(folder / "mixed",
              Folder({{"a.pem", Joined({CertificatePem(other.certificate.get()), PlainKeyPem(other.key.get())})},
                      {"b.cer", CertificateDer(cyrillic.certificate.get())},
                      {"c.p12", protectedBundle},
                      {"d.p12", openBundle},
                      {".e.tmp", CertificatePem(stored.certificate.get())},
                      {"f.crt", CertificatePem(other.certificate.get())}}));
    WriteSeed(folder / "gost",
              Folder({{"g.p12", gostBundle}, {"h.pem", gostKey}, {"h.crt", CertificateDer(other.certificate.get())}}));

    const fs::path ids = corpus / "certificate_id";
    WriteSeed(ids / "serial", TextBytes(CertificateSerialHex(stored.certificate.get())));
    WriteSeed(ids / "serial-prefixed", TextBytes("serial=" + CertificateSerialHex(other.certificate.get())));
    WriteSeed(ids / "thumbprint", TextBytes(CertificateThumbprint(cyrillic.certificate.get())));
    WriteSeed(ids / "subject-part", TextBytes(" seed GOST2012 "));
    WriteSeed(ids / "cyrillic-part", TextBytes("Иванов Иван"));
    WriteSeed(ids / "cyrillic-company", TextBytes("ООО \"Ромашка\""));
}

} // namespace ordalis::fuzz
