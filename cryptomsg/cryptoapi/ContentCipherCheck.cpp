#include "cryptomsg/cryptoapi/ContentCipherCheck.h"

#include "common/ErrorCodes.h"
#include "cryptomsg/cryptoapi/OsslError.h"

#include <openssl/asn1t.h>
#include <openssl/crypto.h>
#include <openssl/objects.h>

#include <memory>

namespace ordalis {

namespace {

// Just enough of an EnvelopedData (RFC 5652) to reach its content-encryption
// algorithm, which OpenSSL's CMS interface does not hand out; the other parts
// are kept undecoded.
struct EncryptedContentInfoView {
    ASN1_OBJECT* contentType;
    X509_ALGOR* algorithm;
    ASN1_OCTET_STRING* content;
};

struct EnvelopedDataView {
    ASN1_INTEGER* version;
    STACK_OF(ASN1_TYPE) * originatorInfo;
    STACK_OF(ASN1_TYPE) * recipientInfos;
    EncryptedContentInfoView* encryptedContentInfo;
    STACK_OF(ASN1_TYPE) * unprotectedAttributes;
};

struct ContentInfoView {
    ASN1_OBJECT* contentType;
    EnvelopedDataView* envelope;
};

// Gost28147-89-Parameters (RFC 4357): the IV and the S-box set.
struct Gost28147ParametersView {
    ASN1_OCTET_STRING* iv;
    ASN1_OBJECT* parameterSet;
};

// The parameters of GOST R 34.12-2015 ciphers in CTR-ACPKM mode in CMS:
// the UKM, which is the IV followed by a key-derivation seed.
struct Gost2015ParametersView {
    ASN1_OCTET_STRING* ukm;
};

} // namespace

ASN1_SEQUENCE(EncryptedContentInfoView) =
    {
        ASN1_SIMPLE(EncryptedContentInfoView, contentType, ASN1_OBJECT),
        ASN1_SIMPLE(EncryptedContentInfoView, algorithm, X509_ALGOR),
        ASN1_IMP_OPT(EncryptedContentInfoView, content, ASN1_OCTET_STRING, 0),
} ASN1_SEQUENCE_END(EncryptedContentInfoView)

        ASN1_SEQUENCE(EnvelopedDataView) =
            {
                ASN1_SIMPLE(EnvelopedDataView, version, ASN1_INTEGER),
                ASN1_IMP_SEQUENCE_OF_OPT(EnvelopedDataView, originatorInfo, ASN1_ANY, 0),
                ASN1_SET_OF(EnvelopedDataView, recipientInfos, ASN1_ANY),
                ASN1_SIMPLE(EnvelopedDataView, encryptedContentInfo, EncryptedContentInfoView),
                ASN1_IMP_SET_OF_OPT(EnvelopedDataView, unprotectedAttributes, ASN1_ANY, 1),
} ASN1_SEQUENCE_END(EnvelopedDataView)

                ASN1_SEQUENCE(ContentInfoView) =
                    {
                        ASN1_SIMPLE(ContentInfoView, contentType, ASN1_OBJECT),
                        ASN1_EXP(ContentInfoView, envelope, EnvelopedDataView, 0),
} ASN1_SEQUENCE_END(ContentInfoView)

                        ASN1_SEQUENCE(Gost28147ParametersView) =
                            {
                                ASN1_SIMPLE(Gost28147ParametersView, iv, ASN1_OCTET_STRING),
                                ASN1_SIMPLE(Gost28147ParametersView, parameterSet, ASN1_OBJECT),
} ASN1_SEQUENCE_END(Gost28147ParametersView)

                                ASN1_SEQUENCE(Gost2015ParametersView) =
                                    {
                                        ASN1_SIMPLE(Gost2015ParametersView, ukm, ASN1_OCTET_STRING),
} ASN1_SEQUENCE_END(Gost2015ParametersView)

                                        namespace
{
    template <class View>
    struct ItemFree {
        const ASN1_ITEM* item;
        void operator()(View* view) const { ASN1_item_free(reinterpret_cast<ASN1_VALUE*>(view), item); }
    };

    template <class View>
    using ViewPtr = std::unique_ptr<View, ItemFree<View>>;

