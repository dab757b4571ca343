#pragma once

#include "cryptomsg/cryptoapi/CryptoApi.h"
#include "cryptomsg/store/SelfSignedCertificate.h"
#include "cryptomsg/store/StoreApi.h"
#include "tests/support/TempDir.h"

#include <map>
#include <optional>
#include <string>

namespace ordalis::test {

// The password of the standard set's protected key.
inline constexpr const char* kProtectedKeyPassword = "пароль 1";

struct TestCertificate {
    std::string label;
    KeyAlgorithm algorithm = KeyAlgorithm::Gost2012_256;
    std::string subject;         // as requested, "CN=...,O=..."
    std::string serialHex;       // as `openssl x509 -serial` prints it
    std::string thumbprint;      // SHA-1, upper-case hex
    std::string certificateFile; // the PEM file in the store
    std::string derFile;         // a DER copy outside the store, e.g. for an encryption recipient
    std::string password;        // of the key; empty when the key is not protected
    bool hasKey = true;
};

// Set the fields by name (designated initializers trip -Wmissing-field-initializers).
struct TestCertificateOptions {
    std::string subject;  // "CN=<label>,O=Ordalis Test" when empty
    std::string password; // protects the key when not empty
    bool withKey = true;
    std::string serialHex; // random when empty
    long notBeforeOffsetSeconds = 0;
    long validDays = 365;
};

// A personal store of the test's own: while it lives, XDG_DATA_HOME points to a
// fresh temporary folder (restored afterwards), so CertOpenSystemStoreA(nullptr,
// "MY") opens this store. Certificates are made with real keys.
class TestStore {
public:
    TestStore();
    TestStore(const TestStore&) = delete;
    TestStore& operator=(const TestStore&) = delete;
    ~TestStore();

    const std::string& dataHome() const { return m_dataHome; }
    // The "MY" store folder.
    std::string folder() const;
    // A path in a scratch folder outside the store, for a test's inputs and outputs.
    std::string path(const std::string& name) const { return m_temp.file("files/" + name); }

    // Adds a new certificate with its key; labels are unique within a store.
    const TestCertificate& add(const std::string& label, KeyAlgorithm algorithm,
                               const TestCertificateOptions& options = {});
    // "gost2001", "gost2012_256", "gost2012_512" and "rsa" with plain keys, and "protected"
    // (GOST R 34.10-2012 256 bit, key encrypted with kProtectedKeyPassword). Made once for
    // all test processes (see FixtureFolder) and copied into each store, so it is cheap
    // to call in every test.
    void addStandardSet();
    // A certificate whose validity ended yesterday.
    const TestCertificate& addExpired(const std::string& label, KeyAlgorithm algorithm = KeyAlgorithm::Gost2012_256);
    const TestCertificate& addWithSerial(const std::string& label, const std::string& serialHex,
                                         KeyAlgorithm algorithm = KeyAlgorithm::Gost2012_256);

    const TestCertificate& get(const std::string& label) const;

    CertStorePtr open() const;
    // The certificate from a freshly opened store (the context keeps the store alive); null when absent.
    CertContextPtr context(const std::string& label) const;
    // Its position in the store's enumeration order (for FakeDesktop::certificateAnswers); -1 when absent.
    int indexOf(const std::string& label) const;

private:
    const TestCertificate& record(TestCertificate certificate);

    TempDir m_temp;
    std::string m_dataHome;
    std::optional<std::string> m_previousDataHome;
    std::map<std::string, TestCertificate> m_certificates;
};

} // namespace ordalis::test
