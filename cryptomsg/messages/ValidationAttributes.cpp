#include "cryptomsg/messages/ValidationAttributes.h"

#include "common/Error.h"
#include "cryptomsg/messages/ServiceError.h"
#include "cryptomsg/messages/TimestampClient.h"

#include <openssl/asn1t.h>
#include <openssl/err.h>
#include <openssl/x509v3.h>

#include <ctime>

// The types follow the electronic signature formats' ASN.1 module (explicit tags).
// OpenSSL's template macros cast in C style.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wold-style-cast"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace ordalis {

namespace {

// OtherHash ::= CHOICE { sha1Hash OCTET STRING, otherHash OtherHashAlgAndValue };
// OtherHashAlgAndValue has the shape of a DigestInfo (X509_SIG).
struct OTHER_HASH {
    int type;
    union {
        ASN1_OCTET_STRING* sha1Hash;
        X509_SIG* otherHash;
    } d;
};
ASN1_CHOICE(OTHER_HASH) =
    {
        ASN1_SIMPLE(OTHER_HASH, d.sha1Hash, ASN1_OCTET_STRING),
        ASN1_SIMPLE(OTHER_HASH, d.otherHash, X509_SIG),
} ASN1_CHOICE_END(OTHER_HASH)

    // IssuerSerial ::= SEQUENCE { issuer GeneralNames, serialNumber INTEGER }
    struct ISSUER_SERIAL_ID {
    GENERAL_NAMES* issuer;
    ASN1_INTEGER* serial;
};
ASN1_SEQUENCE(ISSUER_SERIAL_ID) =
    {
        ASN1_SEQUENCE_OF(ISSUER_SERIAL_ID, issuer, GENERAL_NAME),
        ASN1_SIMPLE(ISSUER_SERIAL_ID, serial, ASN1_INTEGER),
} ASN1_SEQUENCE_END(ISSUER_SERIAL_ID)

    // OtherCertID ::= SEQUENCE { otherCertHash OtherHash, issuerSerial IssuerSerial OPTIONAL }
    struct OTHER_CERT_ID {
    OTHER_HASH* certHash;
    ISSUER_SERIAL_ID* issuerSerial;
};
ASN1_SEQUENCE(OTHER_CERT_ID) =
    {
        ASN1_SIMPLE(OTHER_CERT_ID, certHash, OTHER_HASH),
        ASN1_OPT(OTHER_CERT_ID, issuerSerial, ISSUER_SERIAL_ID),
} ASN1_SEQUENCE_END(OTHER_CERT_ID)

    // CrlIdentifier ::= SEQUENCE { crlissuer Name, crlIssuedTime UTCTime, crlNumber INTEGER OPTIONAL }
    struct CRL_IDENTIFIER {
    X509_NAME* issuer;
    ASN1_UTCTIME* issuedTime;
    ASN1_INTEGER* number;
};
ASN1_SEQUENCE(CRL_IDENTIFIER) =
    {
        ASN1_SIMPLE(CRL_IDENTIFIER, issuer, X509_NAME),
        ASN1_SIMPLE(CRL_IDENTIFIER, issuedTime, ASN1_UTCTIME),
        ASN1_OPT(CRL_IDENTIFIER, number, ASN1_INTEGER),
} ASN1_SEQUENCE_END(CRL_IDENTIFIER)

    // CrlValidatedID ::= SEQUENCE { crlHash OtherHash, crlIdentifier CrlIdentifier OPTIONAL }
    struct CRL_VALIDATED_ID {
    OTHER_HASH* crlHash;
    CRL_IDENTIFIER* identifier;
};
ASN1_SEQUENCE(CRL_VALIDATED_ID) =
    {
        ASN1_SIMPLE(CRL_VALIDATED_ID, crlHash, OTHER_HASH),
        ASN1_OPT(CRL_VALIDATED_ID, identifier, CRL_IDENTIFIER),
} ASN1_SEQUENCE_END(CRL_VALIDATED_ID)

        DEFINE_STACK_OF(CRL_VALIDATED_ID)

