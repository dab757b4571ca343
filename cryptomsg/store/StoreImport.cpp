#include "common/Error.h"
#include "common/SystemError.h"
#include "common/UserTexts.h"
#include "cryptomsg/cryptoapi/CertNameText.h"
#include "cryptomsg/cryptoapi/CryptoRuntime.h"
#include "cryptomsg/cryptoapi/OsslError.h"
#include "cryptomsg/store/CertStoreInternal.h"
#include "cryptomsg/store/CertificateIds.h"
#include "cryptomsg/store/PasswordAttempts.h"
#include "cryptomsg/store/PbeIterations.h"
#include "cryptomsg/store/Pkcs12Chain.h"
#include "cryptomsg/store/StoreAdmin.h"
#include "cryptomsg/store/StoreFileFormats.h"
#include "cryptomsg/store/StoreFolder.h"
#include "cryptomsg/store/StoreKeyPair.h"
#include "cryptomsg/store/StoreNames.h"

#include <openssl/err.h>
#include <openssl/pem.h>

#include <algorithm>
#include <cerrno>

namespace ordalis {

namespace {

std::string OpenSslReason()
{
    const unsigned long error = ERR_peek_error();
    char text[256] = {0};
    if (error)
        ERR_error_string_n(error, text, sizeof text);
    ERR_clear_error();
    return text[0] ? std::string(": ") + text : std::string();
}

// Refuses before anything is tried: a hostile file could ask for 2^31-1 iterations.
void CheckIterations(const std::string& path, std::int64_t iterations)
{
    if (iterations > kMaxPbeIterations)
        throw Error("Файл \"" + path + "\" защищен с числом итераций " + std::to_string(iterations) +
                    ", больше допустимого " + std::to_string(kMaxPbeIterations) + "; он не импортирован");
}

std::string BaseName(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Asks for the password until tryOpen accepts it; keeps the accepted one in password.
void AskUntilOpened(const PasswordSource& source, const std::string& what,
                    const std::function<KeyOpen(const std::string&)>& tryOpen, SecretText& password)
{
    switch (AskUntilOpen(source, what, tryOpen, password)) {
    case PasswordOutcome::Opened: return;
    case PasswordOutcome::Cancelled: throw Error("Не задан пароль для \"" + what + "\"");
    case PasswordOutcome::Failed: throw Error("Не удалось открыть \"" + what + "\"" + OpenSslReason());
    case PasswordOutcome::WrongEveryTime: break;
    }
    throw Error("Неверный пароль для \"" + what + "\"");
}

// Opens a PKCS#12 bundle, asking for its password when it has one; keeps the password
// that opened it in password.
Pkcs12Content OpenBundle(const std::string& path, PKCS12* bundle, const PasswordSource& source, SecretText& password)
{
    CheckIterations(path, LargestPkcs12Iterations(bundle));
    Pkcs12Content content;
    const KeyOpen withoutPassword = OpenPkcs12(bundle, {}, content);
    if (withoutPassword == KeyOpen::Failed)
        throw Error("Не удалось открыть контейнер \"" + path + "\"" + OpenSslReason());
    if (withoutPassword == KeyOpen::WrongPassword) {
        ERR_clear_error();
        AskUntilOpened(
            source, BaseName(path), [&](const std::string& text) { return OpenPkcs12(bundle, text, content); },
            password);
    }
    return content;
}

bool HasCertificate(const StoreContent& content, X509* certificate)
{
    return std::any_of(content.entries.begin(), content.entries.end(),
                       [&](const StoreEntry& entry) { return X509_cmp(entry.certificate.get(), certificate) == 0; });
}

CertificateBundle CopiesOf(const std::vector<X509*>& certificates)
{
    CertificateBundle bundle;
    for (X509* certificate : certificates) {
        X509_up_ref(certificate);
        bundle.certificates.emplace_back(certificate);
    }
    return bundle;
}

// The roots a PKCS#12 bundle carries, for ROOT: the user names the bundle again to
// trust them, as the import into MY suggested.
CertificateBundle RootsOfPkcs12(const std::string& path, PKCS12* bundle, const PasswordSource& source)
{
    SecretText password;
    const Pkcs12Content content = OpenBundle(path, bundle, source, password);
    std::vector<X509*> roots = SortPkcs12Chain(content.others.get()).roots;
    if (content.certificate && IsSelfSigned(content.certificate.get()))
        roots.insert(roots.begin(), content.certificate.get());
    if (roots.empty())
        throw Error("В контейнере \"" + path + "\" нет корневых сертификатов");
    return CopiesOf(roots);
}

class Importer {
public:
    Importer(const std::string& storeName, const PasswordSource& password)
        : m_folder(StoreFolderPath(storeName)), m_password(password)
    {
        EnsureStoreFolder(m_folder);
        m_content = ReadStoreContent(m_folder);
    }

    void importBytes(const std::string& path, const SecureBytes& bytes)
    {
        if (LooksLikePem(bytes))
            importPem(path, bytes);
        else if (X509Ptr certificate = DecodeCertificate(bytes))
            addCertificate(certificate.get());
        else if (Pkcs12Ptr bundle = DecodePkcs12(bytes))
            importPkcs12(path, bundle.get());
        else
            throw Error("Файл \"" + path +
                        "\" не распознан: это не сертификат, не закрытый ключ PKCS#8 и не контейнер PKCS#12");
    }

    // A key read from elsewhere (a key container) with its certificate, or the one
    // in the store whose public key it is; stored as a PKCS#12 bundle's key is.
    X509* importKeyPair(X509* certificate, EVP_PKEY* key, const std::string& password)
    {
        if (!certificate)
            certificate = certificateOf(key);
        if (!certificate)
            return nullptr;
        addCertificate(certificate);
        const SecureBytes keyText = PrivateKeyPem(key, password);
        if (keyText.empty())
            throw Error("Не удалось записать закрытый ключ" + OpenSslReason());
        addKey(certificate, keyText);
        return certificate;
    }

    std::vector<ImportedItem> report() { return std::move(m_report); }

private:
    const StoreEntry* entryFor(X509* certificate) const
    {
        for (const StoreEntry& entry : m_content.entries)
            if (X509_cmp(entry.certificate.get(), certificate) == 0)
                return &entry;
        return nullptr;
    }

    std::string label(X509* certificate) const
    {
        return FormatName(X509_get_subject_name(certificate), NameStyle::ShortName);
    }

    void addCertificate(X509* certificate)
    {
        if (entryFor(certificate)) {
            m_report.push_back({ImportedItem::Kind::Certificate, true, label(certificate), {}});
            return;
        }
        const std::string text = CertificatePem(certificate);
        WriteStoreFile(m_folder + "/" + CertificateThumbprint(certificate) + ".crt",
                       {reinterpret_cast<const unsigned char*>(text.data()), text.size()});
        remember(certificate);
        m_report.push_back({ImportedItem::Kind::Certificate, false, label(certificate), {}});
    }

    void remember(X509* certificate)
    {
        X509_up_ref(certificate);
        m_content.entries.push_back({X509Ptr(certificate), {}, std::nullopt});
    }

    // The certificate (in the store or just added) whose public key is the key's.
    X509* certificateOf(EVP_PKEY* key) const
    {
        for (const StoreEntry& entry : m_content.entries) {
            EVP_PKEY* publicKey = X509_get0_pubkey(entry.certificate.get());
            if (publicKey && EVP_PKEY_eq(key, publicKey) == 1)
                return entry.certificate.get();
        }
        ERR_clear_error();
        return nullptr;
    }

    // Writes the key beside a copy of its certificate named the same, so the pair is found
    // even while the key is encrypted.
    void addKey(X509* certificate, std::span<const unsigned char> keyText)
    {
        const StoreEntry* entry = entryFor(certificate);
        if (entry && entry->key) {
            m_report.push_back({ImportedItem::Kind::PrivateKey, true, label(certificate), {}});
            return;
        }
        const std::string base = m_folder + "/" + CertificateThumbprint(certificate);
        const std::string text = CertificatePem(certificate);
        WriteKeyAndCertificate(base, keyText, {reinterpret_cast<const unsigned char*>(text.data()), text.size()});
        m_report.push_back({ImportedItem::Kind::PrivateKey, false, label(certificate), {}});
    }

    void importPem(const std::string& path, const SecureBytes& bytes)
    {
        const std::vector<PemBlock> blocks = ReadPemBlocks(bytes);
        bool any = false;
        for (const PemBlock& block : blocks)
            if (IsCertificateBlock(block)) {
                X509Ptr certificate = DecodeCertificate(block.data);
                if (!certificate)
                    throw Error("Файл \"" + path + "\"" + texts::kDamagedCertificate);
                addCertificate(certificate.get());
                any = true;
            }
        for (const PemBlock& block : blocks) {
            const KeyBlockKind kind = KeyBlockKindOf(block);
            if (kind == KeyBlockKind::Unsupported)
                throw Error("Файл \"" + path + "\"" + texts::kLegacyEncryptedKey);
            if (kind == KeyBlockKind::NotAKey)
                continue;
            importKeyBlock(path, block, kind);
            any = true;
        }
        if (!any)
            throw Error("В файле \"" + path + "\" нет сертификатов и закрытых ключей");
    }

    void importKeyBlock(const std::string& path, const PemBlock& block, KeyBlockKind kind)
    {
        EvpPkeyPtr key;
        if (kind == KeyBlockKind::Plain) {
            key = DecodePlainKey(block);
            if (!key)
                throw Error("Файл \"" + path + "\": не удалось прочитать закрытый ключ" + OpenSslReason());
        } else {
            CheckIterations(path, KeyIterations(block));
            SecretText password;
            AskUntilOpened(
                m_password, BaseName(path), [&](const std::string& text) { return DecryptKey(block, text, key); },
                password);
        }
        X509* certificate = certificateOf(key.get());
        if (!certificate)
            throw Error("Для закрытого ключа из \"" + path +
                        "\" нет сертификата в хранилище; сначала импортируйте сертификат");
        // The key is kept as it came, so its password stays the one its owner knows.
        BioPtr bio(BIO_new(BIO_s_mem()));
        if (!bio || PEM_write_bio(bio.get(), block.name.c_str(), block.header.c_str(), block.data.data(),
                                  static_cast<long>(block.data.size())) <= 0)
            throw Error("Не удалось записать закрытый ключ" + OpenSslReason());
        BUF_MEM* memory = nullptr;
        BIO_get_mem_ptr(bio.get(), &memory);
        const SecureBytes text(memory->data, memory->data + memory->length);
        OPENSSL_cleanse(memory->data, memory->max);
        addKey(certificate, text);
    }

    // The bundle's chain goes where it is of use: authorities into CA, where paths are
    // built from, and roots nowhere (see ImportedItem), so MY holds only the user's own.
    void addChain(const std::string& path, const Pkcs12Chain& chain)
    {
        for (X509* certificate : chain.endEntities)
            addCertificate(certificate);
        if (!chain.authorities.empty())
            for (ImportedItem& item : ImportBundle(path, CopiesOf(chain.authorities), kCaStore, {})) {
                item.store = kCaStore;
                m_report.push_back(std::move(item));
            }
        const StoreContent trusted =
            chain.roots.empty() ? StoreContent() : ReadStoreContent(StoreFolderPath(kRootStore));
        for (X509* root : chain.roots)
            if (HasCertificate(trusted, root))
                m_report.push_back({ImportedItem::Kind::Certificate, true, label(root), kRootStore});
            else
                m_report.push_back({ImportedItem::Kind::RootNotStored, false, label(root), {}});
    }

    void importPkcs12(const std::string& path, PKCS12* bundle)
    {
        const std::int64_t iterations = LargestPkcs12Iterations(bundle);
        SecretText password;
        const Pkcs12Content content = OpenBundle(path, bundle, m_password, password);
        if (content.key && !content.certificate)
            throw Error("В контейнере \"" + path + "\" нет сертификата для закрытого ключа");
        if (content.certificate)
            addCertificate(content.certificate.get());
        addChain(path, SortPkcs12Chain(content.others.get()));
        if (content.key) {
            // Stored at least as strongly as the bundle kept it.
            const SecureBytes keyText = PrivateKeyPem(content.key.get(), password.text(), iterations);
            if (keyText.empty())
                throw Error("Не удалось записать закрытый ключ" + OpenSslReason());
            addKey(content.certificate.get(), keyText);
        }
        if (!content.certificate && (!content.others || sk_X509_num(content.others.get()) == 0))
            throw Error("Контейнер \"" + path + "\" пуст");
    }

    std::string m_folder;
    const PasswordSource& m_password;
    StoreContent m_content;
    std::vector<ImportedItem> m_report;
};

} // namespace

std::vector<ImportedItem> ImportKeyPair(X509* certificate, EVP_PKEY* key, const std::string& password, X509Ptr& stored)
{
    const ClearErrorsOnExit clear;
    Importer importer(kPersonalStore, {});
    X509* used = importer.importKeyPair(certificate, key, password);
    if (!used)
        return {};
    X509_up_ref(used);
    stored.reset(used);
    return importer.report();
}

std::vector<ImportedItem> ImportFile(const std::string& path, const PasswordSource& password,
                                     const std::string& storeName, const ImportApproval& approve)
{
    // GOST public keys decode only while the engine is loaded: a certificate read
    // before it has no key to check a CRL's signature with or to match a private key.
    EnsureGostEngine();
    SecureBytes bytes;
    if (!ReadSmallFile(path, bytes))
        throw Error(CannotOpenFileText(path, errno));
    // Decoders tried on the way queue errors even when the key opens, and some
    // refusals are not OpenSSL's: a later failure must not report them as its reason.
    const ClearErrorsOnExit clear;
    if (storeName != kPersonalStore) {
        // Only the personal store keeps private keys.
        std::optional<CertificateBundle> bundle = ReadCertificateBundle(bytes);
        Pkcs12Ptr pkcs12 = bundle || storeName != kRootStore ? nullptr : DecodePkcs12(bytes);
        if (pkcs12)
            bundle = RootsOfPkcs12(path, pkcs12.get(), password);
        if (!bundle)
            throw Error("Файл \"" + path +
                        "\" не распознан: это не сертификат, не набор сертификатов PKCS#7 и не список отзыва");
        return ImportBundle(path, std::move(*bundle), storeName, approve);
    }
    Importer importer(storeName, password);
    importer.importBytes(path, bytes);
    return importer.report();
}

} // namespace ordalis
