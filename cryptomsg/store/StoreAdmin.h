#pragma once

// Managing a personal store folder: what ordalis-store does, also used by
// ordalis-cli (certificate IDs) and by the tests (filling a store).
//
// Files written: "<SHA-1 thumbprint>.crt" (PEM certificate) and, beside it,
// "<SHA-1 thumbprint>.key" (PKCS#8 PEM key), each 0600 in a 0700 folder. A
// PKCS#12 bundle is unpacked on import into such a pair, the key encrypted
// with the bundle's own password (PBES2, AES-256-CBC, PBKDF2-HMAC-SHA-256 with
// at least the bundle's own iteration count), so the user keeps one password
// and the store can list the certificate without asking for it.
// Failures throw Error with a message for the user.

#include "cryptomsg/cryptoapi/CryptoApi.h"
#include "cryptomsg/cryptoapi/Ossl.h"
#include "cryptomsg/store/CertificateDescription.h"
#include "cryptomsg/store/PasswordAttempts.h"
#include "cryptomsg/store/SelfSignedCertificate.h"
#include "cryptomsg/store/StoreCertificateImport.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace ordalis {

inline constexpr const char* kPersonalStore = "MY";

struct StoreListing {
    struct Item {
        CertificateDescription description;
        LONG timeValidity = 0; // CertVerifyTimeValidity now: -1 not yet valid, 0 valid, 1 expired
    };
    std::string folder;
    std::vector<Item> certificates;    // in the store's order
    std::vector<std::string> problems; // files that could not be used, and why
    struct Crl {
        std::string issuer;
        std::string thisUpdate;
        std::string nextUpdate; // empty when the list names none
    };
    std::vector<Crl> crls;
};

StoreListing ListStore(const std::string& storeName = kPersonalStore);

// The certificates an ID names: its serial number in hex as `openssl x509
// -serial` prints it or its SHA-1 thumbprint in hex (either case, colons and
// blanks ignored), else every certificate whose subject contains the ID.
// New references, in the store's order.
std::vector<CertContextPtr> FindCertificates(HCERTSTORE store, const std::string& id);

// A certificate an ID names and the store it was found in.
struct StoreMatch {
    CertContextPtr certificate;
    std::string store;
};

// The certificates an ID names in any of the stores, searched in the order given
// with the rule of FindCertificates applied to them all: a serial number or
// thumbprint match anywhere outweighs subject matches. A certificate held by
// several of the stores is named once, as found in the first.
std::vector<StoreMatch> FindCertificatesInStores(const std::vector<std::string>& storeNames, const std::string& id);

// The one certificate an ID names; throws when none does or several do (naming them).
CertContextPtr FindOneCertificate(HCERTSTORE store, const std::string& id);

// Imports into MY a PKCS#12 bundle, a PEM or DER certificate or a PEM private key (whose
// certificate must be in the file or the store); into the other stores certificates,
// PKCS#7 bundles and (into CA) CRLs, asking approve first (see ImportBundle).
// Returns what was done, an item each.
std::vector<ImportedItem> ImportFile(const std::string& path, const PasswordSource& password,
                                     const std::string& storeName = kPersonalStore, const ImportApproval& approve = {});

// Puts a private key read from elsewhere into MY with its certificate, or with the
// certificate of MY whose public key it is when certificate is null, the key
// encrypted with password (unprotected when it is empty) as a PKCS#12 import
// stores it. stored is the certificate used; nothing is done and nothing
// returned when MY has none for the key.
std::vector<ImportedItem> ImportKeyPair(X509* certificate, EVP_PKEY* key, const std::string& password, X509Ptr& stored);

// Writes the certificate an ID names to file: PEM when the name ends in ".pem", DER otherwise.
void ExportCertificate(const std::string& id, const std::string& file, const std::string& storeName = kPersonalStore);

// What removing the certificate an ID names would delete: the certificate, whether a
// private key goes with it, and the files that hold them. Throws as RemoveCertificate does.
struct RemovalPlan {
    CertificateDescription certificate;
    std::vector<std::string> files;
};
RemovalPlan PlanRemoval(const std::string& id, const std::string& storeName = kPersonalStore);

// Removes the certificate an ID names and its key. Returns the files deleted.
std::vector<std::string> RemoveCertificate(const std::string& id, const std::string& storeName = kPersonalStore);

// Puts a certificate and its key (protected when password is not empty) into the store.
// Returns the certificate's file.
std::string AddToStore(X509* certificate, EVP_PKEY* key, const std::string& password,
                       const std::string& storeName = kPersonalStore);

// Makes a self-signed certificate with a new key and adds both to the store.
CertificateDescription CreateSelfSigned(const CertificateRequest& request, const std::string& password,
                                        const std::string& storeName = kPersonalStore);

} // namespace ordalis
