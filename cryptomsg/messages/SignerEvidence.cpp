#include "cryptomsg/messages/SignerEvidence.h"

#include "cryptomsg/messages/SignatureTimestamp.h"
#include "cryptomsg/messages/ValidationData.h"

namespace ordalis {

namespace {

std::span<const unsigned char> BytesOf(const ASN1_TYPE* value)
{
    if (!value || value->type != V_ASN1_SEQUENCE)
        return {};
    const ASN1_STRING* der = value->value.sequence;
    return {ASN1_STRING_get0_data(der), static_cast<std::size_t>(ASN1_STRING_length(der))};
}

// Every value of every unsigned attribute of type nid.
std::vector<std::span<const unsigned char>> UnsignedValues(CMS_SignerInfo* signer, int nid)
{
    std::vector<std::span<const unsigned char>> values;
    for (int at = -1; (at = CMS_unsigned_get_attr_by_NID(signer, nid, at)) >= 0;) {
        X509_ATTRIBUTE* attribute = CMS_unsigned_get_attr(signer, at);
        for (int i = 0; i < X509_ATTRIBUTE_count(attribute); ++i)
            values.push_back(BytesOf(X509_ATTRIBUTE_get0_type(attribute, i)));
    }
    return values;
}

void ReadValues(CMS_SignerInfo* signer, SignerEvidence& evidence)
{
    for (const auto der : UnsignedValues(signer, NID_id_smime_aa_ets_certValues))
        for (X509Ptr& certificate : DecodeCertificateValues(der))
            evidence.certificateValues.push_back(std::move(certificate));
    for (const auto der : UnsignedValues(signer, NID_id_smime_aa_ets_revocationValues)) {
        RevocationValues values = DecodeRevocationValues(der);
        for (X509CrlPtr& crl : values.crls)
            evidence.revocationValues.crls.push_back(std::move(crl));
        for (OcspBasicPtr& answer : values.ocsp)
            evidence.revocationValues.ocsp.push_back(std::move(answer));
    }
}

} // namespace

std::optional<TimestampFinding> SignerEvidence::provenTime() const
{
    std::optional<TimestampFinding> earliest;
    for (const TimestampFinding& finding : timestamps)
        if (finding.kind == TimestampKind::Signature && finding.valid() && (!earliest || finding.time < earliest->time))
            earliest = finding;
    return earliest;
}

std::vector<X509*> SignerEvidence::certificates() const
{
    std::vector<X509*> certificates;
    for (const X509Ptr& certificate : certificateValues)
        certificates.push_back(certificate.get());
    return certificates;
}

std::vector<X509_CRL*> SignerEvidence::crls() const
{
    std::vector<X509_CRL*> crls;
    for (const X509CrlPtr& crl : revocationValues.crls)
        crls.push_back(crl.get());
    return crls;
}

std::vector<OCSP_BASICRESP*> SignerEvidence::ocspAnswers() const
{
    std::vector<OCSP_BASICRESP*> answers;
    for (const OcspBasicPtr& answer : revocationValues.ocsp)
        answers.push_back(answer.get());
    return answers;
}

SignerEvidence ExamineSignerEvidence(CMS_SignerInfo* signer, std::span<X509* const> carried)
{
    SignerEvidence evidence;
    ReadValues(signer, evidence);
    std::vector<X509*> extra(carried.begin(), carried.end());
    for (X509* certificate : evidence.certificates())
        extra.push_back(certificate);

    const std::span<const unsigned char> value = SignatureValueOf(signer);
    for (const auto token : UnsignedValues(signer, NID_id_smime_aa_timeStampToken))
        evidence.timestamps.push_back(CheckTimestampToken(token, value, extra, TimestampKind::Signature));
    const std::vector<unsigned char> sealed = ValidationDataStampInput(signer);
    const auto validationStamps = UnsignedValues(signer, NID_id_smime_aa_ets_escTimeStamp);
    for (const auto token : validationStamps)
        evidence.timestamps.push_back(CheckTimestampToken(token, sealed, extra, TimestampKind::ValidationData));

    const bool stamped = !UnsignedValues(signer, NID_id_smime_aa_timeStampToken).empty();
    const bool withValues = !evidence.certificateValues.empty() || !evidence.revocationValues.crls.empty() ||
                            !evidence.revocationValues.ocsp.empty();
    if (stamped && withValues && !validationStamps.empty())
        evidence.level = SignatureLevel::XLong1;
    else if (stamped)
        evidence.level = SignatureLevel::T;
    return evidence;
}

const char* SignatureLevelName(SignatureLevel level)
{
    switch (level) {
    case SignatureLevel::Bes: return "BES";
    case SignatureLevel::T: return "T";
    case SignatureLevel::XLong1: return "XLT1";
    }
    return "BES";
}

} // namespace ordalis
