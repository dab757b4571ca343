// Signs, verifies, encrypts and decrypts one large file through the message
// functions and, in the same run and on the same file, with the openssl
// command line (GOST engine); prints each side's wall time and peak memory.
// Both sides run as child processes so that their numbers compare.
//
// usage: bench_messages [MiB (default 300)] [runs, median time taken (default 5)] [KEY]
// With KEY (gost2001, gost2012_256 or gost2012_512) only that key's signing and
// verification run, besides encryption and decryption.

#include "bench/cryptomsg/MessageBenchChild.h"
#include "bench/support/BenchData.h"
#include "bench/support/BenchProcess.h"
#include "bench/support/ScratchFolder.h"
#include "common/Error.h"
#include "cryptomsg/cryptoapi/CryptoRuntime.h"
#include "cryptomsg/store/SelfSignedCertificate.h"

#include <openssl/pem.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

using namespace ordalis;
using namespace ordalis::bench;

constexpr long kMiB = 1024 * 1024;

struct Algorithm {
    KeyAlgorithm key;
    const char* name;
    const char* keyOid;
    const char* hashOid;
    const char* digest; // for `openssl cms -md`
};

const Algorithm kAlgorithms[] = {
    {KeyAlgorithm::Gost2001, "gost2001", "1.2.643.2.2.19", "1.2.643.2.2.9", "md_gost94"},
    {KeyAlgorithm::Gost2012_256, "gost2012_256", "1.2.643.7.1.1.1.1", "1.2.643.7.1.1.2.2", "md_gost12_256"},
    {KeyAlgorithm::Gost2012_512, "gost2012_512", "1.2.643.7.1.1.1.2", "1.2.643.7.1.1.2.3", "md_gost12_512"},
};

using ordalis::bench::ScratchFolder;

// Makes each key pair and its certificate as PEM files; the personal store of
// dataHome gets the gost2012_256 pair for decryption.
void MakeIdentities(const ScratchFolder& folder, const std::string& storeFolder)
{
    for (const Algorithm& algorithm : kAlgorithms) {
        CertificateRequest request;
        request.algorithm = algorithm.key;
        request.subject = std::string("CN=Bench ") + algorithm.name;
        const KeyAndCertificate made = MakeSelfSignedCertificate(request);
        BioPtr cert(BIO_new_file(folder.file(std::string(algorithm.name) + ".pem").c_str(), "w"));
        BioPtr key(BIO_new_file(folder.file(std::string(algorithm.name) + ".key").c_str(), "w"));
        if (!cert || !key || PEM_write_bio_X509(cert.get(), made.certificate.get()) != 1 ||
            PEM_write_bio_PrivateKey(key.get(), made.key.get(), nullptr, nullptr, 0, nullptr, nullptr) != 1)
            throw Error("cannot write the key files");
        if (algorithm.key == KeyAlgorithm::Gost2012_256) {
            BioPtr both(BIO_new_file((storeFolder + "/bench.pem").c_str(), "w"));
            if (!both || PEM_write_bio_X509(both.get(), made.certificate.get()) != 1 ||
                PEM_write_bio_PrivateKey(both.get(), made.key.get(), nullptr, nullptr, 0, nullptr, nullptr) != 1)
                throw Error("cannot write the store");
        }
    }
}

// One side's runs: wall times and the highest peak.
struct SideCost {
    std::vector<double> seconds;
    long peakKiB = 0;

    double median() const
    {
        std::vector<double> sorted = seconds;
        std::sort(sorted.begin(), sorted.end());
        const std::size_t n = sorted.size();
        return n % 2 ? sorted[n / 2] : (sorted[n / 2 - 1] + sorted[n / 2]) / 2;
    }
};

struct Comparison {
    std::string step;
    double timeTarget; // ours / theirs at most
    long memoryTarget; // MiB
    SideCost ours, theirs;
};

// Runs both sides in turn, runs times, keeping each side's times and highest peak.
void Measure(Comparison& c, int runs, const std::vector<std::string>& ours, const std::vector<std::string>& theirs,
             const std::string& log)
{
    const auto keep = [&](SideCost& cost, const ProcessCost& run, const char* side) {
        if (!run.succeeded)
            throw Error(c.step + " (" + side + ") failed; see " + log);
        cost.seconds.push_back(run.seconds);
        cost.peakKiB = std::max(cost.peakKiB, run.peakKiB);
    };
    for (int r = 0; r < runs; ++r) {
        keep(c.ours, RunProcess(ours, log), "ordalis");
        keep(c.theirs, RunProcess(theirs, log), "openssl");
    }
}

