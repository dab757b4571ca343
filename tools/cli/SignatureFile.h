#pragma once

#include <span>
#include <string>
#include <vector>

namespace ordalis::cli {

// The DER of a signature file as people receive them: DER, Base64 whose first
// line starts it ("MI..."), or PEM armour ("-----BEGIN CMS-----",
// "-----BEGIN PKCS7-----"). Throws InOutError when the file cannot be read.
std::vector<unsigned char> ReadSignatureFile(const std::string& path);

// A signature file's DER and how the file holds it, so that a changed
// signature can be written back the same way.
struct HeldSignature {
    enum class Encoding { Der, Base64, Pem };
    std::vector<unsigned char> der; // empty when a PEM file holds no message
    Encoding encoding = Encoding::Der;
    std::string pemLabel; // "CMS", "PKCS7", ... for PEM
};

// Reads as ReadSignatureFile does. Throws InOutError when the file cannot be read.
HeldSignature ReadHeldSignature(const std::string& path);

// The file bytes of der in the encoding (and PEM label) of held.
std::vector<unsigned char> EncodeLikeHeld(std::span<const unsigned char> der, const HeldSignature& held);

} // namespace ordalis::cli
