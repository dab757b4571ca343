// Reads a store folder and pairs its certificates with their private keys.
//
// A key belongs to a certificate when
//  1. it sits in the same file (a PKCS#12 bundle, or a PEM file with one
//     certificate and its key),
//  2. it is a plain key whose public half equals the certificate's public key, or
//  3. it is the only key of a file that has the certificate file's name with
//     another extension ("X.crt" and "X.key"): an encrypted key cannot show its
//     public half before its password is given.
#include "cryptomsg/store/CertStoreInternal.h"

#include "common/SystemError.h"
#include "common/UserTexts.h"
#include "cryptomsg/store/CertificateBundle.h"
#include "cryptomsg/store/PbeIterations.h"
#include "cryptomsg/store/StoreFileFormats.h"

#include <openssl/err.h>

#include <algorithm>
#include <cerrno>
#include <dirent.h>

namespace ordalis {

namespace {

struct FoundKey {
    StoreKeyRef where;
    EvpPkeyPtr plain;             // a decoded plain key, for rule 2
    int sameFileCertificate = -1; // index into the found certificates, for rule 1
    bool onlyKeyOfFile = false;
    bool fileHasCertificates = false;
    bool used = false;
};

struct FoundCertificate {
    X509Ptr certificate;
    std::string file;
    bool onlyCertificateOfFile = true;
};

struct Found {
    std::vector<FoundCertificate> certificates;
    std::vector<FoundKey> keys;
    std::vector<X509CrlPtr> crls;
    std::vector<std::string> problems;
};

std::string Stem(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    const std::size_t dot = path.rfind('.');
    return dot != std::string::npos && (slash == std::string::npos || dot > slash + 1) ? path.substr(0, dot) : path;
}

std::vector<std::string> FolderFiles(const std::string& folder, std::vector<std::string>& problems)
{
    std::vector<std::string> names;
    std::unique_ptr<DIR, OsslFree<closedir>> dir(::opendir(folder.c_str()));
    if (!dir) {
        if (errno != ENOENT)
            problems.push_back(folder + ": " + ErrnoText(errno));
        return names;
    }
    while (const dirent* entry = ::readdir(dir.get()))
        // Hidden names are temporary files of a write in progress, "." and "..".
        if (entry->d_name[0] != '.')
            names.emplace_back(entry->d_name);
    std::sort(names.begin(), names.end());
    return names;
}

void AddPemFile(const std::string& path, std::span<const unsigned char> bytes, Found& found)
{
    const std::size_t firstCertificate = found.certificates.size();
    const std::size_t firstKey = found.keys.size();
    const std::size_t firstCrl = found.crls.size();
    const std::vector<PemBlock> blocks = ReadPemBlocks(bytes);
    for (std::size_t i = 0; i < blocks.size(); ++i) {
        const PemBlock& block = blocks[i];
        if (IsCertificateBlock(block)) {
            if (X509Ptr certificate = DecodeCertificate(block.data))
                found.certificates.push_back({std::move(certificate), path, true});
            else
                found.problems.push_back(path + texts::kDamagedCertificate);
            continue;
        }
        if (block.name == "X509 CRL") {
            if (X509CrlPtr crl = DecodeCrl(block.data))
                found.crls.push_back(std::move(crl));
            else
                found.problems.push_back(path + ": поврежденный список отзыва");
            continue;
        }
        const KeyBlockKind kind = KeyBlockKindOf(block);
        if (kind == KeyBlockKind::Unsupported)
            found.problems.push_back(path + texts::kLegacyEncryptedKey);
        if (kind != KeyBlockKind::Plain && kind != KeyBlockKind::Encrypted)
            continue;
        FoundKey key;
        key.where = {path, static_cast<int>(i), kind == KeyBlockKind::Plain ? KeyForm::Plain : KeyForm::EncryptedPkcs8,
                     kind == KeyBlockKind::Encrypted};
        if (kind == KeyBlockKind::Plain)
            key.plain = DecodePlainKey(block);
        ERR_clear_error();
        found.keys.push_back(std::move(key));
    }
    const std::size_t certificates = found.certificates.size() - firstCertificate;
    const std::size_t keys = found.keys.size() - firstKey;
    for (std::size_t c = firstCertificate; c < found.certificates.size(); ++c)
        found.certificates[c].onlyCertificateOfFile = certificates == 1;
    if (certificates == 0 && keys == 0 && found.crls.size() == firstCrl)
        found.problems.push_back(path + ": нет сертификатов и ключей");
    for (std::size_t k = firstKey; k < found.keys.size(); ++k) {
        FoundKey& key = found.keys[k];
        key.onlyKeyOfFile = keys == 1;
        key.fileHasCertificates = certificates > 0;
        if (!key.plain && keys == 1 && certificates == 1)
            key.sameFileCertificate = static_cast<int>(firstCertificate);
    }
}

void AddPkcs12File(const std::string& path, PKCS12* bundle, Found& found)
{
    if (LargestPkcs12Iterations(bundle) > kMaxPbeIterations) {
        found.problems.push_back(path + ": контейнер PKCS#12 с недопустимо большим числом итераций");
        return;
    }
    Pkcs12Outline outline = OutlinePkcs12(bundle);
    if (outline.certificates.empty()) {
        found.problems.push_back(path + ": контейнер PKCS#12 защищен паролем; импортируйте его (ordalis-store import)");
        return;
    }
    const std::size_t first = found.certificates.size();
    for (auto& certificate : outline.certificates)
        found.certificates.push_back({std::move(certificate.certificate), path, outline.certificates.size() == 1});
    if (outline.hasKey && outline.keyCertificate >= 0) {
        FoundKey key;
        key.where = {path, -1, KeyForm::Pkcs12, outline.keyProtected};
        key.sameFileCertificate = static_cast<int>(first) + outline.keyCertificate;
        key.onlyKeyOfFile = true;
        key.fileHasCertificates = true;
        found.keys.push_back(std::move(key));
    }
}

void AddFile(const std::string& path, Found& found)
{
    SecureBytes bytes;
    if (!ReadSmallFile(path, bytes)) {
        found.problems.push_back(path + ": " + ErrnoText(errno));
        return;
    }
    if (LooksLikePem(bytes))
        AddPemFile(path, bytes, found);
    else if (X509Ptr certificate = DecodeCertificate(bytes))
        found.certificates.push_back({std::move(certificate), path, true});
    else if (X509CrlPtr crl = DecodeCrl(bytes))
        found.crls.push_back(std::move(crl));
    else if (Pkcs12Ptr bundle = DecodePkcs12(bytes))
        AddPkcs12File(path, bundle.get(), found);
    else
        found.problems.push_back(path + ": не сертификат, не ключ, не список отзыва и не контейнер PKCS#12");
}

bool PublicKeysEqual(EVP_PKEY* key, X509* certificate)
{
    EVP_PKEY* certificateKey = X509_get0_pubkey(certificate);
    const bool equal = key && certificateKey && EVP_PKEY_eq(key, certificateKey) == 1;
    ERR_clear_error();
    return equal;
}

// The key for certificate index c under the three rules, or null.
FoundKey* KeyFor(std::size_t c, Found& found)
{
    for (FoundKey& key : found.keys)
        if (key.sameFileCertificate == static_cast<int>(c))
            return &key;
    X509* certificate = found.certificates[c].certificate.get();
    for (FoundKey& key : found.keys)
        if (key.plain && PublicKeysEqual(key.plain.get(), certificate))
            return &key;
    if (!found.certificates[c].onlyCertificateOfFile)
        return nullptr;
    const std::string stem = Stem(found.certificates[c].file);
    for (FoundKey& key : found.keys)
        if (!key.plain && key.sameFileCertificate < 0 && key.onlyKeyOfFile && !key.fileHasCertificates &&
            Stem(key.where.file) == stem)
            return &key;
    return nullptr;
}

} // namespace

StoreContent ReadStoreContent(const std::string& folder)
{
    Found found;
    for (const std::string& name : FolderFiles(folder, found.problems))
        AddFile(folder + "/" + name, found);

    StoreContent content;
    content.crls = std::move(found.crls);
    for (std::size_t c = 0; c < found.certificates.size(); ++c) {
        FoundCertificate& candidate = found.certificates[c];
        FoundKey* key = KeyFor(c, found);
        // The same certificate in two files is listed once, with a key if either has one.
        auto same = std::find_if(content.entries.begin(), content.entries.end(), [&](const StoreEntry& e) {
            return X509_cmp(e.certificate.get(), candidate.certificate.get()) == 0;
        });
        if (same != content.entries.end()) {
            if (!same->key && key)
                same->key = key->where;
        } else {
            content.entries.push_back({std::move(candidate.certificate), candidate.file, std::nullopt});
            if (key)
                content.entries.back().key = key->where;
        }
        if (key)
            key->used = true;
    }
    for (const FoundKey& key : found.keys)
        if (!key.used)
            content.problems.push_back(key.where.file + ": ключ без сертификата");
    content.problems.insert(content.problems.begin(), found.problems.begin(), found.problems.end());
    return content;
}

} // namespace ordalis
