// Writes the fuzz targets' seed corpora, valid inputs of each kind made by
// Ordalis itself, and the identities the decryption target's store holds:
//   ordalis_fuzz_corpus FOLDER   (the fuzz/ folder of the source tree)
// Each run makes new keys, so the envelopes and fuzz/keys change together.

#include "armour/Armour.h"
#include "common/ByteBuffer.h"
#include "common/LastError.h"
#include "cryptomsg/cryptoapi/CertContextInternal.h"
#include "cryptomsg/cryptoapi/CryptoApi.h"
#include "cryptomsg/cryptoapi/CryptoRuntime.h"
#include "cryptomsg/messages/MessageApi.h"
#include "cryptomsg/store/CertificateIds.h"
#include "cryptomsg/store/KeyContainerImport.h"
#include "cryptomsg/store/SelfSignedCertificate.h"
#include "cryptomsg/store/StoreAdmin.h"
#include "fuzz/FuzzSupport.h"
#include "fuzz/StoreCorpus.h"

#include <openssl/pem.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

using namespace ordalis;

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<BYTE>;

struct Gost {
    KeyAlgorithm algorithm;
    const char* name;
    const char* hashOid;
};

const Gost kGostKeys[] = {
    {KeyAlgorithm::Gost2001, "gost2001", "1.2.643.2.2.9"},
    {KeyAlgorithm::Gost2012_256, "gost2012_256", "1.2.643.7.1.1.2.2"},
    {KeyAlgorithm::Gost2012_512, "gost2012_512", "1.2.643.7.1.1.2.3"},
};

void Write(const fs::path& file, const Bytes& bytes)
{
    fs::create_directories(file.parent_path());
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + file.string());
}

template <class T, class Encode>
Bytes Der(T* object, Encode encode)
{
    const int length = encode(object, nullptr);
    if (length <= 0)
        throw std::runtime_error("cannot encode");
    Bytes bytes(static_cast<std::size_t>(length));
    BYTE* out = bytes.data();
    encode(object, &out);
    return bytes;
}

Bytes CertificateDer(X509* certificate) { return Der(certificate, i2d_X509); }
Bytes NameDer(X509_NAME* name) { return Der(name, i2d_X509_NAME); }

// A context for the certificate with its key at hand, as signing expects it.
CertContextPtr SigningContext(const KeyAndCertificate& pair)
{
    X509_up_ref(pair.certificate.get());
    CertContextPtr context(NewCertContext(X509Ptr(pair.certificate.get()), nullptr));
    if (!context)
        throw std::runtime_error("cannot make a certificate context");
    SetCertContextKey(context.get(), pair.key.get());
    return context;
}

// Calls a message function in its two passes and returns what it wrote.
template <class Call>
Bytes TwoPasses(const char* what, Call call)
{
    DWORD size = 0;
    if (!call(nullptr, &size))
        throw std::runtime_error(std::string(what) + " failed: " + std::to_string(GetLastError()));
    Bytes out(size);
    if (!call(out.data(), &size))
        throw std::runtime_error(std::string(what) + " failed: " + std::to_string(GetLastError()));
    out.resize(size);
    return out;
}

Bytes Sign(PCCERT_CONTEXT signer, const char* hashOid, bool detached)
{
    CRYPT_SIGN_MESSAGE_PARA para{};
    para.cbSize = kSignMessageParaSize;
    para.dwMsgEncodingType = kEncodingType;
    para.pSigningCert = signer;
    para.HashAlgorithm.pszObjId = hashOid;
    para.cMsgCert = 1;
    para.rgpMsgCert = &signer;
    const BYTE* parts[] = {fuzz::Bytes(fuzz::kFixedContent)};
    DWORD sizes[] = {static_cast<DWORD>(fuzz::kFixedContent.size())};
    return TwoPasses("signing", [&](BYTE* out, DWORD* size) {
        return CryptSignMessage(&para, detached ? 1 : 0, 1, parts, sizes, out, size) != 0;
    });
}

Bytes Encrypt(PCCERT_CONTEXT recipient)
{
    CRYPT_ENCRYPT_MESSAGE_PARA para{};
    para.cbSize = kEncryptMessageParaSize;
    para.dwMsgEncodingType = kEncodingType;
    para.ContentEncryptionAlgorithm.pszObjId = recipient->pCertInfo->SubjectPublicKeyInfo.Algorithm.pszObjId;
    PCCERT_CONTEXT recipients[] = {recipient};
    return TwoPasses("encryption", [&](BYTE* out, DWORD* size) {
        return CryptEncryptMessage(&para, 1, recipients, fuzz::Bytes(fuzz::kFixedContent),
                                   static_cast<DWORD>(fuzz::kFixedContent.size()), out, size) != 0;
    });
}

