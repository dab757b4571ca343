#include "tests/support/TestStore.h"

#include "cryptomsg/store/CertificateDescription.h"
#include "cryptomsg/store/StoreAdmin.h"
#include "cryptomsg/store/StoreFolder.h"
#include "tests/support/FixtureFolder.h"

#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <stdexcept>
#include <vector>

namespace ordalis::test {

namespace {

// The standard set's files, made by the first store of the process. Only bytes
// are kept: engine-backed keys must not outlive main().
struct CachedCertificate {
    TestCertificate info;
    std::string certificateName, certificateBytes, keyName, keyBytes, derBytes;
};

std::vector<CachedCertificate>& StandardSetCache()
{
    static std::vector<CachedCertificate> cache;
    return cache;
}

std::string FileName(const std::string& path) { return std::filesystem::path(path).filename().string(); }

std::string KeyFileOf(const std::string& certificateFile)
{
    return std::filesystem::path(certificateFile).replace_extension(".key").string();
}

void WriteBytes(const std::string& path, const std::string& bytes)
{
    WriteStoreFile(path, {reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size()});
}

constexpr const char* kStandardLabels[] = {"gost2001", "gost2012_256", "gost2012_512", "rsa", "protected"};

// Makes the standard set in a store of its own and leaves its files in folder,
// with an index line per certificate: label, algorithm, subject, serial,
// thumbprint, password, certificate file and key file, split by tabs.
void MakeStandardSet(const std::string& folder)
{
    TestStore maker;
    const std::pair<const char*, KeyAlgorithm> plain[] = {{"gost2001", KeyAlgorithm::Gost2001},
                                                          {"gost2012_256", KeyAlgorithm::Gost2012_256},
                                                          {"gost2012_512", KeyAlgorithm::Gost2012_512},
                                                          {"rsa", KeyAlgorithm::Rsa2048}};
    for (const auto& [label, algorithm] : plain)
        maker.add(label, algorithm);
    TestCertificateOptions protectedKey;
    protectedKey.password = kProtectedKeyPassword;
    maker.add("protected", KeyAlgorithm::Gost2012_256, protectedKey);
    std::string index;
    for (const char* label : kStandardLabels) {
        const TestCertificate& made = maker.get(label);
        const std::string certificateName = FileName(made.certificateFile);
        const std::string keyName = FileName(KeyFileOf(made.certificateFile));
        WriteFile(folder + "/" + certificateName, ReadFile(made.certificateFile));
        WriteFile(folder + "/" + keyName, ReadFile(KeyFileOf(made.certificateFile)));
        WriteFile(folder + "/" + made.label + ".cer", ReadFile(made.derFile));
        index += made.label + "\t" + std::to_string(static_cast<int>(made.algorithm)) + "\t" + made.subject + "\t" +
                 made.serialHex + "\t" + made.thumbprint + "\t" + made.password + "\t" + certificateName + "\t" +
                 keyName + "\n";
    }
    WriteFile(folder + "/index", index);
}

std::vector<std::string> SplitTabs(const std::string& line)
{
    std::vector<std::string> fields;
    std::istringstream in(line);
    for (std::string field; std::getline(in, field, '\t');)
        fields.push_back(field);
    if (!line.empty() && line.back() == '\t')
        fields.emplace_back();
    return fields;
}

// The standard set, made once for every test process of the build (key
// generation, RSA above all, costs more than most tests).
std::vector<CachedCertificate> LoadStandardSet()
{
    const std::string folder = FixtureFolder("standard-set-v1", MakeStandardSet);
    std::vector<CachedCertificate> set;
    std::istringstream index(ReadFile(folder + "/index"));
    for (std::string line; std::getline(index, line);) {
        const std::vector<std::string> f = SplitTabs(line);
        if (f.size() != 8)
            throw std::runtime_error("damaged standard set index in " + folder);
        CachedCertificate cached;
        cached.info.label = f[0];
        cached.info.algorithm = static_cast<KeyAlgorithm>(std::stoi(f[1]));
        cached.info.subject = f[2];
        cached.info.serialHex = f[3];
        cached.info.thumbprint = f[4];
        cached.info.password = f[5];
        cached.certificateName = f[6];
        cached.keyName = f[7];
        cached.certificateBytes = ReadFile(folder + "/" + f[6]);
        cached.keyBytes = ReadFile(folder + "/" + f[7]);
        cached.derBytes = ReadFile(folder + "/" + f[0] + ".cer");
        set.push_back(std::move(cached));
    }
    return set;
}

} // namespace

TestStore::TestStore()
{
    m_dataHome = m_temp.file("xdg");
    std::filesystem::create_directories(m_dataHome);
    std::filesystem::create_directories(m_temp.file("files"));
    if (const char* previous = std::getenv("XDG_DATA_HOME"))
        m_previousDataHome = previous;
    ::setenv("XDG_DATA_HOME", m_dataHome.c_str(), 1);
}

TestStore::~TestStore()
{
    if (m_previousDataHome)
        ::setenv("XDG_DATA_HOME", m_previousDataHome->c_str(), 1);
    else
        ::unsetenv("XDG_DATA_HOME");
}

std::string TestStore::folder() const { return m_dataHome + "/ordalis/certstore/" + kPersonalStore; }

const TestCertificate& TestStore::add(const std::string& label, KeyAlgorithm algorithm,
                                      const TestCertificateOptions& options)
{
    if (m_certificates.count(label))
        throw std::logic_error("test certificate label used twice: " + label);
    CertificateRequest request;
    request.algorithm = algorithm;
    request.subject = options.subject.empty() ? "CN=" + label + ",O=Ordalis Test" : options.subject;
    request.notBeforeOffsetSeconds = options.notBeforeOffsetSeconds;
    request.validDays = options.validDays;
    request.serialHex = options.serialHex;
    KeyAndCertificate made = MakeSelfSignedCertificate(request);

    TestCertificate certificate;
    certificate.label = label;
    certificate.algorithm = algorithm;
    certificate.subject = request.subject;
    certificate.password = options.withKey ? options.password : std::string();
    certificate.hasKey = options.withKey;
    certificate.certificateFile =
        AddToStore(made.certificate.get(), options.withKey ? made.key.get() : nullptr, options.password);
    certificate.derFile = path(label + ".cer");
    const int length = i2d_X509(made.certificate.get(), nullptr);
    std::string der(static_cast<std::size_t>(length), '\0');
    unsigned char* out = reinterpret_cast<unsigned char*>(der.data());
    i2d_X509(made.certificate.get(), &out);
    WriteFile(certificate.derFile, der);
    const CertContextPtr context(CertCreateCertificateContext(kEncodingType, reinterpret_cast<const BYTE*>(der.data()),
                                                              static_cast<DWORD>(der.size())));
    const CertificateDescription description = DescribeCertificate(context.get());
    certificate.serialHex = description.serialHex;
    certificate.thumbprint = description.sha1Thumbprint;
    return record(std::move(certificate));
}

void TestStore::addStandardSet()
{
    auto& cache = StandardSetCache();
    if (cache.empty())
        cache = LoadStandardSet();
    EnsureStoreFolder(folder());
    for (const CachedCertificate& cached : cache) {
        if (m_certificates.count(cached.info.label))
            throw std::logic_error("test certificate label used twice: " + cached.info.label);
        TestCertificate certificate = cached.info;
        certificate.certificateFile = folder() + "/" + cached.certificateName;
        certificate.derFile = path(certificate.label + ".cer");
        WriteBytes(folder() + "/" + cached.keyName, cached.keyBytes);
        WriteBytes(certificate.certificateFile, cached.certificateBytes);
        WriteFile(certificate.derFile, cached.derBytes);
        record(std::move(certificate));
    }
}

const TestCertificate& TestStore::addExpired(const std::string& label, KeyAlgorithm algorithm)
{
    TestCertificateOptions options;
    options.notBeforeOffsetSeconds = -3 * 24 * 3600;
    options.validDays = 2;
    return add(label, algorithm, options);
}

const TestCertificate& TestStore::addWithSerial(const std::string& label, const std::string& serialHex,
                                                KeyAlgorithm algorithm)
{
    TestCertificateOptions options;
    options.serialHex = serialHex;
    return add(label, algorithm, options);
}

const TestCertificate& TestStore::get(const std::string& label) const
{
    const auto found = m_certificates.find(label);
    if (found == m_certificates.end())
        throw std::logic_error("no test certificate labelled " + label);
    return found->second;
}

const TestCertificate& TestStore::record(TestCertificate certificate)
{
    const std::string label = certificate.label;
    return m_certificates.emplace(label, std::move(certificate)).first->second;
}

CertStorePtr TestStore::open() const { return CertStorePtr(CertOpenSystemStoreA(nullptr, kPersonalStore)); }

CertContextPtr TestStore::context(const std::string& label) const
{
    CertStorePtr store = open();
    std::vector<CertContextPtr> found = FindCertificates(store.get(), get(label).thumbprint);
    return found.size() == 1 ? std::move(found.front()) : nullptr;
}

int TestStore::indexOf(const std::string& label) const
{
    const std::string thumbprint = get(label).thumbprint;
    CertStorePtr store = open();
    PCCERT_CONTEXT context = nullptr;
    for (int i = 0; (context = CertEnumCertificatesInStore(store.get(), context)) != nullptr; ++i)
        if (DescribeCertificate(context).sha1Thumbprint == thumbprint) {
            CertFreeCertificateContext(context);
            return i;
        }
    return -1;
}

} // namespace ordalis::test
