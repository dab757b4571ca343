#pragma once

#include <openssl/x509.h>

#include <string>

namespace ordalis {

// How attribute types are written: not at all (values only), as dotted object
// identifiers, or by their short names ("CN", "O"; the identifier when there is none).
enum class NameStyle { ValuesOnly, Oid, ShortName };

// A distinguished name as one line of UTF-8 text: RDNs in encoded order joined
// by ", ", the values of a multi-valued RDN joined by " + ", each value as stored,
// in double quotes (inner quotes doubled) when it holds a separator, a quote, a
// line feed, < > # ; or blanks at either end. A value that is not text is shown
// as "#" and the hex of its DER encoding.
std::string FormatName(const X509_NAME* name, NameStyle style);

// The first value of the attribute nid (NID_organizationName, say) as UTF-8, or
// empty when the name has none that is text.
std::string NameAttributeText(const X509_NAME* name, int nid);

// The name's common name, or the whole name when it has none, for short labels.
std::string CommonNameOrWhole(const X509_NAME* name);

} // namespace ordalis
