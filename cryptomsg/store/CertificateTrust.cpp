#include "cryptomsg/store/CertificateTrust.h"

#include "cryptomsg/cryptoapi/CertNameText.h"
#include "cryptomsg/cryptoapi/CryptoRuntime.h"
#include "cryptomsg/store/CertStoreInternal.h"
#include "cryptomsg/store/CertificateDescription.h"
#include "cryptomsg/store/CrlChoice.h"
#include "cryptomsg/store/StoreFolder.h"
#include "cryptomsg/store/StoreNames.h"

#include <openssl/err.h>
#include <openssl/x509v3.h>

#include <algorithm>

namespace ordalis {

namespace {

using X509StorePtr = std::unique_ptr<X509_STORE, OsslFree<X509_STORE_free>>;
using X509StoreCtxPtr = std::unique_ptr<X509_STORE_CTX, OsslFree<X509_STORE_CTX_free>>;

// What the verification callback saw about one link.
struct LinkFinding {
    int error = X509_V_OK; // the first error other than a missing CRL
    std::string revokedOn;
    bool crlMissing = false;
};

// What the verification callback saw: the first error that stops the path,
// whether some link's revocation could not be checked, and each link's own findings.
struct Findings {
    int error = X509_V_OK;
    int errorDepth = -1;
    X509Ptr errorCertificate;
    std::string revokedOn;
    int unknownRevocationDepth = -1;
    X509Ptr unknownRevocationCertificate;
    std::vector<LinkFinding> links; // by depth
    std::vector<X509CrlPtr> crls;   // every CRL of CA, whoever signed it

