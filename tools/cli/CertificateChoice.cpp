#include "tools/cli/CertificateChoice.h"

#include "cryptomsg/store/CertificateDescription.h"
#include "cryptomsg/store/StoreAdmin.h"
#include "cryptomsg/store/StoreApi.h"
#include "cryptomsg/store/StoreNames.h"
#include "tools/cli/CliTexts.h"

#include <istream>
#include <ostream>

namespace ordalis::cli {

namespace {

std::vector<CertContextPtr> KeyedCertificates(HCERTSTORE store)
{
    std::vector<CertContextPtr> found;
    PCCERT_CONTEXT context = nullptr;
    while ((context = CertEnumCertificatesInStore(store, context)) != nullptr)
        if (CertHasPrivateKey(context))
            found.emplace_back(CertDuplicateCertificateContext(context));
    return found;
}

CertContextPtr AskForOne(std::vector<CertContextPtr> candidates, Terminal& terminal, std::string& problem)
{
    if (candidates.empty()) {
        problem = tools::Say(texts::kNoKeyedCertificates);
        return nullptr;
    }
    for (std::size_t i = 0; i < candidates.size(); ++i)
        terminal.err << "  " << i + 1 << ") " << CertificateLine(candidates[i].get()) << "\n";
    terminal.err << tools::Say(texts::kCertificateNumber) << std::flush;
    std::string answer;
    std::getline(terminal.in, answer);
    std::size_t number = 0;
    try {
        number = std::stoul(answer);
    } catch (const std::exception&) {
    }
    if (number == 0 || number > candidates.size()) {
        problem = tools::Say(texts::kNoneChosen);
        return nullptr;
    }
    return std::move(candidates[number - 1]);
}

} // namespace

std::string CertificateLine(PCCERT_CONTEXT certificate)
{
    const CertificateDescription d = DescribeCertificate(certificate);
    return tools::Say(texts::kCertificateLine, {d.subject, d.serialHex, d.validTo});
}

CertContextPtr ChooseCertificate(const std::optional<std::string>& id, bool needKey, Terminal& terminal,
                                 std::string& problem)
{
    CertStorePtr store(CertOpenSystemStoreA(nullptr, "MY"));
    if (!id) {
        if (!terminal.interactive) {
            problem = tools::Say(texts::kNoCertificateOption);
            return nullptr;
        }
        return AskForOne(KeyedCertificates(store.get()), terminal, problem);
    }
    std::vector<CertContextPtr> matches = FindCertificates(store.get(), *id);
    if (matches.size() == 1 && needKey && !CertHasPrivateKey(matches.front().get())) {
        // Refused here, before any file is read, and said plainly: the key
        // acquisition would fail later with a code that does not name the key.
        problem = tools::Say(texts::kNoPrivateKey, {CertificateLine(matches.front().get())});
        return nullptr;
    }
    if (matches.size() == 1)
        return std::move(matches.front());
    if (matches.empty()) {
        problem = tools::Say(texts::kNoSuchCertificate, {*id});
        matches = needKey ? KeyedCertificates(store.get()) : std::vector<CertContextPtr>{};
        if (!matches.empty())
            problem += tools::Say(texts::kKeyedCertificatesAre);
    } else {
        problem = tools::Say(texts::kSeveralMatch, {*id});
    }
    for (const auto& match : matches)
        problem += "\n  " + CertificateLine(match.get());
    return nullptr;
}

CertContextPtr ChooseRecipientCertificate(const std::string& id, std::string& problem)
{
    std::vector<StoreMatch> matches = FindCertificatesInStores({kPersonalStore, kAddressBookStore}, id);
    if (matches.size() == 1)
        return std::move(matches.front().certificate);
    if (matches.empty()) {
        problem = tools::Say(texts::kNoSuchRecipient, {id});
        return nullptr;
    }
    problem = tools::Say(texts::kSeveralMatch, {id});
    for (const StoreMatch& match : matches)
        problem += "\n  " + tools::Say(texts::kFoundInStore, {CertificateLine(match.certificate.get()), match.store});
    return nullptr;
}

CertContextPtr ChooseOwnCertificate(Terminal& terminal, std::string& problem)
{
    CertStorePtr store(CertOpenSystemStoreA(nullptr, "MY"));
    std::vector<CertContextPtr> keyed = KeyedCertificates(store.get());
    if (keyed.size() == 1)
        return std::move(keyed.front());
    if (keyed.size() > 1 && !terminal.interactive) {
        problem = tools::Say(texts::kSeveralOwnCertificates);
        for (const auto& candidate : keyed)
            problem += "\n  " + CertificateLine(candidate.get());
        return nullptr;
    }
    return AskForOne(std::move(keyed), terminal, problem);
}

} // namespace ordalis::cli
