#include "cryptomsg/messages/CertificatePaths.h"

#include "cryptomsg/cryptoapi/CryptoRuntime.h"
#include "cryptomsg/messages/LongTermOssl.h"
#include "cryptomsg/messages/TrustAnchors.h"

#include <openssl/err.h>

namespace ordalis {

namespace {

using StoreCtxPtr = std::unique_ptr<X509_STORE_CTX, OsslFree<X509_STORE_CTX_free>>;

// Notes the first error and goes on, so that the whole path is built.
int NoteFirstError(int ok, X509_STORE_CTX* ctx)
{
    auto* built = static_cast<BuiltPath*>(X509_STORE_CTX_get_app_data(ctx));
    if (!ok && built->error == X509_V_OK) {
        built->error = X509_STORE_CTX_get_error(ctx);
        built->errorDepth = X509_STORE_CTX_get_error_depth(ctx);
    }
    return 1;
}

} // namespace

BuiltPath BuildPath(X509* certificate, std::span<X509* const> extra, std::optional<std::time_t> when)
{
    EnsureGostEngine();
    BuiltPath built;
    CertStoreOsslPtr roots = RootsStore();
    X509StackPtr intermediates = CaCertificates(extra);
    StoreCtxPtr ctx(X509_STORE_CTX_new());
    if (!certificate || !roots || !intermediates || !ctx ||
        X509_STORE_CTX_init(ctx.get(), roots.get(), certificate, intermediates.get()) != 1) {
        ERR_clear_error();
        built.error = X509_V_ERR_UNSPECIFIED;
        return built;
    }
    if (when)
        X509_STORE_CTX_set_time(ctx.get(), 0, *when);
    X509_STORE_CTX_set_app_data(ctx.get(), &built);
    X509_STORE_CTX_set_verify_cb(ctx.get(), NoteFirstError);
    if (X509_verify_cert(ctx.get()) != 1 && built.error == X509_V_OK)
        built.error = X509_STORE_CTX_get_error(ctx.get());
    X509StackPtr chain(X509_STORE_CTX_get1_chain(ctx.get()));
    for (int i = 0; chain && i < sk_X509_num(chain.get()); ++i) {
        X509* link = sk_X509_value(chain.get(), i);
        X509_up_ref(link);
        built.path.emplace_back(link);
    }
    if (built.path.empty()) {
        X509_up_ref(certificate);
        built.path.emplace_back(certificate);
    }
    ERR_clear_error();
    return built;
}

} // namespace ordalis
