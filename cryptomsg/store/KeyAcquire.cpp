#include "common/ErrorCodes.h"
#include "common/LastError.h"
#include "cryptomsg/cryptoapi/CertContextInternal.h"
#include "cryptomsg/cryptoapi/CertNameText.h"
#include "cryptomsg/cryptoapi/CryptoRuntime.h"
#include "cryptomsg/cryptoapi/GostAlgorithms.h"
#include "cryptomsg/cryptoapi/KeyProviderInternal.h"
#include "cryptomsg/cryptoapi/OsslError.h"
#include "cryptomsg/store/CertStoreInternal.h"
#include "cryptomsg/store/KeyPasswordPrompt.h"
#include "cryptomsg/store/PasswordAttempts.h"
#include "cryptomsg/store/StoreApi.h"
#include "cryptomsg/store/StoreFileFormats.h"

#include <openssl/err.h>

#include <optional>

namespace ordalis {

namespace {

inline constexpr DWORD AT_KEYEXCHANGE = 1;

bool IsGostKey(PCCERT_CONTEXT certificate)
{
    return IsInGostArc(certificate->pCertInfo->SubjectPublicKeyInfo.Algorithm.pszObjId);
}

// Opens the key once with the given password.
KeyOpen TryOpen(const StoreKeyRef& where, const SecureBytes& file, const std::string& password, EvpPkeyPtr& key)
{
    if (where.form == KeyForm::Pkcs12) {
        Pkcs12Ptr bundle = DecodePkcs12(file);
        Pkcs12Content content;
        const KeyOpen result = bundle ? OpenPkcs12(bundle.get(), password, content) : KeyOpen::Failed;
        key = std::move(content.key);
        return result == KeyOpen::Ok && !key ? KeyOpen::Failed : result;
    }
    const std::vector<PemBlock> blocks = ReadPemBlocks(file);
    if (where.block < 0 || static_cast<std::size_t>(where.block) >= blocks.size())
        return KeyOpen::Failed;
    const PemBlock& block = blocks[static_cast<std::size_t>(where.block)];
    if (where.form == KeyForm::Plain) {
        key = DecodePlainKey(block);
        return key ? KeyOpen::Ok : KeyOpen::Failed;
    }
    return DecryptKey(block, password, key);
}

// Reads the key, asking for its password as many times as allowed. Null with the last error set.
EvpPkeyPtr OpenKey(const StoreKeyRef& where, const std::string& what)
{
    SecureBytes file;
    if (!ReadSmallFile(where.file, file)) {
        FailWith(codes::NoKeyProperty);
        return nullptr;
    }
    EvpPkeyPtr key;
    if (!where.isProtected) {
        if (TryOpen(where, file, {}, key) != KeyOpen::Ok)
            FailFromOpenSsl(codes::BadKeyset);
        return key;
    }
    PasswordPrompt* prompt = ScopedPasswordPrompt::current();
    PasswordSource ask;
    if (prompt)
        ask = [prompt](const std::string& name, int attempt) { return prompt->askPassword(name, attempt); };
    SecretText password;
    switch (AskUntilOpen(
        ask, what, [&](const std::string& text) { return TryOpen(where, file, text, key); }, password)) {
    case PasswordOutcome::Opened: ERR_clear_error(); return key;
    case PasswordOutcome::Cancelled: FailWith(codes::Cancelled); return nullptr;
    case PasswordOutcome::Failed: FailFromOpenSsl(codes::BadKeyset); return nullptr;
    case PasswordOutcome::WrongEveryTime: break;
    }
    FailWith(codes::InvalidPassword);
    return nullptr;
}

} // namespace

BOOL CryptAcquireCertificatePrivateKey(PCCERT_CONTEXT cert, DWORD, void*, HCRYPTPROV* provider, DWORD* keySpec,
                                       BOOL* callerFreeProvider)
{
    if (!cert || !provider)
        return FailWith(codes::InvalidArg);
    *provider = nullptr;
    if (IsGostKey(cert) && !EnsureGostEngine())
        return false;
    // A key acquired once stays with the context, so its password is asked once.
    EvpPkeyPtr key = CertContextKey(cert);
    if (!key) {
        const StoreEntry* entry = FindStoreEntry(cert);
        if (!entry || !entry->key)
            return FailWith(codes::NoKeyProperty);
        key = OpenKey(*entry->key, CommonNameOrWhole(X509_get_subject_name(CertContextX509(cert))));
        if (!key)
            return false;
        // A key found by its file name proves its pair only once it is open.
        EVP_PKEY* publicKey = X509_get0_pubkey(CertContextX509(cert));
        if (!publicKey || EVP_PKEY_eq(key.get(), publicKey) != 1)
            return FailWith(codes::NoKeyProperty);
        SetCertContextKey(cert, key.get());
    }
    // Decoders tried on the way leave entries behind even when the key opened.
    ERR_clear_error();
    *provider = NewKeyProvider(std::move(key));
    if (keySpec)
        *keySpec = AT_KEYEXCHANGE;
    if (callerFreeProvider)
        *callerFreeProvider = 1;
    return 1;
}

} // namespace ordalis
