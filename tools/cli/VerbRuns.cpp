#include "tools/cli/VerbRuns.h"

#include "common/Error.h"
#include "tools/cli/Batch.h"
#include "tools/cli/CliOptions.h"
#include "tools/cli/CliTabs.h"
#include "tools/cli/CliTexts.h"
#include "tools/cli/SignaturePairs.h"
#include "tools/cli/VerifyFile.h"

namespace ordalis::cli {

int RunSign(const CliOptions& options, Batch& batch)
{
    if (!batch.useCertificate(options.value("--cert"), true))
        return 2;
    return batch.run(SingleFiles(options.files()), [&](const Job& job, TerminalDesktop& desktop) {
        CliSignTab tab(job.file, options.flag("--pack"), options.flag("--base64"), options.flag("--attached"));
        return SignOperation(tab, desktop);
    });
}

int RunVerify(const CliOptions& options, Batch& batch)
{
    std::vector<Job> jobs;
    for (auto& [file, signature] : VerifyPairs(options.files()))
        jobs.push_back({std::move(file), std::move(signature)});
    const VerifyChoices choices{options.flag("--details"), options.flag("--trusted"), options.value("--extract"),
                                options.value("--signer-cert")};
    if (choices.extract && jobs.size() != 1)
        throw UsageError(tools::Say(texts::kExtractNeedsOneSignature));
    return batch.run(jobs, [&choices](const Job& job, TerminalDesktop& desktop) {
        if (job.signature.empty())
            throw Error(tools::Say(texts::kNoSignatureFound, {job.file}));
        return VerifyFile(job.file, job.signature, choices, desktop);
    });
}

int RunEncrypt(const CliOptions& options, Batch& batch)
{
    const auto certId = options.value("--cert");
    const auto certFile = options.value("--cert-file");
    if (certId.has_value() == certFile.has_value())
        throw UsageError(tools::Say(texts::kEncryptNeedsOneRecipient));
    if (certId && !batch.useCertificate(certId, false))
        return 2;
    return batch.run(SingleFiles(options.files()), [&](const Job& job, TerminalDesktop& desktop) {
        CliEncryptTab tab(job.file, certFile.value_or(""));
        return EncryptOperation(tab, desktop);
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
    return batch.run(SingleFiles(options.files()), [](const Job& job, TerminalDesktop& desktop) {
        CliDecryptTab tab(job.file);
        const OperationResult result = DecryptOperation(tab, desktop);
        if (tab.missingSender())
            desktop.showError(SenderCertificateMissingText(*tab.missingSender()));
        return result;
    });
}

} // namespace ordalis::cli
