#include "cryptomsg/store/KeyContainerImport.h"

#include "common/SystemError.h"
#include "cryptomsg/cryptoapi/CertNameText.h"
#include "cryptomsg/cryptoapi/GostAlgorithms.h"
#include "cryptomsg/cryptoapi/OsslError.h"
#include "cryptomsg/store/CertificateIds.h"
#include "cryptomsg/store/KeyContainerError.h"
#include "cryptomsg/store/KeyContainerReader.h"
#include "cryptomsg/store/StoreAdmin.h"
#include "cryptomsg/store/StoreApi.h"

#include <openssl/err.h>
#include <openssl/objects.h>

#include <cerrno>
#include <filesystem>

namespace ordalis {

namespace {

using Kind = KeyContainerError::Kind;

std::string FolderName(const std::string& folder)
{
    // "a1b2c3d4.000/" is named as "a1b2c3d4.000" is.
    const std::filesystem::path path = std::filesystem::path(folder).lexically_normal();
    return (path.has_filename() ? path : path.parent_path()).filename().string();
}

std::string SubjectOf(X509* certificate)
{
    return certificate ? FormatName(X509_get_subject_name(certificate), NameStyle::ShortName) : std::string();
}

KeyContainerSummary Summarise(const std::string& folder)
{
    KeyContainerSummary summary{folder, FolderName(folder), {}, {}};
    try {
        const KeyContainer container = ParseKeyContainer(ReadKeyContainerFiles(folder));
        if (!container.name.empty())
            summary.name = container.name;
        summary.certificateSubject = SubjectOf(container.certificate.get());
    } catch (const KeyContainerError& e) {
        summary.problem = e;
    } catch (const Error& e) {
        summary.problem = KeyContainerError(Kind::Unsupported, e.what());
    }
    return summary;
}

std::string ChooseContainer(const std::string& folder, const KeyContainerImportOptions& options)
{
    const std::vector<KeyContainerSummary> found = ListKeyContainers(folder);
    if (found.empty())
        throw KeyContainerError(Kind::NotAContainer, folder);
    if (!options.containerName.empty()) {
        for (const KeyContainerSummary& summary : found)
            if (summary.name == options.containerName || FolderName(summary.folder) == options.containerName)
                return summary.folder;
        throw KeyContainerError(Kind::UnknownContainer, options.containerName);
    }
    if (found.size() == 1)
        return found.front().folder;
    const std::optional<std::size_t> chosen = options.choose ? options.choose(found) : std::nullopt;
    if (!chosen || *chosen >= found.size())
        throw KeyContainerError(Kind::ContainerNotChosen, folder);
    return found[*chosen].folder;
}

X509Ptr ReadCertificateFile(const std::string& path)
{
    SecureBytes bytes;
    if (!ReadSmallFile(path, bytes))
        throw Error(CannotOpenFileText(path, errno));
    if (X509Ptr certificate = DecodeCertificate(bytes))
        return certificate;
    for (const PemBlock& block : ReadPemBlocks(bytes))
        if (IsCertificateBlock(block))
            if (X509Ptr certificate = DecodeCertificate(block.data))
                return certificate;
    ERR_clear_error();
    throw Error("В файле \"" + path + "\" нет сертификата");
}

// The empty PIN first, without asking: many containers have none.
EvpPkeyPtr OpenWithPin(const KeyContainer& container, const std::string& what, const PasswordSource& pin,
                       SecretText& accepted)
{
    EvpPkeyPtr key;
    if (OpenKeyContainer(container, {}, key) == KeyOpen::Ok)
        return key;
    switch (AskUntilOpen(
        pin, what, [&](const std::string& text) { return OpenKeyContainer(container, text, key); }, accepted)) {
    case PasswordOutcome::Opened: return key;
    case PasswordOutcome::Cancelled: throw KeyContainerError(Kind::PinNotGiven, what);
    case PasswordOutcome::Failed:
    case PasswordOutcome::WrongEveryTime: break;
    }
    throw KeyContainerError(Kind::WrongPin, what);
}

std::string ParameterSetText(const std::string& oid)
{
    const int nid = OBJ_txt2nid(oid.c_str());
    const char* name = nid != NID_undef ? OBJ_nid2sn(nid) : nullptr;
    return name ? std::string(name) + " (" + oid + ")" : oid;
}

CertificateDescription DescribeStored(X509* certificate)
{
    CertStorePtr store(CertOpenSystemStoreA(nullptr, kPersonalStore));
    if (store) {
        const std::vector<CertContextPtr> found = FindCertificates(store.get(), CertificateThumbprint(certificate));
        if (!found.empty())
            return DescribeCertificate(found.front().get());
    }
    throw Error("Импортированный сертификат не найден в хранилище");
}

} // namespace

std::vector<KeyContainerSummary> ListKeyContainers(const std::string& folder)
{
    const ClearErrorsOnExit clear;
    if (IsKeyContainerFolder(folder))
        return {Summarise(folder)};
    std::vector<KeyContainerSummary> summaries;
    for (const std::string& inside : FindKeyContainers(folder))
        summaries.push_back(Summarise(inside));
    return summaries;
}

KeyContainerImport ImportKeyContainer(const std::string& folder, const PasswordSource& pin,
                                      const KeyContainerImportOptions& options)
{
    const ClearErrorsOnExit clear;
    const std::string chosen = ChooseContainer(folder, options);
    const KeyContainer container = ParseKeyContainer(ReadKeyContainerFiles(chosen));
    X509Ptr given = options.certificateFile.empty() ? nullptr : ReadCertificateFile(options.certificateFile);
    X509* certificate = given ? given.get() : container.certificate.get();

    KeyContainerImport result;
    result.containerName = container.name.empty() ? FolderName(chosen) : container.name;
    SecretText accepted;
    const EvpPkeyPtr key = OpenWithPin(container, result.containerName, pin, accepted);
    if (certificate) {
        EVP_PKEY* publicKey = X509_get0_pubkey(certificate);
        if (!publicKey || EVP_PKEY_eq(key.get(), publicKey) != 1) {
            ERR_clear_error();
            // The certificate may be that of the container's second key, which is not read.
            if (container.header.hasSecondaryKey)
                throw KeyContainerError(Kind::Unsupported, "second key");
            throw KeyContainerError(Kind::KeyMismatch, {});
        }
    }
    X509Ptr stored;
    result.items = ImportKeyPair(certificate, key.get(), accepted.text(), stored);
    if (!stored)
        throw KeyContainerError(Kind::NoCertificate, {});
    result.exchangeKey = container.header.primary.exchangeKey;
    const GostAlgorithm* algorithm = GostAlgorithmForKeyNid(container.keyNid);
    result.keyAlgorithm = algorithm ? algorithm->keyName : OBJ_nid2sn(container.keyNid);
    result.parameterSet = ParameterSetText(container.header.primary.curveOid);
    result.certificate = DescribeStored(stored.get());
    result.timeValidity = X509_cmp_current_time(X509_get0_notBefore(stored.get())) > 0  ? -1
                          : X509_cmp_current_time(X509_get0_notAfter(stored.get())) < 0 ? 1
                                                                                        : 0;
    return result;
}

} // namespace ordalis
