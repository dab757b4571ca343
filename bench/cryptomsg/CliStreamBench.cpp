// ordalis-cli against `openssl cms` with its streaming flags on files of
// gibibytes: sign and verify (detached and attached), encrypt and decrypt,
// paired runs on the same generated file, the median wall time and the highest
// peak memory of each side. A side that fails (openssl cannot decrypt or
// verify an attached message larger than its memory allows) is reported so.
//
// usage: bench_cli_streams [GiB (default 1)] [runs, median time taken (default 3)]

#include "bench/support/BenchData.h"
#include "bench/support/BenchProcess.h"
#include "bench/support/ScratchFolder.h"
#include "common/Error.h"
#include "cryptomsg/cryptoapi/CryptoRuntime.h"
#include "cryptomsg/cryptoapi/Ossl.h"
#include "cryptomsg/store/SelfSignedCertificate.h"

#include <openssl/pem.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

using namespace ordalis;
using namespace ordalis::bench;

constexpr long kMemoryTargetMiB = 64;
using Command = std::vector<std::string>;

// The bench identity as PEM files for openssl, and in the personal store for ordalis-cli.
void MakeIdentity(const ScratchFolder& folder)
{
    const std::string storeFolder = folder.file("xdg/ordalis/certstore/MY");
    std::filesystem::create_directories(storeFolder);
    ::setenv("XDG_DATA_HOME", folder.file("xdg").c_str(), 1);
    CertificateRequest request;
    request.algorithm = KeyAlgorithm::Gost2012_256;
    request.subject = "CN=Bench streams";
    const KeyAndCertificate made = MakeSelfSignedCertificate(request);
    for (const std::string& path : {folder.file("bench.pem"), storeFolder + "/bench.pem"}) {
        BioPtr out(BIO_new_file(path.c_str(), "w"));
        if (!out || PEM_write_bio_X509(out.get(), made.certificate.get()) != 1)
            throw Error("cannot write " + path);
    }
    BioPtr key(BIO_new_file(folder.file("bench.key").c_str(), "w"));
    BioPtr both(BIO_new_file((storeFolder + "/bench.pem").c_str(), "a"));
    for (BIO* out : {key.get(), both.get()})
        if (!out || PEM_write_bio_PrivateKey(out, made.key.get(), nullptr, nullptr, 0, nullptr, nullptr) != 1)
            throw Error("cannot write the key");
}

struct Side {
    std::vector<double> seconds;
    long peakKiB = 0;
    bool failed = false;

    double median() const
    {
        std::vector<double> sorted = seconds;
        std::sort(sorted.begin(), sorted.end());
        const std::size_t n = sorted.size();
        return n == 0 ? 0 : n % 2 ? sorted[n / 2] : (sorted[n / 2 - 1] + sorted[n / 2]) / 2;
    }
    void keep(const ProcessCost& run)
    {
        peakKiB = std::max(peakKiB, run.peakKiB);
        if (run.succeeded)
            seconds.push_back(run.seconds);
        failed = failed || !run.succeeded;
    }
};

void Print(const std::string& step, const Side& ours, const Side& theirs)
{
    const long ourMiB = ours.peakKiB / 1024, theirMiB = theirs.peakKiB / 1024;
    if (ours.failed)
        throw Error(step + " failed for ordalis-cli");
    if (theirs.failed) {
        std::printf("%-16s ordalis %8.2f s %5ld MiB | openssl FAILED (peak %ld MiB)         | memory %s\n",
                    step.c_str(), ours.median(), ourMiB, theirMiB, ourMiB <= kMemoryTargetMiB ? "ok" : "MISS");
    } else {
        const double ratio = ours.median() / theirs.median();
        std::printf("%-16s ordalis %8.2f s %5ld MiB | openssl %8.2f s %6ld MiB | time %.3fx %s | memory %s\n",
                    step.c_str(), ours.median(), ourMiB, theirs.median(), theirMiB, ratio,
                    ratio <= 1.0 ? "ok  " : "MISS", ourMiB <= kMemoryTargetMiB ? "ok" : "MISS");
    }
    std::fflush(stdout);
}

