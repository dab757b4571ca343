#pragma once

// What verify says about a signature's long-term evidence: the time each
// signer's timestamp proves, and with --details or --json its level, every
// timestamp and where the revocation answers came from.

#include "cryptomsg/operations/SignatureVerdict.h"
#include "tools/cli/TerminalDesktop.h"

#include <string>

namespace ordalis::cli {

// The report line of a signer whose signature timestamp proves its time.
void ReportProvenTime(const SignerEvidence& evidence, std::size_t signerCount, std::size_t index,
                      TerminalDesktop& desktop);

// The --details lines of one signer's evidence.
void WriteEvidenceDetails(const SignerEvidence& evidence, TerminalDesktop& desktop);

// The --details lines of the time a signer's trust was judged at and its revocation source.
void WriteTrustTime(const SignerVerdict& verdict, TerminalDesktop& desktop);

// A signer's "level" and "timestamps" fields for --json, each with its leading comma.
std::string EvidenceJson(const SignerEvidence& evidence);

// The trust's "at_time" and "revocation_source" fields for --json, each with its leading comma.
std::string TrustTimeJson(const SignerVerdict& verdict);

} // namespace ordalis::cli