    // CRLListID ::= SEQUENCE { crls SEQUENCE OF CrlValidatedID }
    struct CRL_LIST_ID {
    STACK_OF(CRL_VALIDATED_ID) * crls;
};
ASN1_SEQUENCE(CRL_LIST_ID) =
    {
        ASN1_SEQUENCE_OF(CRL_LIST_ID, crls, CRL_VALIDATED_ID),
} ASN1_SEQUENCE_END(CRL_LIST_ID)

    // OcspIdentifier ::= SEQUENCE { ocspResponderID ResponderID, producedAt GeneralizedTime }
    struct OCSP_IDENTIFIER {
    OCSP_RESPID* responder;
    ASN1_GENERALIZEDTIME* producedAt;
};
ASN1_SEQUENCE(OCSP_IDENTIFIER) =
    {
        ASN1_SIMPLE(OCSP_IDENTIFIER, responder, OCSP_RESPID),
        ASN1_SIMPLE(OCSP_IDENTIFIER, producedAt, ASN1_GENERALIZEDTIME),
} ASN1_SEQUENCE_END(OCSP_IDENTIFIER)

    // OcspResponsesID ::= SEQUENCE { ocspIdentifier OcspIdentifier, ocspRepHash OtherHash OPTIONAL }
    struct OCSP_RESPONSES_ID {
    OCSP_IDENTIFIER* identifier;
    OTHER_HASH* hash;
};
ASN1_SEQUENCE(OCSP_RESPONSES_ID) =
    {
        ASN1_SIMPLE(OCSP_RESPONSES_ID, identifier, OCSP_IDENTIFIER),
        ASN1_OPT(OCSP_RESPONSES_ID, hash, OTHER_HASH),
} ASN1_SEQUENCE_END(OCSP_RESPONSES_ID)

        DEFINE_STACK_OF(OCSP_RESPONSES_ID)

    // OcspListID ::= SEQUENCE { ocspResponses SEQUENCE OF OcspResponsesID }
    struct OCSP_LIST_ID {
    STACK_OF(OCSP_RESPONSES_ID) * responses;
};
ASN1_SEQUENCE(OCSP_LIST_ID) =
    {
        ASN1_SEQUENCE_OF(OCSP_LIST_ID, responses, OCSP_RESPONSES_ID),
} ASN1_SEQUENCE_END(OCSP_LIST_ID)

    // CrlOcspRef ::= SEQUENCE { crlids [0] CRLListID OPTIONAL, ocspids [1] OcspListID OPTIONAL, ... }
    struct CRL_OCSP_REF {
    CRL_LIST_ID* crlids;
    OCSP_LIST_ID* ocspids;
};
ASN1_SEQUENCE(CRL_OCSP_REF) =
    {
        ASN1_EXP_OPT(CRL_OCSP_REF, crlids, CRL_LIST_ID, 0),
        ASN1_EXP_OPT(CRL_OCSP_REF, ocspids, OCSP_LIST_ID, 1),
} ASN1_SEQUENCE_END(CRL_OCSP_REF)

        DEFINE_STACK_OF(OTHER_CERT_ID) DEFINE_STACK_OF(CRL_OCSP_REF)

    // CompleteCertificateRefs ::= SEQUENCE OF OtherCertID
    ASN1_ITEM_TEMPLATE(COMPLETE_CERT_REFS) = ASN1_EX_TEMPLATE_TYPE(ASN1_TFLG_SEQUENCE_OF, 0, CompleteCertificateRefs,
                                                                   OTHER_CERT_ID)
        ASN1_ITEM_TEMPLATE_END(COMPLETE_CERT_REFS)

    // CompleteRevocationRefs ::= SEQUENCE OF CrlOcspRef
    ASN1_ITEM_TEMPLATE(COMPLETE_REVOCATION_REFS) = ASN1_EX_TEMPLATE_TYPE(ASN1_TFLG_SEQUENCE_OF, 0,
                                                                         CompleteRevocationRefs, CRL_OCSP_REF)
        ASN1_ITEM_TEMPLATE_END(COMPLETE_REVOCATION_REFS)

    // CertificateValues ::= SEQUENCE OF Certificate
    ASN1_ITEM_TEMPLATE(CERTIFICATE_VALUES) = ASN1_EX_TEMPLATE_TYPE(ASN1_TFLG_SEQUENCE_OF, 0, CertificateValues, X509)
        ASN1_ITEM_TEMPLATE_END(CERTIFICATE_VALUES)