void Print(const Comparison& c)
{
    const double ours = c.ours.median(), theirs = c.theirs.median();
    const double ratio = ours / theirs;
    const long ourMiB = c.ours.peakKiB / 1024, theirMiB = c.theirs.peakKiB / 1024;
    std::printf("%-20s ordalis %7.2f s %5ld MiB | openssl %7.2f s %5ld MiB | time %.3fx %s (<= %.2f) | "
                "memory %s (<= %ld MiB)\n",
                c.step.c_str(), ours, ourMiB, theirs, theirMiB, ratio, ratio <= c.timeTarget ? "ok  " : "MISS",
                c.timeTarget, ourMiB <= c.memoryTarget ? "ok  " : "MISS", c.memoryTarget);
    std::fflush(stdout);
}

std::vector<std::string> OpenSsl(std::vector<std::string> args)
{
    args.insert(args.begin(), {"openssl", "cms", "-engine", "gost"});
    return args;
}

int Bench(long mib, int runs, const std::string& onlyKey)
{
    ScratchFolder folder;
    const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
    const std::string log = folder.file("log.txt");
    const std::string data = folder.file("data.bin");
    const std::string storeFolder = folder.file("xdg/ordalis/certstore/MY");
    std::filesystem::create_directories(storeFolder);
    ::setenv("XDG_DATA_HOME", folder.file("xdg").c_str(), 1);
    ::setenv("OPENSSL_CONF", "/dev/null", 1);
    MakeIdentities(folder, storeFolder);
    WriteData(data, static_cast<std::size_t>(mib * kMiB));
    const long signTarget = mib + 64, envelopeTarget = 2 * mib + 64;
    std::printf("%ld MiB file, median of %d runs; time ratio = ordalis / openssl wall time; memory = peak resident\n",
                mib, runs);

    const std::string ourSig = folder.file("ours.sig"), theirSig = folder.file("theirs.sig");
    for (const Algorithm& a : kAlgorithms) {
        if (!onlyKey.empty() && onlyKey != a.name)
            continue;
        const std::string cert = folder.file(std::string(a.name) + ".pem"),
                          key = folder.file(std::string(a.name) + ".key");
        Comparison sign{std::string("sign ") + a.name, 1.0, signTarget, {}, {}};
        Measure(sign, runs, {self, "--step", "sign", cert, key, a.hashOid, data, ourSig},
                OpenSsl({"-sign", "-binary", "-noattr", "-md", a.digest, "-signer", cert, "-inkey", key, "-in", data,
                         "-outform", "DER", "-out", theirSig}),
                log);
        Print(sign);
        // Each side checks the other's signature.
        Comparison verify{std::string("verify ") + a.name, 1.05, signTarget, {}, {}};
        Measure(verify, runs, {self, "--step", "verify", data, theirSig},
                OpenSsl({"-verify", "-binary", "-noverify", "-inform", "DER", "-in", ourSig, "-content", data, "-out",
                         "/dev/null"}),
                log);
        Print(verify);
    }

    // The key algorithm only sends the content key: one is enough for the content's cost.
    const Algorithm& a = kAlgorithms[1];
    const std::string cert = folder.file(std::string(a.name) + ".pem"), key = folder.file(std::string(a.name) + ".key");
    const std::string ourEnc = folder.file("ours.enc"), theirEnc = folder.file("theirs.enc");
    Comparison encrypt{std::string("encrypt ") + a.name, 1.0, envelopeTarget, {}, {}};
    Measure(encrypt, runs, {self, "--step", "encrypt", cert, a.keyOid, data, ourEnc},
            OpenSsl({"-encrypt", "-binary", "-gost89", "-outform", "DER", "-in", data, "-out", theirEnc, cert}), log);
    Print(encrypt);
    // Each side opens the other's envelope.
    const std::string ourDec = folder.file("ours.dec"), theirDec = folder.file("theirs.dec");
    Comparison decrypt{std::string("decrypt ") + a.name, 1.0, envelopeTarget, {}, {}};
    Measure(decrypt, runs, {self, "--step", "decrypt", theirEnc, ourDec},
            OpenSsl({"-decrypt", "-binary", "-inform", "DER", "-in", ourEnc, "-recip", cert, "-inkey", key, "-out",
                     theirDec}),
            log);
    Print(decrypt);
    if (!SameFiles(ourDec, data) || !SameFiles(theirDec, data))
        throw Error("a decrypted file differs from the original");
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc > 1 && std::strcmp(argv[1], "--step") == 0)
        return RunMessageStep(argc - 2, argv + 2);
    try {
        const long mib = argc > 1 ? std::strtol(argv[1], nullptr, 10) : 300;
        const int runs = argc > 2 ? std::atoi(argv[2]) : 5;
        if (mib <= 0 || runs <= 0)
            throw Error("usage: bench_messages [MiB] [runs] [KEY]");
        if (!EnsureGostEngine())
            throw Error("the GOST engine is not available");
        return Bench(mib, runs, argc > 3 ? argv[3] : "");
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_messages: %s\n", e.what());
        return 1;
    }
}
