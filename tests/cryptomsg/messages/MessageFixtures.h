#pragma once

// Keys, certificates, stores and the openssl command line for the message tests.

#include "cryptomsg/cryptoapi/CryptoApi.h"
#include "cryptomsg/messages/MessageApi.h"
#include "cryptomsg/store/SelfSignedCertificate.h"
#include "cryptomsg/store/StoreApi.h"
#include "tests/support/OpenSslTool.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestStore.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

namespace ordalis::test {

struct GostCase {
    KeyAlgorithm algorithm;
    const char* keyOid;
    const char* hashOid;
    const char* opensslDigest; // the digest's name for `openssl cms -md`
};

// The three GOST key algorithms with the digest each signs with.
const std::vector<GostCase>& GostCases();
std::string CaseName(KeyAlgorithm algorithm);
// How GoogleTest names a case; without it, it prints the record's bytes, padding included.
void PrintTo(const GostCase& gost, std::ostream* out);

// A key pair with its self-signed certificate and a context whose key is acquired.
struct Identity {
    KeyAndCertificate pair;
    CertContextPtr context;
};
Identity MakeIdentity(KeyAlgorithm algorithm, const std::string& subject = "CN=Message test,O=Ordalis");

// Writes the certificate and key as PEM files; returns their paths.
std::string WriteCertificatePem(const Identity& identity, const std::string& path);
std::string WriteKeyPem(const Identity& identity, const std::string& path);

// The result of a message call made in its two passes.
struct Outcome {
    bool ok = false;
    std::uint32_t error = 0;
    std::string bytes;
};

// Sign parameters as the signing operation fills them: signer is the one certificate of the message.
CRYPT_SIGN_MESSAGE_PARA SignPara(PCCERT_CONTEXT* signer, const char* hashOid);

Outcome SignMessage(PCCERT_CONTEXT signer, const char* hashOid, const std::string& content, bool detached);
Outcome VerifyDetached(const std::string& signature, const std::string& content, CertContextPtr* signer = nullptr);
Outcome EncryptMessage(const std::vector<PCCERT_CONTEXT>& recipients, const char* algorithmOid,
                       const std::string& content);
Outcome DecryptMessage(const std::vector<HCERTSTORE>& stores, const std::string& message,
                       CertContextPtr* exchange = nullptr);

std::string PseudoRandomBytes(std::size_t size, unsigned seed);

// The PEM key file that the test store keeps beside a certificate's file.
std::string KeyFileOf(const std::string& certificateFile);

// A test store and an envelope of content for its GOST R 34.10-2012 256-bit certificate.
class EnvelopeTest : public ::testing::Test {
protected:
    explicit EnvelopeTest(std::size_t contentSize = 6000, unsigned seed = 21)
        : content(PseudoRandomBytes(contentSize, seed))
    {
    }

    void SetUp() override
    {
        store.addStandardSet();
        my = store.open();
        recipient = store.context("gost2012_256");
        envelope = EncryptMessage({recipient.get()}, "1.2.643.7.1.1.1.1", content).bytes;
        ASSERT_FALSE(envelope.empty());
    }

    TestStore store;
    CertStorePtr my;
    CertContextPtr recipient;
    const std::string content;
    std::string envelope;
};

} // namespace ordalis::test