            DEFINE_STACK_OF(OCSP_BASICRESP)

    // RevocationValues ::= SEQUENCE { crlVals [0] SEQUENCE OF CertificateList OPTIONAL,
    //                                 ocspVals [1] SEQUENCE OF BasicOCSPResponse OPTIONAL, ... }
    struct REVOCATION_VALUES {
    STACK_OF(X509_CRL) * crlVals;
    STACK_OF(OCSP_BASICRESP) * ocspVals;
};
ASN1_SEQUENCE(REVOCATION_VALUES) =
    {
        ASN1_EXP_SEQUENCE_OF_OPT(REVOCATION_VALUES, crlVals, X509_CRL, 0),
        ASN1_EXP_SEQUENCE_OF_OPT(REVOCATION_VALUES, ocspVals, OCSP_BASICRESP, 1),
} ASN1_SEQUENCE_END(REVOCATION_VALUES)
#pragma GCC diagnostic pop

    // An ASN.1 value of a template item, freed by the item.
    template <const ASN1_ITEM* (*Item)()>
    struct ItemFree {
    void operator()(void* value) const { ASN1_item_free(static_cast<ASN1_VALUE*>(value), Item()); }
};
template <class T, const ASN1_ITEM* (*Item)()>
using ItemPtr = std::unique_ptr<T, ItemFree<Item>>;

template <class T, const ASN1_ITEM* (*Item)()>
ItemPtr<T, Item> NewItem()
{
    ItemPtr<T, Item> made(reinterpret_cast<T*>(ASN1_item_new(Item())));
    if (!made)
        throw Error("Не удалось создать структуру ASN.1: " + DrainOpenSslWords());
    return made;
}

std::vector<unsigned char> EncodeItem(const void* value, const ASN1_ITEM* item)
{
    unsigned char* out = nullptr;
    const int length = ASN1_item_i2d(static_cast<const ASN1_VALUE*>(value), &out, item);
    if (length <= 0)
        throw Error("Не удалось закодировать атрибут: " + DrainOpenSslWords());
    std::vector<unsigned char> bytes(out, out + length);
    OPENSSL_free(out);
    return bytes;
}

void* DecodeItem(std::span<const unsigned char> der, const ASN1_ITEM* item)
{
    const unsigned char* cursor = der.data();
    ASN1_VALUE* value = ASN1_item_d2i(nullptr, &cursor, static_cast<long>(der.size()), item);
    if (value && cursor != der.data() + der.size()) {
        ASN1_item_free(value, item);
        value = nullptr;
    }
    ERR_clear_error();
    return value;
}

OCSP_BASICRESP* DupBasic(OCSP_BASICRESP* answer)
{
    return static_cast<OCSP_BASICRESP*>(ASN1_item_dup(ASN1_ITEM_rptr(OCSP_BASICRESP), answer));
}

void Check(bool done)
{
    if (!done)
        throw Error("Не удалось составить атрибут подписи: " + DrainOpenSslWords());
}

template <class T>
std::vector<unsigned char> Der(int (*encode)(const T*, unsigned char**), const T* value)
{
    unsigned char* out = nullptr;
    const int length = encode(value, &out);
    Check(length > 0);
    std::vector<unsigned char> bytes(out, out + length);
    OPENSSL_free(out);
    return bytes;
}

// OtherHash as otherHash: the md digest of der with md's identifier (GOST digests take no parameters).
OTHER_HASH* NewOtherHash(const EVP_MD* md, const std::vector<unsigned char>& der)
{
    auto hash = NewItem<OTHER_HASH, OTHER_HASH_it>();
    X509_SIG* value = X509_SIG_new();
    Check(value != nullptr);
    hash->type = 1;
    hash->d.otherHash = value;
    X509_ALGOR* algorithm = nullptr;
    ASN1_OCTET_STRING* digest = nullptr;
    X509_SIG_getm(value, &algorithm, &digest);
    const std::vector<unsigned char> bytes = DigestOf(md, der);
    Check(X509_ALGOR_set0(algorithm, OBJ_nid2obj(EVP_MD_get_type(md)), V_ASN1_UNDEF, nullptr) == 1 &&
          ASN1_OCTET_STRING_set(digest, bytes.data(), static_cast<int>(bytes.size())) == 1);
    return hash.release();
}

OTHER_CERT_ID* NewCertId(X509* certificate, const EVP_MD* md)
{
    auto id = NewItem<OTHER_CERT_ID, OTHER_CERT_ID_it>();
    ASN1_item_free(reinterpret_cast<ASN1_VALUE*>(id->certHash), OTHER_HASH_it());
    id->certHash = NewOtherHash(md, Der(i2d_X509, certificate));
    auto issuerSerial = NewItem<ISSUER_SERIAL_ID, ISSUER_SERIAL_ID_it>();
    GENERAL_NAME* name = GENERAL_NAME_new();
    X509_NAME* issuer = X509_NAME_dup(X509_get_issuer_name(certificate));
    Check(name && issuer);
    GENERAL_NAME_set0_value(name, GEN_DIRNAME, issuer);
    Check(sk_GENERAL_NAME_push(issuerSerial->issuer, name) > 0);
    ASN1_INTEGER_free(issuerSerial->serial);
    issuerSerial->serial = ASN1_INTEGER_dup(X509_get0_serialNumber(certificate));
    Check(issuerSerial->serial != nullptr);
    id->issuerSerial = issuerSerial.release();
    return id.release();
}

CRL_VALIDATED_ID* NewCrlId(X509_CRL* crl, const EVP_MD* md)
{
    auto id = NewItem<CRL_VALIDATED_ID, CRL_VALIDATED_ID_it>();
    ASN1_item_free(reinterpret_cast<ASN1_VALUE*>(id->crlHash), OTHER_HASH_it());
    id->crlHash = NewOtherHash(md, Der(i2d_X509_CRL, crl));
    auto identifier = NewItem<CRL_IDENTIFIER, CRL_IDENTIFIER_it>();
    std::tm issued{};
    Check(X509_NAME_set(&identifier->issuer, X509_CRL_get_issuer(crl)) == 1 &&
          ASN1_TIME_to_tm(X509_CRL_get0_lastUpdate(crl), &issued) == 1 &&
          ASN1_UTCTIME_set(identifier->issuedTime, timegm(&issued)) != nullptr);
    if (auto* number = static_cast<ASN1_INTEGER*>(X509_CRL_get_ext_d2i(crl, NID_crl_number, nullptr, nullptr)))
        identifier->number = number;
    id->identifier = identifier.release();
    return id.release();
}

OCSP_RESPONSES_ID* NewOcspId(OCSP_BASICRESP* answer, const EVP_MD* md)
{
    auto id = NewItem<OCSP_RESPONSES_ID, OCSP_RESPONSES_ID_it>();
    // The responder is named as the answer names it, made again from the responder's certificate.
    const ASN1_OCTET_STRING* keyHash = nullptr;
    const X509_NAME* byName = nullptr;
    X509* responder = nullptr;
    Check(OCSP_resp_get0_id(answer, &keyHash, &byName) == 1 && OCSP_resp_get0_signer(answer, &responder, nullptr) == 1);
    OCSP_RESPID* copy = id->identifier->responder;
    Check((byName ? OCSP_RESPID_set_by_name(copy, responder) : OCSP_RESPID_set_by_key(copy, responder)) == 1);
    ASN1_GENERALIZEDTIME_free(id->identifier->producedAt);
    id->identifier->producedAt =
        ASN1_TIME_to_generalizedtime(const_cast<ASN1_GENERALIZEDTIME*>(OCSP_resp_get0_produced_at(answer)), nullptr);
    Check(id->identifier->producedAt != nullptr);
    id->hash = NewOtherHash(md, Der(i2d_OCSP_BASICRESP, answer));
    return id.release();
}

} // namespace

