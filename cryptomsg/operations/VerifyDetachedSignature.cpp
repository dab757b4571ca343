#include "cryptomsg/operations/VerifyDetachedSignature.h"
#include "cryptomsg/messages/MessageApi.h"

#include "armour/Armour.h"
#include "common/ByteBuffer.h"
#include "common/Error.h"
#include "common/FileContent.h"
#include "common/FileModes.h"
#include "common/UniqueFd.h"
#include "cryptomsg/operations/MessageFileForm.h"
#include "cryptomsg/operations/OperationSupport.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace ordalis {

namespace {

// The first line ends at a line feed, at the text end-of-file mark (26) or at the
// end of the file; carriage returns are no part of it, and the search for "MI"
// stops at a zero byte.
enum class LineScan { Continue, Found, Stop };

LineScan ScanByte(unsigned char c, bool& afterM)
{
    if (c == '\n' || c == 26 || c == 0)
        return LineScan::Stop;
    if (c == '\r')
        return LineScan::Continue;
    if (afterM && c == 'I')
        return LineScan::Found;
    afterM = c == 'M';
    return LineScan::Continue;
}

} // namespace

bool FirstLineLooksArmoured(const std::string& path)
{
    // A windowed program has no standard input: the empty name fails as an invalid handle.
    if (path.empty())
        throw InOutError(6);
    UniqueFd fd = OpenRegularFileForReading(path);
    if (!fd)
        ThrowInOutError(errno, path);
    bool afterM = false;
    unsigned char chunk[4096];
    for (;;) {
        const ssize_t n = ::read(fd.get(), chunk, sizeof chunk);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            ThrowInOutError(errno, path);
        }
        if (n == 0)
            return false;
        for (ssize_t i = 0; i < n; ++i) {
            switch (ScanByte(chunk[i], afterM)) {
            case LineScan::Found: return true;
            case LineScan::Stop: return false;
            case LineScan::Continue: break;
            }
        }
    }
}

std::string FormatSerialNumber(const BYTE* bytes, DWORD count)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string text;
    if (!bytes || count == 0)
        return text;
    for (DWORD i = 0; i < count; ++i) {
        std::string piece{digits[bytes[i] >> 4], digits[bytes[i] & 15]};
        if (i % 2 == 0 && i >= 2)
            piece += ' ';
        text.insert(0, piece);
    }
    return text;
}

std::string NameBlobToText(const CERT_NAME_BLOB& name)
{
    const DWORD needed = CertNameToStrA(kEncodingType, &name, CERT_OID_NAME_STR, nullptr, 0);
    if (needed == 0)
        return {};
    std::string text(needed, '\0');
    const DWORD written = CertNameToStrA(kEncodingType, &name, CERT_OID_NAME_STR, text.data(), needed);
    text.resize(written > 0 ? written - 1 : 0);
    return text;
}

bool VerifyDetachedSignature(const std::string& signatureFile, const std::string& sourceFile, VerifyTab& report,
                             DesktopSeam& desktop)
{
    const bool armouredLine = FirstLineLooksArmoured(signatureFile);
    ByteBuffer signature;
    const FileContent content = FileContent::load(sourceFile);
    signature.loadFromFile(signatureFile);
    if (ReadsAsArmour(armouredLine, {signature.data(), signature.length()})) {
        ByteBuffer text = std::move(signature);
        text.setPosition(0);
        ArmourDecode(text, signature);
    }
    RefuseLargerThanOneCall(content.length());
    RefuseLargerThanOneCall(signature.length());

    BeginVerificationReport(report);
    CRYPT_VERIFY_MESSAGE_PARA para{};
    para.cbSize = kVerifyMessageParaSize;
    para.dwMsgAndCertEncodingType = kEncodingType;
    const BYTE* parts[] = {content.data()};
    const DWORD partSizes[] = {static_cast<DWORD>(content.length())};
    PCCERT_CONTEXT signer = nullptr;
    const LongStep checking{"Проверка подписи файла", sourceFile, content.length()};
    const bool valid = RunLongCall(desktop, checking, [&] {
                           return CryptVerifyDetachedMessageSignature(&para, 0, signature.data(),
                                                                      static_cast<DWORD>(signature.length()), 1, parts,
                                                                      partSizes, &signer);
                       }) != 0;
    CertContextPtr certificate(signer);
    if (!valid) {
        ReportVerification(nullptr, report, desktop);
        return false;
    }
    ReportVerification(certificate.get(), report, desktop,
                       ProvenSignerTrust(certificate.get(), {signature.data(), signature.length()}, 0));
    return true;
}

void BeginVerificationReport(VerifyTab& report)
{
    report.clearReport();
    report.appendReportLine("Проверка отсоединенной подписи.....");
}

void ReportVerification(PCCERT_CONTEXT certificate, VerifyTab& report, DesktopSeam& desktop,
                        const std::optional<SignerTrust>& proven)
{
    if (!certificate) {
        report.appendReportLine("X - Подпись математически не верна");
        return;
    }
    if (proven)
        desktop.viewCertificateAt(certificate, *proven);
    else
        desktop.viewCertificate(certificate);
    const CERT_INFO& info = *certificate->pCertInfo;
    report.appendReportLine("V - Подпись математически верна...");
    report.appendReportLine("Серийный номер сертификата:" +
                            FormatSerialNumber(info.SerialNumber.pbData, info.SerialNumber.cbData));
    report.appendReportLine(CertVerifyTimeValidity(nullptr, &info) == 0 ? "V Сертификат действующий по дате.."
                                                                        : "X Сертификат не действующий по дате");
    report.appendReportLine("КОНТЕКСТ ПОЛЬЗОВАТЕЛЯ");
    report.appendReportLine(NameBlobToText(info.Subject));
    report.appendReportLine("КОНТЕКСТ ЦЕНТРА СЕРТИФИКАЦИИ");
    report.appendReportLine(NameBlobToText(info.Issuer));
}

} // namespace ordalis
