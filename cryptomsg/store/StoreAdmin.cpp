#include "cryptomsg/store/StoreAdmin.h"

#include "common/AtomicFileWriter.h"
#include "common/Error.h"
#include "common/SystemError.h"
#include "common/UserTexts.h"
#include "cryptomsg/cryptoapi/CertContextInternal.h"
#include "cryptomsg/cryptoapi/CertNameText.h"
#include "cryptomsg/store/CaseFold.h"
#include "cryptomsg/store/CertStoreInternal.h"
#include "cryptomsg/store/CertificateIds.h"
#include "cryptomsg/store/StoreApi.h"
#include "cryptomsg/store/StoreFileFormats.h"
#include "cryptomsg/store/StoreFolder.h"
#include "cryptomsg/store/StoreKeyPair.h"

#include <openssl/err.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <dirent.h>
#include <unistd.h>

namespace ordalis {

namespace {

CertStorePtr OpenStore(const std::string& storeName)
{
    CertStorePtr store(CertOpenSystemStoreA(nullptr, storeName.c_str()));
    if (!store)
        throw Error(texts::BadStoreName(storeName));
    return store;
}

std::string UpperHexDigits(const std::string& text)
{
    std::string digits;
    for (char c : text) {
        if (c == ':' || c == ' ')
            continue;
        if (!std::isxdigit(static_cast<unsigned char>(c)))
            return {};
        digits += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return digits;
}

std::string WithoutLeadingZeros(const std::string& hex)
{
    const std::size_t first = hex.find_first_not_of('0');
    return first == std::string::npos ? "0" : hex.substr(first);
}

std::string Lower(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

bool NamesExactly(PCCERT_CONTEXT context, const std::string& hex)
{
    if (hex.empty())
        return false;
    X509* certificate = CertContextX509(context);
    const std::string serial = UpperHexDigits(CertificateSerialHex(certificate));
    return WithoutLeadingZeros(serial) == WithoutLeadingZeros(hex) || CertificateThumbprint(certificate) == hex;
}

std::string CandidateLine(PCCERT_CONTEXT context)
{
    const CertificateDescription d = DescribeCertificate(context);
    return d.subject + " (серийный номер " + d.serialHex + ", отпечаток " + d.sha1Thumbprint + ")";
}

void DeleteFile(const std::string& path)
{
    if (::unlink(path.c_str()) != 0 && errno != ENOENT)
        throw Error("Не удалось удалить файл \"" + path + "\": " + ErrnoText(errno));
}

bool IsUsedByOthers(const StoreContent& content, const StoreEntry& removed, const std::string& file)
{
    return std::any_of(content.entries.begin(), content.entries.end(), [&](const StoreEntry& e) {
        return &e != &removed && (e.file == file || (e.key && e.key->file == file));
    });
}

// Deletes the files of one store entry and names them; throws, deleting nothing,
// when its certificate file also holds other certificates.
std::vector<std::string> DeleteEntryFiles(const StoreContent& content, const StoreEntry& entry)
{
    if (IsUsedByOthers(content, entry, entry.file))
        throw Error("Файл \"" + entry.file + "\" содержит и другие сертификаты; удалите его вручную");
    std::vector<std::string> deleted;
    DeleteFile(entry.file);
    deleted.push_back(entry.file);
    if (entry.key && entry.key->file != entry.file && !IsUsedByOthers(content, entry, entry.key->file)) {
        DeleteFile(entry.key->file);
        deleted.push_back(entry.key->file);
    }
    return deleted;
}

// A folder that is missing is an empty store; one that cannot be read is an error,
// or its certificates would look absent.
void EnsureFolderReadable(const std::string& folder)
{
    std::unique_ptr<DIR, OsslFree<closedir>> dir(::opendir(folder.c_str()));
    if (!dir && errno != ENOENT)
        throw Error("Не удалось прочитать хранилище \"" + folder + "\": " + ErrnoText(errno));
}

// A serial number or thumbprint names a certificate exactly; a subject substring only in part.
struct IdMatches {
    std::vector<CertContextPtr> exact, partial;
};

IdMatches MatchId(HCERTSTORE store, const std::string& id)
{
    std::string trimmed = id;
    trimmed.erase(0, trimmed.find_first_not_of(' '));
    trimmed.erase(trimmed.find_last_not_of(' ') + 1);
    IdMatches matches;
    if (trimmed.empty() || !store)
        return matches;
    std::string hex = trimmed;
    if (Lower(hex.substr(0, 7)) == "serial=")
        hex.erase(0, 7);
    hex = UpperHexDigits(hex);
    const std::string needle = FoldCase(trimmed);
    PCCERT_CONTEXT context = nullptr;
    while ((context = CertEnumCertificatesInStore(store, context)) != nullptr) {
        if (NamesExactly(context, hex))
            matches.exact.emplace_back(CertDuplicateCertificateContext(context));
        else if (FoldCase(FormatName(X509_get_subject_name(CertContextX509(context)), NameStyle::ShortName))
                     .find(needle) != std::string::npos)
            matches.partial.emplace_back(CertDuplicateCertificateContext(context));
    }
    return matches;
}

// The same certificate in two stores is one certificate: it stays with the first.
void AddOnce(std::vector<StoreMatch>& matches, StoreMatch match)
{
    const bool known = std::any_of(matches.begin(), matches.end(), [&](const StoreMatch& held) {
        return X509_cmp(CertContextX509(held.certificate.get()), CertContextX509(match.certificate.get())) == 0;
    });
    if (!known)
        matches.push_back(std::move(match));
}

} // namespace

StoreListing ListStore(const std::string& storeName)
{
    EnsureFolderReadable(StoreFolderPath(storeName));
    CertStorePtr store = OpenStore(storeName);
    StoreListing listing;
    listing.folder = store->folder;
    listing.problems = store->content.problems;
    PCCERT_CONTEXT context = nullptr;
    while ((context = CertEnumCertificatesInStore(store.get(), context)) != nullptr)
        listing.certificates.push_back(
            {DescribeCertificate(context), CertVerifyTimeValidity(nullptr, context->pCertInfo)});
    for (const X509CrlPtr& crl : store->content.crls)
        listing.crls.push_back({FormatName(X509_CRL_get_issuer(crl.get()), NameStyle::ShortName),
                                AsnTimeText(X509_CRL_get0_lastUpdate(crl.get())),
                                AsnTimeText(X509_CRL_get0_nextUpdate(crl.get()))});
    return listing;
}

std::vector<CertContextPtr> FindCertificates(HCERTSTORE store, const std::string& id)
{
    IdMatches matches = MatchId(store, id);
    return matches.exact.empty() ? std::move(matches.partial) : std::move(matches.exact);
}

std::vector<StoreMatch> FindCertificatesInStores(const std::vector<std::string>& storeNames, const std::string& id)
{
    std::vector<StoreMatch> exact, partial;
    for (const std::string& name : storeNames) {
        const CertStorePtr store = OpenStore(name);
        IdMatches matches = MatchId(store.get(), id);
        for (CertContextPtr& match : matches.exact)
            AddOnce(exact, {std::move(match), name});
        for (CertContextPtr& match : matches.partial)
            AddOnce(partial, {std::move(match), name});
    }
    return exact.empty() ? std::move(partial) : std::move(exact);
}

CertContextPtr FindOneCertificate(HCERTSTORE store, const std::string& id)
{
    std::vector<CertContextPtr> matches = FindCertificates(store, id);
    if (matches.size() == 1)
        return std::move(matches.front());
    if (matches.empty())
        throw Error("В хранилище нет сертификата \"" + id + "\"");
    std::string text = "\"" + id + "\" подходит к нескольким сертификатам; укажите серийный номер или отпечаток:";
    for (const auto& match : matches)
        text += "\n  " + CandidateLine(match.get());
    throw Error(text);
}

void ExportCertificate(const std::string& id, const std::string& file, const std::string& storeName)
{
    CertStorePtr store = OpenStore(storeName);
    CertContextPtr certificate = FindOneCertificate(store.get(), id);
    const bool pem = file.size() >= 4 && Lower(file.substr(file.size() - 4)) == ".pem";
    if (pem) {
        const std::string text = CertificatePem(CertContextX509(certificate.get()));
        SaveFileAtomically(file, {reinterpret_cast<const unsigned char*>(text.data()), text.size()});
    } else {
        SaveFileAtomically(file, {certificate->pbCertEncoded, certificate->cbCertEncoded});
    }
}

RemovalPlan PlanRemoval(const std::string& id, const std::string& storeName)
{
    CertStorePtr store = OpenStore(storeName);
    CertContextPtr certificate = FindOneCertificate(store.get(), id);
    RemovalPlan plan{DescribeCertificate(certificate.get()), {}};
    if (const StoreEntry* entry = FindStoreEntry(certificate.get())) {
        plan.files.push_back(entry->file);
        if (entry->key && entry->key->file != entry->file)
            plan.files.push_back(entry->key->file);
    }
    return plan;
}

std::vector<std::string> RemoveCertificate(const std::string& id, const std::string& storeName)
{
    std::vector<std::string> deleted;
    std::string thumbprint;
    // The same certificate may sit in several files; the store lists it once.
    for (int round = 0; round < 64; ++round) {
        CertStorePtr store = OpenStore(storeName);
        CertContextPtr certificate;
        if (thumbprint.empty()) {
            certificate = FindOneCertificate(store.get(), id);
            thumbprint = CertificateThumbprint(CertContextX509(certificate.get()));
        } else {
            std::vector<CertContextPtr> again = FindCertificates(store.get(), thumbprint);
            if (again.empty())
                break;
            certificate = std::move(again.front());
        }
        const StoreEntry* entry = FindStoreEntry(certificate.get());
        if (!entry)
            break;
        for (std::string& file : DeleteEntryFiles(store->content, *entry))
            deleted.push_back(std::move(file));
    }
    return deleted;
}

std::string AddToStore(X509* certificate, EVP_PKEY* key, const std::string& password, const std::string& storeName)
{
    const std::string folder = StoreFolderPath(storeName);
    EnsureStoreFolder(folder);
    const std::string base = folder + "/" + CertificateThumbprint(certificate);
    const std::string certificateText = CertificatePem(certificate);
    if (certificateText.empty())
        throw Error("Не удалось записать сертификат");
    const std::span<const unsigned char> certificateBytes(
        reinterpret_cast<const unsigned char*>(certificateText.data()), certificateText.size());
    if (!key) {
        WriteStoreFile(base + ".crt", certificateBytes);
        return base + ".crt";
    }
    const SecureBytes keyText = PrivateKeyPem(key, password);
    if (keyText.empty()) {
        ERR_clear_error();
        throw Error("Не удалось записать закрытый ключ");
    }
    WriteKeyAndCertificate(base, keyText, certificateBytes);
    return base + ".crt";
}

CertificateDescription CreateSelfSigned(const CertificateRequest& request, const std::string& password,
                                        const std::string& storeName)
{
    KeyAndCertificate made = MakeSelfSignedCertificate(request);
    AddToStore(made.certificate.get(), made.key.get(), password, storeName);
    CertStorePtr store = OpenStore(storeName);
    std::vector<CertContextPtr> found = FindCertificates(store.get(), CertificateThumbprint(made.certificate.get()));
    if (found.empty())
        throw Error("Созданный сертификат не найден в хранилище");
    return DescribeCertificate(found.front().get());
}

} // namespace ordalis