std::vector<unsigned char> EncodeCertificateRefs(std::span<X509* const> certificates, const EVP_MD* md)
{
    auto refs = NewItem<STACK_OF(OTHER_CERT_ID), COMPLETE_CERT_REFS_it>();
    for (X509* certificate : certificates)
        Check(sk_OTHER_CERT_ID_push(refs.get(), NewCertId(certificate, md)) > 0);
    return EncodeItem(refs.get(), COMPLETE_CERT_REFS_it());
}

std::vector<unsigned char> EncodeRevocationRefs(std::span<const RevocationRefSource> sources, const EVP_MD* md)
{
    auto refs = NewItem<STACK_OF(CRL_OCSP_REF), COMPLETE_REVOCATION_REFS_it>();
    for (const RevocationRefSource& source : sources) {
        auto ref = NewItem<CRL_OCSP_REF, CRL_OCSP_REF_it>();
        if (!source.crls.empty()) {
            auto list = NewItem<CRL_LIST_ID, CRL_LIST_ID_it>();
            for (X509_CRL* crl : source.crls)
                Check(sk_CRL_VALIDATED_ID_push(list->crls, NewCrlId(crl, md)) > 0);
            ref->crlids = list.release();
        }
        if (!source.ocsp.empty()) {
            auto list = NewItem<OCSP_LIST_ID, OCSP_LIST_ID_it>();
            for (OCSP_BASICRESP* answer : source.ocsp)
                Check(sk_OCSP_RESPONSES_ID_push(list->responses, NewOcspId(answer, md)) > 0);
            ref->ocspids = list.release();
        }
        Check(sk_CRL_OCSP_REF_push(refs.get(), ref.get()) > 0);
        ref.release();
    }
    return EncodeItem(refs.get(), COMPLETE_REVOCATION_REFS_it());
}