    // Decodes exactly the bytes given as the item; null otherwise.
    template <class View>
    ViewPtr<View> DecodeView(const unsigned char* der, long length, const ASN1_ITEM* item)
    {
        const unsigned char* p = der;
        ASN1_VALUE* value = ASN1_item_d2i(nullptr, &p, length, item);
        ViewPtr<View> view(reinterpret_cast<View*>(value), ItemFree<View>{item});
        if (view && p != der + length)
            view.reset();
        return view;
    }

    struct DerFree {
        void operator()(unsigned char* der) const { OPENSSL_free(der); }
    };
    using DerPtr = std::unique_ptr<unsigned char, DerFree>;

    // The envelope encoded without its encrypted content, which may be large and is not needed here.
    DerPtr EncodeWithoutContent(CMS_ContentInfo * envelope, int& length)
    {
        ASN1_OCTET_STRING** slot = CMS_get0_content(envelope);
        ASN1_OCTET_STRING* content = slot ? *slot : nullptr;
        if (slot)
            *slot = nullptr;
        unsigned char* der = nullptr;
        length = i2d_CMS_ContentInfo(envelope, &der);
        if (slot)
            *slot = content;
        return DerPtr(length > 0 ? der : nullptr);
    }

    bool Gost28147ParametersAreSound(int type, const void* value)
    {
        if (type != V_ASN1_SEQUENCE)
            return false;
        const ASN1_STRING* sequence = static_cast<const ASN1_STRING*>(value);
        return DecodeView<Gost28147ParametersView>(ASN1_STRING_get0_data(sequence), ASN1_STRING_length(sequence),
                                                   ASN1_ITEM_rptr(Gost28147ParametersView)) != nullptr;
    }

    // The UKM's length the engine requires of a GOST R 34.12-2015 cipher in
    // CTR-ACPKM mode; 0 for any other cipher.
    int Gost2015UkmLength(int nid)
    {
        switch (nid) {
        case NID_magma_ctr_acpkm:
        case NID_magma_ctr_acpkm_omac: return 12;
        case NID_kuznyechik_ctr_acpkm:
        case NID_kuznyechik_ctr_acpkm_omac: return 16;
        default: return 0;
        }
    }

    // The engine reports parameters it cannot read and then decrypts with a zero
    // IV all the same, which gives wrong content and success.
    bool Gost2015ParametersAreSound(int type, const void* value, int ukmLength)
    {
        if (type != V_ASN1_SEQUENCE)
            return false;
        const ASN1_STRING* sequence = static_cast<const ASN1_STRING*>(value);
        const auto view = DecodeView<Gost2015ParametersView>(
            ASN1_STRING_get0_data(sequence), ASN1_STRING_length(sequence), ASN1_ITEM_rptr(Gost2015ParametersView));
        return view && ASN1_STRING_length(view->ukm) == ukmLength;
    }

} // namespace

bool ContentCipherParametersAreSound(CMS_ContentInfo* envelope)
{
    int length = 0;
    const DerPtr der = EncodeWithoutContent(envelope, length);
    const auto view = der ? DecodeView<ContentInfoView>(der.get(), length, ASN1_ITEM_rptr(ContentInfoView)) : nullptr;
    if (!view)
        return FailFromOpenSsl(codes::Asn1Corrupt);
    if (!CipherParametersAreSound(view->envelope->encryptedContentInfo->algorithm))
        return FailWith(codes::Asn1Corrupt);
    return true;
}

bool CipherParametersAreSound(const X509_ALGOR* algorithm)
{
    const ASN1_OBJECT* cipher = nullptr;
    int type = V_ASN1_UNDEF;
    const void* value = nullptr;
    X509_ALGOR_get0(&cipher, &type, &value, algorithm);
    if (type == V_ASN1_UNDEF)
        return false;
    const int nid = OBJ_obj2nid(cipher);
    if (const int ukmLength = Gost2015UkmLength(nid))
        return Gost2015ParametersAreSound(type, value, ukmLength);
    return nid != NID_id_Gost28147_89 || Gost28147ParametersAreSound(type, value);
}

} // namespace ordalis