Bytes Armoured(const Bytes& bytes)
{
    ByteBuffer in, out;
    in.write(bytes.data(), bytes.size());
    in.setPosition(0);
    ArmourEncode(in, out);
    return Bytes(out.data(), out.data() + out.length());
}

Bytes Text(std::string_view text) { return Bytes(text.begin(), text.end()); }

// The certificate and its unprotected key in one PEM file, as the store imports it.
void WriteIdentity(const fs::path& file, const KeyAndCertificate& pair)
{
    fs::create_directories(file.parent_path());
    const std::unique_ptr<BIO, OsslFree<BIO_free_all>> out(BIO_new_file(file.string().c_str(), "wb"));
    if (!out || PEM_write_bio_X509(out.get(), pair.certificate.get()) != 1 ||
        PEM_write_bio_PrivateKey(out.get(), pair.key.get(), nullptr, nullptr, 0, nullptr, nullptr) != 1)
        throw std::runtime_error("cannot write " + file.string());
}

// Names with what the text rules treat specially: several values in one RDN,
// separators and quotes, blanks at the ends, Cyrillic in UTF-8 and in UCS-2.
void WriteNames(const fs::path& folder)
{
    const X509NamePtr name(X509_NAME_new());
    auto add = [&](const char* field, const std::string& value, int set) {
        if (X509_NAME_add_entry_by_txt(name.get(), field, MBSTRING_UTF8,
                                       reinterpret_cast<const unsigned char*>(value.data()),
                                       static_cast<int>(value.size()), -1, set) != 1)
            throw std::runtime_error("cannot make a name");
    };
    add("C", "RU", 0);
    add("O", "ООО \"Ромашка\", отдел #1", 0);
    add("OU", " blanks ", 0);
    add("CN", "Иванов И. И.", 0);
    add("emailAddress", "ivanov@example.ru", -1);
    add("1.2.643.100.1", "1027700132195", 0);
    Write(folder / "quoted-values", NameDer(name.get()));

    // A BMPString, as older certificate authorities write Cyrillic names: "Тест".
    const X509NamePtr bmp(X509_NAME_new());
    const unsigned char test[] = {0x04, 0x22, 0x04, 0x35, 0x04, 0x41, 0x04, 0x42};
    if (X509_NAME_add_entry_by_txt(bmp.get(), "CN", V_ASN1_BMPSTRING, test, sizeof test, -1, 0) != 1)
        throw std::runtime_error("cannot make a name");
    Write(folder / "bmp", NameDer(bmp.get()));
}

// Arguments of the command-line target, split at zero bytes there.
Bytes Arguments(std::initializer_list<std::string_view> args)
{
    Bytes all;
    for (const std::string_view arg : args) {
        if (!all.empty())
            all.push_back(0);
        all.insert(all.end(), arg.begin(), arg.end());
    }
    return all;
}

void WriteCommandLines(const fs::path& folder)
{
    Write(folder / "verify-pairs", Arguments({"verify", "report.pdf", "report.pdf.sig", "data.bin", "x.p7s", "a.sig"}));
    Write(folder / "sign", Arguments({"sign", "--cert", "Иванов", "--base64", "--pack", "--attached", "a.txt", "-"}));
    Write(folder / "encrypt", Arguments({"encrypt", "--cert-file", "partner.cer", "--json", "report.pdf"}));
    Write(folder / "decrypt", Arguments({"decrypt", "--password-file", "pw", "--", "--json", "x.enc"}));
    Write(folder / "help", Arguments({"verify", "-h"}));
}

void WritePasswordFiles(const fs::path& folder)
{
    Write(folder / "crlf", Text("secret\r\nsecond line\n"));
    Write(folder / "cyrillic", Text("пароль\n"));
    Write(folder / "no-line-end", Text("last\r"));
    Write(folder / "long", Bytes(5000, 'p'));
}

