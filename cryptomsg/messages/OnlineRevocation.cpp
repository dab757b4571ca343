#include "cryptomsg/messages/OnlineRevocation.h"

#include "cryptomsg/messages/CertificatePaths.h"
#include "cryptomsg/messages/OcspClient.h"
#include "cryptomsg/messages/ServiceError.h"

#include <openssl/err.h>

#include <ctime>

namespace ordalis {

std::vector<OcspBasicPtr> AskOcspAlongPath(X509* certificate, std::span<X509* const> extra,
                                           const OnlineRevocation& online)
{
    std::vector<OcspBasicPtr> answers;
    const BuiltPath built = BuildPath(certificate, extra);
    const std::time_t now = std::time(nullptr);
    // The last link is the root: nobody answers for it.
    for (std::size_t i = 0; i + 1 < built.path.size(); ++i) {
        X509* link = built.path[i].get();
        const std::optional<std::string> url = online.ocspUrl ? online.ocspUrl : OcspUrlOf(link);
        if (!url)
            continue;
        try {
            answers.push_back(AskOcsp(*url, link, built.path[i + 1].get(), extra, now, online.timeoutSeconds).basic);
        } catch (const ServiceError&) {
            // An answer that cannot be had or trusted is no answer; the CRLs decide.
        }
    }
    ERR_clear_error();
    return answers;
}

} // namespace ordalis
