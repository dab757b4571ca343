#include "tools/cli/VerbRuns.h"

#include "common/Error.h"
#include "tools/cli/Batch.h"
#include "tools/cli/CertificateChoice.h"
#include "tools/cli/CliOptions.h"
#include "tools/cli/CliTabs.h"
#include "tools/cli/CliTexts.h"
#include "tools/cli/Cosign.h"
#include "tools/cli/Enhance.h"
#include "tools/cli/InputSize.h"
#include "tools/cli/LongTermOptions.h"
#include "tools/cli/Recipients.h"
#include "tools/cli/SignaturePairs.h"
#include "tools/cli/VerifyFile.h"

namespace ordalis::cli {

namespace {

// Adds a signer to the signature --cosign names, for the one file given.
int RunCosign(const CliOptions& options, Batch& batch, SignatureForm form,
              const std::optional<LongTermRequest>& longTerm)
{
    for (const char* fixed : {"--attached", "--base64", "--pack"})
        if (options.flag(fixed))
            throw UsageError(tools::Say(texts::kCosignKeepsTheSignaturesForm, {fixed}));
    if (options.files().size() != 1)
        throw UsageError(tools::Say(texts::kCosignNeedsOneFile));
    if (!batch.useCertificate(options.value("--cert"), true))
        return 2;
    const std::vector<Job> jobs = {{options.files()[0], *options.value("--cosign")}};
    return batch.run(jobs, [form, &longTerm](const Job& job, TerminalDesktop& desktop) {
        return CosignFile(job.file, job.signature, form, desktop, longTerm ? &*longTerm : nullptr);
    });
}

} // namespace

int RunSign(const CliOptions& options, Batch& batch)
{
    SignOptions signing;
    if (options.flag("--cades"))
        signing.form = SignatureForm::CadesBes;
    signing.longTerm = LongTermRequestFrom(options);
    if (signing.longTerm && signing.form != SignatureForm::CadesBes)
        throw UsageError(tools::Say(texts::kTsaNeedsCades));
    if (options.value("--cosign"))
        return RunCosign(options, batch, signing.form, signing.longTerm);
    // Files are signed as they are read, but for an attached signer raised
    // further, which is made whole.
    if (!(signing.longTerm && options.flag("--attached")))
        batch.acceptAnySize();
    if (!batch.useCertificate(options.value("--cert"), true))
        return 2;
    return batch.run(SingleFiles(options.files()), [&](const Job& job, TerminalDesktop& desktop) {
        CliSignTab tab(job.file, options.flag("--pack"), options.flag("--base64"), options.flag("--attached"));
        return SignOperation(tab, desktop, signing);
    });
}

VerdictRules VerdictRulesOf(const CliOptions& options)
{
    VerdictRules rules;
    rules.trusted = options.flag("--trusted");
    rules.online = OnlineRevocationFrom(options);
    const std::optional<std::string> revocation = options.value("--revocation");
    if (!revocation)
        return rules;
    if (*revocation != "required" && *revocation != "optional")
        throw UsageError(tools::Say(texts::kRevocationValue));
    if (!rules.trusted)
        throw UsageError(tools::Say(texts::kRevocationNeedsTrusted));
    rules.revocation = *revocation == "required" ? RevocationPolicy::Required : RevocationPolicy::AcceptUnknown;
    return rules;
}

int RunVerify(const CliOptions& options, Batch& batch)
{
    std::vector<Job> jobs;
    for (auto& [file, signature] : VerifyPairs(options.files()))
        jobs.push_back({std::move(file), std::move(signature)});
    const VerifyChoices choices{options.flag("--details"), VerdictRulesOf(options), options.value("--extract"),
                                options.value("--signer-cert")};
    if (choices.extract && jobs.size() != 1)
        throw UsageError(tools::Say(texts::kExtractNeedsOneSignature));
    batch.acceptAnySize(); // contents are digested as they are read; a signature read whole is checked itself
    return batch.run(jobs, [&choices](const Job& job, TerminalDesktop& desktop) {
        if (job.signature.empty())
            throw Error(tools::Say(texts::kNoSignatureFound, {job.file}));
        return VerifyFile(job.file, job.signature, choices, desktop);
    });
}

int RunEnhance(const CliOptions& options, Batch& batch)
{
    const std::optional<LongTermRequest> request = LongTermRequestFrom(options);
    if (!request)
        throw UsageError(tools::Say(texts::kEnhanceNeedsTsa));
    return batch.run(SingleFiles(options.files()), [&request](const Job& job, TerminalDesktop& desktop) {
        return EnhanceFile(job.file, *request, desktop);
    });
}

int RunEncrypt(const CliOptions& options, Batch& batch)
{
    batch.acceptAnySize(); // files are encrypted as they are read
    if (!NamesRecipients(options.sequence))
        throw UsageError(tools::Say(texts::kEncryptNeedsRecipient));
    std::string problem;
    const std::vector<CertContextPtr> chosen = ChooseRecipients(options.sequence, batch.terminal(), problem);
    if (chosen.empty()) {
        batch.terminal().err << "ordalis-cli: " << problem << "\n";
        return 2;
    }
    std::vector<PCCERT_CONTEXT> recipients;
    for (const CertContextPtr& certificate : chosen) {
        // Named here, as the envelope's refusal (for each file) cannot say which recipient it was.
        if (!HasGostKey(certificate.get()))
            batch.terminal().err << "ordalis-cli: "
                                 << tools::Say(texts::kNotGostRecipient, {CertificateLine(certificate.get())}) << "\n";
        recipients.push_back(certificate.get());
    }
    return batch.run(SingleFiles(options.files()), [&](const Job& job, TerminalDesktop& desktop) {
        CliEncryptTab tab(job.file, "");
        return EncryptOperationFor(tab, desktop, recipients);
    });
}

namespace {

std::string SenderCertificateMissingText(const OriginatorName& sender)
{
    const std::string named = sender.issuer.empty()
                                  ? tools::Say(texts::kSenderNamedByKeyId, {sender.keyIdHex})
                                  : tools::Say(texts::kSenderNamedByIssuer, {sender.issuer, sender.serialHex});
    return tools::Say(texts::kSenderCertificateMissing, {named});
}

} // namespace

int RunDecrypt(const CliOptions& options, Batch& batch)
{
    batch.acceptAnySize();
    return batch.run(SingleFiles(options.files()), [](const Job& job, TerminalDesktop& desktop) {
        CheckEnvelopeSize(job.file);
        CliDecryptTab tab(job.file);
        const OperationResult result = DecryptOperation(tab, desktop);
        if (tab.missingSender())
            desktop.showError(SenderCertificateMissingText(*tab.missingSender()));
        return result;
    });
}

} // namespace ordalis::cli