// Key containers as ordalis-store export writes them, without a PIN so that the
// target opens them: each GOST identity's key exported from a scratch store, the
// container's files joined with "@@ NAME" lines; one more without the reserve copy.
void WriteKeyContainers(const fs::path& folder, const std::vector<KeyAndCertificate>& identities)
{
    std::string scratch = (fs::temp_directory_path() / "ordalis-corpus-XXXXXX").string();
    if (!::mkdtemp(scratch.data()))
        throw std::runtime_error("cannot make a scratch folder");
    ::setenv("XDG_DATA_HOME", scratch.c_str(), 1);
    const char* const files[] = {"header.key", "name.key", "masks.key", "primary.key", "masks2.key", "primary2.key"};
    for (std::size_t i = 0; i < std::size(kGostKeys); ++i) {
        const KeyAndCertificate& pair = identities[i];
        AddToStore(pair.certificate.get(), pair.key.get(), "");
        const std::string name = kGostKeys[i].name;
        const fs::path container = fs::path(scratch) / (name + ".000");
        ExportKeyContainer(CertificateThumbprint(pair.certificate.get()), container.string(), "");
        Bytes joined, withoutReserve;
        for (const char* file : files) {
            if (std::string(file) == "masks2.key")
                withoutReserve = joined;
            const std::string head = std::string(joined.empty() ? "" : "\n") + "@@ " + file + "\n";
            std::ifstream in(container / file, std::ios::binary);
            joined.insert(joined.end(), head.begin(), head.end());
            joined.insert(joined.end(), std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        }
        Write(folder / name, joined);
        if (kGostKeys[i].algorithm == KeyAlgorithm::Gost2012_256)
            Write(folder / (name + "-no-reserve"), withoutReserve);
    }
    fs::remove_all(scratch);
}

void MakeCorpus(const fs::path& root)
{
    const fs::path corpus = root / "corpus";
    std::vector<KeyAndCertificate> identities;
    for (const Gost& gost : kGostKeys) {
        CertificateRequest request;
        request.algorithm = gost.algorithm;
        request.subject = std::string("CN=Seed ") + gost.name + ",O=Ordalis fuzzing,C=RU";
        request.validDays = 3650;
        KeyAndCertificate pair = MakeSelfSignedCertificate(request);
        const CertContextPtr context = SigningContext(pair);
        const std::string name = gost.name;

        const Bytes detached = Sign(context.get(), gost.hashOid, true);
        Write(corpus / "verify_detached" / (name + "-detached.sig"), detached);
        Write(corpus / "verify_signature_file" / (name + ".sig"), detached);
        Write(corpus / "verify_signature_file" / (name + ".p7s"), Armoured(detached));
        Write(corpus / "verify_detached" / (name + "-attached.sig"), Sign(context.get(), gost.hashOid, false));
        Write(corpus / "decrypt_message" / (name + ".enc"), Encrypt(context.get()));
        Write(corpus / "certificate_context" / (name + ".cer"), CertificateDer(pair.certificate.get()));
        Write(corpus / "cert_name" / (name + "-subject"), NameDer(X509_get_subject_name(pair.certificate.get())));
        if (gost.algorithm == KeyAlgorithm::Gost2012_256)
            Write(corpus / "armour_decode" / (name + ".p7s"), Armoured(detached));
        WriteIdentity(root / "keys" / (name + ".pem"), pair);
        identities.push_back(std::move(pair));
    }
    CertificateRequest cyrillic;
    cyrillic.subject = "CN=Иванов Иван Иванович,O=ООО \"Ромашка\",C=RU";
    cyrillic.validDays = 3650;
    identities.push_back(MakeSelfSignedCertificate(cyrillic));
    WriteIdentity(root / "keys" / "cyrillic.pem", identities.back());
    fuzz::MakeStoreCorpus(corpus, {&identities[1], &identities[0], &identities[2], &identities[3]});
    WriteKeyContainers(corpus / "key_container", identities);
    WriteCommandLines(corpus / "cli_arguments");
    WritePasswordFiles(corpus / "password_file");
    Write(corpus / "verify_signature_file" / "framed.p7s",
          Text("-----BEGIN PKCS7-----\r\nMIIB\r\n-----END PKCS7-----\r\n"));

    CertificateRequest rsa;
    rsa.algorithm = KeyAlgorithm::Rsa2048;
    rsa.subject = "CN=Seed RSA,O=Ordalis fuzzing";
    Write(corpus / "certificate_context" / "rsa.cer", CertificateDer(MakeSelfSignedCertificate(rsa).certificate.get()));
    WriteNames(corpus / "cert_name");
    Write(corpus / "armour_decode" / "padded", Armoured(Text("ab")));
    Write(corpus / "armour_decode" / "framed",
          Text("-----BEGIN PKCS7-----\r\nTUlJ\r\nQ\tW\nJj ZA==\r\n=Zg==\r\n-----END PKCS7-----\r\n"));
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    try {
        if (!EnsureGostEngine())
            throw std::runtime_error("the GOST engine is not available");
        MakeCorpus(argv[1]);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
