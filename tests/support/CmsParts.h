#pragma once

// A CMS message's parts, read for the tests' own checks of what was written.

#include <openssl/cms.h>

#include <memory>
#include <string>

namespace ordalis::test {

using Cms = std::unique_ptr<CMS_ContentInfo, decltype(&CMS_ContentInfo_free)>;

// The message in der; null when it does not decode.
inline Cms Decode(const std::string& der)
{
    const unsigned char* p = reinterpret_cast<const unsigned char*>(der.data());
    return Cms(d2i_CMS_ContentInfo(nullptr, &p, static_cast<long>(der.size())), CMS_ContentInfo_free);
}

// The first signer in the message's order; null when there is none.
inline CMS_SignerInfo* FirstSigner(CMS_ContentInfo* cms)
{
    STACK_OF(CMS_SignerInfo)* signers = cms ? CMS_get0_SignerInfos(cms) : nullptr;
    return signers && sk_CMS_SignerInfo_num(signers) > 0 ? sk_CMS_SignerInfo_value(signers, 0) : nullptr;
}

} // namespace ordalis::test
