#include "common/ErrorCodes.h"
#include "common/LastError.h"
#include "cryptomsg/cryptoapi/CryptoApi.h"
#include "cryptomsg/store/CertificateDescription.h"
#include "tests/support/TestStore.h"

#include <gtest/gtest.h>

namespace ordalis::test {
namespace {

std::vector<std::string> Thumbprints(HCERTSTORE store)
{
    std::vector<std::string> thumbprints;
    PCCERT_CONTEXT context = nullptr;
    while ((context = CertEnumCertificatesInStore(store, context)) != nullptr)
        thumbprints.push_back(DescribeCertificate(context).sha1Thumbprint);
    return thumbprints;
}

TEST(StoreEnumeration, ListsEveryCertificateInTheSameOrderEachTime)
{
    TestStore store;
    store.addStandardSet();
    CertStorePtr first = store.open();
    const std::vector<std::string> order = Thumbprints(first.get());
    ASSERT_EQ(order.size(), 5u);
    EXPECT_EQ(Thumbprints(first.get()), order);
    CertStorePtr second = store.open();
    EXPECT_EQ(Thumbprints(second.get()), order);
    EXPECT_EQ(GetLastError(), codes::NotFound);
}

} // namespace
} // namespace ordalis::test