// Runs both sides in turn, runs times each.
void Compare(const std::string& step, int runs, const Command& ours, const Command& theirs, const std::string& log)
{
    Side mine, openssl;
    for (int r = 0; r < runs; ++r) {
        mine.keep(RunProcess(ours, log));
        openssl.keep(RunProcess(theirs, log));
    }
    Print(step, mine, openssl);
}

Command OpenSsl(Command args)
{
    args.insert(args.begin(), {"openssl", "cms", "-engine", "gost"});
    return args;
}

void Remove(const std::vector<std::string>& paths)
{
    for (const std::string& path : paths)
        std::filesystem::remove(path);
}

void Bench(long gib, int runs)
{
    ScratchFolder folder;
    ::setenv("OPENSSL_CONF", "/dev/null", 1);
    MakeIdentity(folder);
    const std::string cli = ORDALIS_CLI_BINARY, log = folder.file("log.txt");
    const std::string cert = folder.file("bench.pem"), key = folder.file("bench.key");
    const std::string data = folder.file("data.bin");
    WriteData(data, static_cast<std::size_t>(gib) << 30);
    std::printf("%ld GiB file, median of %d runs; time ratio = ordalis-cli / openssl cms wall time; memory = peak "
                "resident of ordalis-cli (target %ld MiB)\n",
                gib, runs, kMemoryTargetMiB);

    // Detached: each side checks the other's signature. openssl streams a
    // detached signature without -stream (which would make it carry the content).
    const std::string ourSig = data + ".sig", theirSig = folder.file("theirs.sig");
    Compare("sign", runs, {cli, "sign", data, "--cert", "Bench"},
            OpenSsl({"-sign", "-binary", "-noattr", "-md", "md_gost12_256", "-signer", cert, "-inkey", key, "-in", data,
                     "-outform", "DER", "-out", theirSig}),
            log);
    Compare("verify", runs, {cli, "verify", data, theirSig},
            OpenSsl({"-verify", "-binary", "-noverify", "-inform", "DER", "-in", ourSig, "-content", data, "-out",
                     "/dev/null"}),
            log);
    Remove({ourSig, theirSig});

    const std::string theirAttached = folder.file("theirs.p7m"), extracted = folder.file("extracted.bin");
    Compare("sign attached", runs, {cli, "sign", data, "--cert", "Bench", "--attached"},
            OpenSsl({"-sign", "-binary", "-noattr", "-nodetach", "-stream", "-md", "md_gost12_256", "-signer", cert,
                     "-inkey", key, "-in", data, "-outform", "DER", "-out", theirAttached}),
            log);
    Compare("verify attached", runs, {cli, "verify", theirAttached, "--extract", extracted},
            OpenSsl({"-verify", "-binary", "-noverify", "-inform", "DER", "-in", ourSig, "-out", "/dev/null"}), log);
    if (!SameFiles(extracted, data))
        throw Error("the extracted content differs from the original");
    Remove({ourSig, theirAttached, extracted});

    // Each side opens the other's envelope.
    const std::string ourEnc = data + ".enc", theirPlain = folder.file("theirs.bin"), theirEnc = theirPlain + ".enc";
    const std::string decrypted = folder.file("decrypted.bin");
    Compare(
        "encrypt", runs, {cli, "encrypt", data, "--cert", "Bench"},
        OpenSsl({"-encrypt", "-binary", "-gost89", "-stream", "-outform", "DER", "-in", data, "-out", theirEnc, cert}),
        log);
    Compare("decrypt", runs, {cli, "decrypt", theirEnc},
            OpenSsl({"-decrypt", "-binary", "-inform", "DER", "-in", ourEnc, "-recip", cert, "-inkey", key, "-out",
                     decrypted}),
            log);
    if (!SameFiles(theirPlain, data))
        throw Error("the decrypted file differs from the original");
}

} // namespace

int main(int argc, char** argv)
{
    try {
        const long gib = argc > 1 ? std::strtol(argv[1], nullptr, 10) : 1;
        const int runs = argc > 2 ? std::atoi(argv[2]) : 3;
        if (gib <= 0 || runs <= 0)
            throw Error("usage: bench_cli_streams [GiB] [runs]");
        if (!EnsureGostEngine())
            throw Error("the GOST engine is not available");
        Bench(gib, runs);
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_cli_streams: %s\n", e.what());
        return 1;
    }
}