std::vector<unsigned char> EncodeCertificateValues(std::span<X509* const> certificates)
{
    X509StackPtr values(sk_X509_new_null());
    Check(values != nullptr);
    for (X509* certificate : certificates)
        Check(X509_add_cert(values.get(), certificate, X509_ADD_FLAG_UP_REF) == 1);
    return EncodeItem(values.get(), CERTIFICATE_VALUES_it());
}

std::vector<unsigned char> EncodeRevocationValues(std::span<X509_CRL* const> crls,
                                                  std::span<OCSP_BASICRESP* const> ocsp)
{
    auto values = NewItem<REVOCATION_VALUES, REVOCATION_VALUES_it>();
    if (!crls.empty()) {
        values->crlVals = sk_X509_CRL_new_null();
        Check(values->crlVals != nullptr);
        for (X509_CRL* crl : crls) {
            Check(X509_CRL_up_ref(crl) == 1);
            Check(sk_X509_CRL_push(values->crlVals, crl) > 0);
        }
    }
    if (!ocsp.empty()) {
        values->ocspVals = sk_OCSP_BASICRESP_new_null();
        Check(values->ocspVals != nullptr);
        for (OCSP_BASICRESP* answer : ocsp) {
            OCSP_BASICRESP* copy = DupBasic(answer);
            Check(copy && sk_OCSP_BASICRESP_push(values->ocspVals, copy) > 0);
        }
    }
    return EncodeItem(values.get(), REVOCATION_VALUES_it());
}

std::vector<X509Ptr> DecodeCertificateValues(std::span<const unsigned char> der)
{
    std::vector<X509Ptr> certificates;
    ItemPtr<STACK_OF(X509), CERTIFICATE_VALUES_it> values(
        static_cast<STACK_OF(X509)*>(DecodeItem(der, CERTIFICATE_VALUES_it())));
    for (int i = 0; values && i < sk_X509_num(values.get()); ++i) {
        X509* certificate = sk_X509_value(values.get(), i);
        X509_up_ref(certificate);
        certificates.emplace_back(certificate);
    }
    return certificates;
}

RevocationValues DecodeRevocationValues(std::span<const unsigned char> der)
{
    RevocationValues found;
    ItemPtr<REVOCATION_VALUES, REVOCATION_VALUES_it> values(
        static_cast<REVOCATION_VALUES*>(DecodeItem(der, REVOCATION_VALUES_it())));
    for (int i = 0; values && values->crlVals && i < sk_X509_CRL_num(values->crlVals); ++i) {
        X509_CRL* crl = sk_X509_CRL_value(values->crlVals, i);
        X509_CRL_up_ref(crl);
        found.crls.emplace_back(crl);
    }
    for (int i = 0; values && values->ocspVals && i < sk_OCSP_BASICRESP_num(values->ocspVals); ++i)
        found.ocsp.emplace_back(DupBasic(sk_OCSP_BASICRESP_value(values->ocspVals, i)));
    return found;
}

} // namespace ordalis
