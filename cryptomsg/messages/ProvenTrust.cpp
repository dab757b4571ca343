#include "cryptomsg/messages/ProvenTrust.h"

#include "cryptomsg/cryptoapi/CertContextInternal.h"
#include "cryptomsg/messages/TrustAtTime.h"
#include "cryptomsg/store/CertStoreInternal.h"

#include <openssl/err.h>

namespace ordalis {

std::vector<SignerEvidence> ExamineMessageEvidence(std::span<const unsigned char> der)
{
    std::vector<SignerEvidence> evidence;
    const unsigned char* cursor = der.data();
    CmsPtr cms(d2i_CMS_ContentInfo(nullptr, &cursor, static_cast<long>(der.size())));
    STACK_OF(CMS_SignerInfo)* signers = cms ? CMS_get0_SignerInfos(cms.get()) : nullptr;
    ERR_clear_error();
    if (!signers)
        return evidence;
    X509StackPtr carried(CMS_get1_certs(cms.get()));
    std::vector<X509*> certificates;
    for (int i = 0; carried && i < sk_X509_num(carried.get()); ++i)
        certificates.push_back(sk_X509_value(carried.get(), i));
    for (int i = 0; i < sk_CMS_SignerInfo_num(signers); ++i)
        evidence.push_back(ExamineSignerEvidence(sk_CMS_SignerInfo_value(signers, i), certificates));
    ERR_clear_error();
    return evidence;
}

SignerTrust JudgeSignerTrust(X509* certificate, std::span<X509* const> carried, const SignerEvidence& evidence)
{
    std::vector<X509*> extra(carried.begin(), carried.end());
    for (X509* value : evidence.certificates())
        extra.push_back(value);
    SignerTrust trust;
    trust.provenBy = evidence.provenTime();
    if (!trust.provenBy) {
        trust.outcome = CheckSigningTrust(certificate, extra);
        trust.revocationSource = trust.outcome.verdict == TrustVerdict::RevocationUnknown ? "none" : "crl";
        return trust;
    }
    const std::vector<X509_CRL*> crls = evidence.crls();
    const std::vector<OCSP_BASICRESP*> answers = evidence.ocspAnswers();
    TrustAtTime judged = CheckSigningTrustAt(certificate, extra, trust.provenBy->time, {crls, answers});
    trust.outcome = std::move(judged.outcome);
    trust.revocationSource = judged.revocationSource;
    return trust;
}

std::optional<SignerTrust> ProvenSignerTrust(PCCERT_CONTEXT signer, std::span<const unsigned char> der,
                                             std::size_t index)
{
    const std::vector<SignerEvidence> evidence = ExamineMessageEvidence(der);
    if (!signer || index >= evidence.size() || !evidence[index].provenTime())
        return std::nullopt;
    std::vector<X509*> carried;
    if (const std::shared_ptr<CertStore> store = CertContextStore(signer))
        for (const StoreEntry& entry : store->content.entries)
            carried.push_back(entry.certificate.get());
    return JudgeSignerTrust(CertContextX509(signer), carried, evidence[index]);
}

std::string ProvenTimeSentence(const TimestampFinding& proof)
{
    return "Время подписи подтверждено штампом времени: " + proof.timeText;
}

std::string VerdictTimeWords(const TimestampFinding& proof) { return "Проверено на время штампа: " + proof.timeText; }

} // namespace ordalis