    LinkFinding* at(int depth)
    {
        if (depth < 0)
            return nullptr;
        if (links.size() <= static_cast<std::size_t>(depth))
            links.resize(static_cast<std::size_t>(depth) + 1);
        return &links[static_cast<std::size_t>(depth)];
    }
};

bool IsMissingCrl(int error)
{
    // An out-of-date CRL says nothing about today, so it counts as none.
    return error == X509_V_ERR_UNABLE_TO_GET_CRL || error == X509_V_ERR_CRL_HAS_EXPIRED ||
           error == X509_V_ERR_CRL_NOT_YET_VALID || error == X509_V_ERR_UNABLE_TO_GET_CRL_ISSUER;
}

X509Ptr Referenced(X509* certificate)
{
    if (certificate)
        X509_up_ref(certificate);
    return X509Ptr(certificate);
}

std::string RevocationDate(X509_STORE_CTX* ctx, X509* certificate)
{
    X509_CRL* crl = X509_STORE_CTX_get0_current_crl(ctx);
    X509_REVOKED* entry = nullptr;
    if (!crl || !certificate || X509_CRL_get0_by_cert(crl, &entry, certificate) != 1 || !entry)
        return {};
    return AsnTimeText(X509_REVOKED_get0_revocationDate(entry));
}

int NoteFinding(int ok, X509_STORE_CTX* ctx)
{
    if (ok)
        return 1;
    auto* findings = static_cast<Findings*>(X509_STORE_CTX_get_app_data(ctx));
    const int error = X509_STORE_CTX_get_error(ctx);
    const int depth = X509_STORE_CTX_get_error_depth(ctx);
    X509* certificate = X509_STORE_CTX_get_current_cert(ctx);
    LinkFinding* link = findings->at(depth);
    if (IsMissingCrl(error)) {
        // The user's own trust in a root needs no CRL to back it.
        STACK_OF(X509)* chain = X509_STORE_CTX_get0_chain(ctx);
        const bool anchor = certificate && chain && depth == sk_X509_num(chain) - 1 &&
                            (X509_get_extension_flags(certificate) & EXFLAG_SI) != 0;
        if (!anchor && findings->unknownRevocationDepth < 0) {
            findings->unknownRevocationDepth = depth;
            findings->unknownRevocationCertificate = Referenced(certificate);
        }
        if (!anchor && link)
            link->crlMissing = true;
        return 1;
    }
    const std::string revokedOn = error == X509_V_ERR_CERT_REVOKED ? RevocationDate(ctx, certificate) : std::string();
    if (findings->error == X509_V_OK) {
        findings->error = error;
        findings->errorDepth = depth;
        findings->errorCertificate = Referenced(certificate);
        findings->revokedOn = revokedOn;
    }
    if (link && link->error == X509_V_OK) {
        link->error = error;
        link->revokedOn = revokedOn;
    }
    // The verdict is the first error; going on lets every link of the path be
    // checked, so that each one can tell its own state.
    return 1;
}

// The CRL that tells about the certificate OpenSSL is checking: only one its
// issuer's key signed counts (see ChooseCrl). OpenSSL asks by the issuer's name
// alone, which anyone can put into a list; the chain tells whose key it is.
STACK_OF(X509_CRL) * IssuersCrl(const X509_STORE_CTX* ctx, const X509_NAME*)
{
    const auto* findings = static_cast<const Findings*>(X509_STORE_CTX_get_app_data(ctx));
    STACK_OF(X509)* chain = X509_STORE_CTX_get0_chain(ctx);
    const int depth = X509_STORE_CTX_get_error_depth(ctx);
    if (!findings || !chain || depth < 0 || sk_X509_num(chain) == 0)
        return nullptr;
    // The top of the chain is its own issuer.
    X509* issuer = sk_X509_value(chain, std::min(depth + 1, sk_X509_num(chain) - 1));
    X509_VERIFY_PARAM* param = X509_STORE_CTX_get0_param(const_cast<X509_STORE_CTX*>(ctx));
    const std::time_t at = X509_VERIFY_PARAM_get_time(param);
    const bool atGivenTime = (X509_VERIFY_PARAM_get_flags(param) & X509_V_FLAG_USE_CHECK_TIME) != 0;
    X509_CRL* crl = ChooseCrl(findings->crls, issuer, atGivenTime ? &at : nullptr);
    if (!crl)
        return nullptr;
    STACK_OF(X509_CRL)* found = sk_X509_CRL_new_null();
    if (found && X509_CRL_up_ref(crl) && !sk_X509_CRL_push(found, crl))
        X509_CRL_free(crl);
    if (found && sk_X509_CRL_num(found) == 0) {
        sk_X509_CRL_free(found);
        return nullptr;
    }
    return found;
}

X509StorePtr TrustStore()
{
    X509StorePtr store(X509_STORE_new());
    if (!store)
        return store;
    for (const StoreEntry& root : ReadStoreContent(StoreFolderPath(kRootStore)).entries)
        X509_STORE_add_cert(store.get(), root.certificate.get());
    X509_STORE_set_lookup_crls(store.get(), IssuersCrl);
    return store;
}

X509StackPtr Intermediates(std::span<X509* const> carried)
{
    X509StackPtr stack(sk_X509_new_null());
    if (!stack)
        return stack;
    for (X509* certificate : carried)
        if (certificate)
            X509_add_cert(stack.get(), certificate, X509_ADD_FLAG_UP_REF);
    for (const StoreEntry& entry : ReadStoreContent(StoreFolderPath(kCaStore)).entries)
        X509_add_cert(stack.get(), entry.certificate.get(), X509_ADD_FLAG_UP_REF);
    return stack;
}

std::vector<X509Ptr> BuiltPath(X509_STORE_CTX* ctx, X509* certificate)
{
    std::vector<X509Ptr> path;
    X509StackPtr chain(X509_STORE_CTX_get1_chain(ctx));
    for (int i = 0; chain && i < sk_X509_num(chain.get()); ++i)
        path.push_back(Referenced(sk_X509_value(chain.get(), i)));
    if (path.empty())
        path.push_back(Referenced(certificate));
    return path;
}

bool AllowsSigning(X509* certificate)
{
    if (!(X509_get_extension_flags(certificate) & EXFLAG_KUSAGE))
        return true;
    return (X509_get_key_usage(certificate) & (KU_DIGITAL_SIGNATURE | KU_NON_REPUDIATION)) != 0;
}

void SetLink(TrustOutcome& outcome, int depth, X509* certificate)
{
    outcome.link = depth;
    if (certificate)
        outcome.linkSubject = FormatName(X509_get_subject_name(certificate), NameStyle::ShortName);
}

TrustVerdict VerdictFor(int error)
{
    switch (error) {
    case X509_V_ERR_CERT_REVOKED: return TrustVerdict::Revoked;
    case X509_V_ERR_CERT_HAS_EXPIRED:
    case X509_V_ERR_CERT_NOT_YET_VALID: return TrustVerdict::OutOfDate;
    default: return TrustVerdict::NoTrustedRoot;
    }
}

bool IsSelfSigned(X509* certificate) { return (X509_get_extension_flags(certificate) & EXFLAG_SS) != 0; }

LinkState StateFor(int error, X509* certificate)
{
    switch (error) {
    case X509_V_ERR_CERT_REVOKED: return LinkState::Revoked;
    case X509_V_ERR_CERT_HAS_EXPIRED: return LinkState::Expired;
    case X509_V_ERR_CERT_NOT_YET_VALID: return LinkState::NotYetValid;
    case X509_V_ERR_CERT_SIGNATURE_FAILURE:
    case X509_V_ERR_UNABLE_TO_DECRYPT_CERT_SIGNATURE:
    case X509_V_ERR_UNABLE_TO_DECODE_ISSUER_PUBLIC_KEY: return LinkState::BadSignature;
    case X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN:
    case X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT:
    case X509_V_ERR_CERT_UNTRUSTED: return LinkState::UntrustedRoot;
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT:
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY:
    case X509_V_ERR_UNABLE_TO_VERIFY_LEAF_SIGNATURE:
        return IsSelfSigned(certificate) ? LinkState::UntrustedRoot : LinkState::IssuerMissing;
    default: return LinkState::OtherFault;
    }
}

LinkTrust LinkOf(const Findings& findings, std::size_t depth, X509* certificate, TrustPurpose purpose)
{
    LinkTrust link;
    const LinkFinding* found = depth < findings.links.size() ? &findings.links[depth] : nullptr;
    if (found && found->error != X509_V_OK) {
        link.state = StateFor(found->error, certificate);
        link.revokedOn = found->revokedOn;
        if (link.state == LinkState::OtherFault)
            link.reason = X509_verify_cert_error_string(found->error);
    } else if (found && found->crlMissing) {
        link.state = LinkState::RevocationUnknown;
    } else if (depth == 0 && purpose == TrustPurpose::Signing && !AllowsSigning(certificate)) {
        link.state = LinkState::NotForSigning;
    }
    return link;
}

std::vector<LinkTrust> LinksOf(const Findings& findings, const std::vector<X509Ptr>& path, TrustPurpose purpose)
{
    std::vector<LinkTrust> links;
    for (std::size_t depth = 0; depth < path.size(); ++depth)
        links.push_back(LinkOf(findings, depth, path[depth].get(), purpose));
    return links;
}

TrustOutcome Judge(const Findings& findings, bool verified, X509* certificate, TrustPurpose purpose)
{
    TrustOutcome outcome;
    if (!verified) {
        const int error = findings.error == X509_V_OK ? X509_V_ERR_UNSPECIFIED : findings.error;
        outcome.verdict = VerdictFor(error);
        outcome.reason = X509_verify_cert_error_string(error);
        outcome.notYetValid = error == X509_V_ERR_CERT_NOT_YET_VALID;
        outcome.revokedOn = findings.revokedOn;
        SetLink(outcome, findings.errorDepth, findings.errorCertificate.get());
        return outcome;
    }
    if (purpose == TrustPurpose::Signing && !AllowsSigning(certificate)) {
        outcome.verdict = TrustVerdict::NotForSigning;
        SetLink(outcome, 0, certificate);
        return outcome;
    }
    if (findings.unknownRevocationDepth >= 0) {
        outcome.verdict = TrustVerdict::RevocationUnknown;
        SetLink(outcome, findings.unknownRevocationDepth, findings.unknownRevocationCertificate.get());
        return outcome;
    }
    outcome.verdict = TrustVerdict::Trusted;
    return outcome;
}

} // namespace

TrustOutcome CheckSigningTrust(X509* certificate, std::span<X509* const> carried)
{
    return CheckTrust(certificate, carried, TrustPurpose::Signing);
}

TrustOutcome CheckTrust(X509* certificate, std::span<X509* const> carried, TrustPurpose purpose)
{
    TrustOutcome failed;
    if (!certificate)
        return failed;
    // Each link's GOST signature is checked through the engine's algorithms.
    EnsureGostEngine();
    X509StorePtr store = TrustStore();
    X509StackPtr untrusted = Intermediates(carried);
    X509StoreCtxPtr ctx(X509_STORE_CTX_new());
    if (!store || !untrusted || !ctx ||
        X509_STORE_CTX_init(ctx.get(), store.get(), certificate, untrusted.get()) != 1) {
        ERR_clear_error();
        failed.reason = "не удалось начать проверку цепочки";
        failed.path.push_back(Referenced(certificate));
        failed.links.push_back({LinkState::OtherFault, {}, failed.reason});
        return failed;
    }
    X509_VERIFY_PARAM_set_flags(X509_STORE_CTX_get0_param(ctx.get()),
                                X509_V_FLAG_CRL_CHECK | X509_V_FLAG_CRL_CHECK_ALL);
    Findings findings;
    findings.crls = std::move(ReadStoreContent(StoreFolderPath(kCaStore)).crls);
    X509_STORE_CTX_set_app_data(ctx.get(), &findings);
    X509_STORE_CTX_set_verify_cb(ctx.get(), NoteFinding);
    const bool verified = X509_verify_cert(ctx.get()) == 1 && findings.error == X509_V_OK;
    if (!verified && findings.error == X509_V_OK)
        findings.error = X509_STORE_CTX_get_error(ctx.get());
    TrustOutcome outcome = Judge(findings, verified, certificate, purpose);
    outcome.path = BuiltPath(ctx.get(), certificate);
    outcome.links = LinksOf(findings, outcome.path, purpose);
    ERR_clear_error();
    return outcome;
}

const char* TrustVerdictCode(TrustVerdict verdict)
{
    switch (verdict) {
    case TrustVerdict::Trusted: return "trusted";
    case TrustVerdict::NoTrustedRoot: return "no-trusted-root";
    case TrustVerdict::Revoked: return "revoked";
    case TrustVerdict::OutOfDate: return "out-of-date";
    case TrustVerdict::RevocationUnknown: return "revocation-unknown";
    case TrustVerdict::NotForSigning: return "not-for-signing";
    }
    return "no-trusted-root";
}

std::string TrustSentence(const TrustOutcome& outcome)
{
    const std::string link = outcome.linkSubject.empty() ? std::string() : " (" + outcome.linkSubject + ")";
    const bool concernedKnown = outcome.link >= 0 && static_cast<std::size_t>(outcome.link) < outcome.links.size();
    const LinkState concerned =
        concernedKnown ? outcome.links[static_cast<std::size_t>(outcome.link)].state : LinkState::OtherFault;
    switch (outcome.verdict) {
    case TrustVerdict::Trusted: return "Сертификат действителен: цепочка ведет к доверенному корневому сертификату";
    case TrustVerdict::NoTrustedRoot:
        if (concerned == LinkState::BadSignature)
            return "Подпись сертификата повреждена или неверна" + link;
        // OpenSSL's own words only where there are none of ours.
        return "Не удалось проверить сертификат до доверенного корневого центра сертификации" + link +
               (concerned == LinkState::OtherFault && !outcome.reason.empty() ? ": " + outcome.reason : "");
    case TrustVerdict::Revoked:
        return "Сертификат отозван" + link + (outcome.revokedOn.empty() ? "" : " " + outcome.revokedOn);
    case TrustVerdict::OutOfDate:
        return std::string(outcome.notYetValid ? "Сертификат еще не действует" : "Срок действия сертификата истек") +
               link;
    case TrustVerdict::RevocationUnknown:
        return "Цепочка ведет к доверенному корневому сертификату, но нет действующего списка отзыва" + link;
    case TrustVerdict::NotForSigning: return "Сертификат не предназначен для подписи" + link;
    }
    return {};
}

std::string LinkSentence(const LinkTrust& link)
{
    switch (link.state) {
    case LinkState::Valid: return "Этот сертификат действителен.";
    case LinkState::UntrustedRoot:
        return "Этот корневой сертификат не является доверенным: его нет в хранилище доверенных корневых "
               "сертификатов.";
    case LinkState::IssuerMissing:
        return "Издатель этого сертификата не найден: путь не доходит до доверенного корневого сертификата.";
    case LinkState::Revoked:
        return "Этот сертификат отозван" + (link.revokedOn.empty() ? std::string() : " " + link.revokedOn) + ".";
    case LinkState::Expired: return "Срок действия этого сертификата истек.";
    case LinkState::NotYetValid: return "Этот сертификат еще не действует.";
    case LinkState::BadSignature: return "Подпись издателя на этом сертификате повреждена или неверна.";
    case LinkState::RevocationUnknown:
        return "Не удалось проверить, не отозван ли этот сертификат: нет действующего списка отзыва.";
    case LinkState::NotForSigning: return "Этот сертификат не предназначен для подписи.";
    case LinkState::OtherFault:
        return "Этот сертификат не прошел проверку" + (link.reason.empty() ? std::string() : ": " + link.reason) + ".";
    }
    return {};
}

} // namespace ordalis
