#pragma once

#include "cryptomsg/cryptoapi/CryptoApi.h"
#include "cryptomsg/operations/DesktopSeam.h"
#include "cryptomsg/operations/OperationTabs.h"

#include <optional>
#include <string>

namespace ordalis {

// Verifies the first signer of a detached signature over the whole source file,
// shows the signer's certificate and writes the report lines into the tab.
// Returns whether the signature is valid; file errors are thrown.
bool VerifyDetachedSignature(const std::string& signatureFile, const std::string& sourceFile, VerifyTab& report,
                             DesktopSeam& desktop);

// Starts the report of a verification in the tab: cleared, with its first line.
void BeginVerificationReport(VerifyTab& report);
// Adds the outcome of a verification to the report: for the valid signer's
// certificate (which it shows, with its trust at the proven time when a
// timestamp dates the signature), or that the signature is not valid when null.
void ReportVerification(PCCERT_CONTEXT certificate, VerifyTab& report, DesktopSeam& desktop,
                        const std::optional<SignerTrust>& proven = std::nullopt);

// The serial number (stored least significant byte first) as hex digits from the
// most significant byte, in groups of four digits counted from the end.
std::string FormatSerialNumber(const BYTE* bytes, DWORD count);

// An encoded name as the certificate-name text with attribute types as OIDs.
std::string NameBlobToText(const CERT_NAME_BLOB& name);

// Whether the first line of a file contains "MI", the start of Base64 DER.
// Throws InOutError when the file cannot be read.
bool FirstLineLooksArmoured(const std::string& path);

} // namespace ordalis
