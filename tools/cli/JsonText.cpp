#include "tools/cli/JsonText.h"

#include "common/Utf8.h"

#include <openssl/evp.h>

#include <cstdint>
#include <cstdio>

namespace ordalis::cli {

namespace {

constexpr char32_t kInvalid = 0xFFFFFFFF;

// The code point of the well-formed UTF-8 sequence at text[i] and its length,
// or kInvalid and 1 when the byte there starts none.
char32_t DecodeAt(const std::string& text, std::size_t i, std::size_t& length)
{
    char32_t code = 0;
    length = DecodeUtf8At(text, i, code);
    if (length == 0) {
        length = 1;
        return kInvalid;
    }
    return code;
}

bool IsControl(char32_t code) { return code < 0x20 || (code >= 0x7F && code <= 0x9F); }

} // namespace

std::string JsonString(const std::string& text)
{
    std::string out = "\"";
    for (std::size_t i = 0; i < text.size();) {
        std::size_t length = 1;
        const char32_t code = DecodeAt(text, i, length);
        if (code == kInvalid) {
            out += "\xEF\xBF\xBD"; // U+FFFD
        } else if (code == '"') {
            out += "\\\"";
        } else if (code == '\\') {
            out += "\\\\";
        } else if (code == '\n') {
            out += "\\n";
        } else if (code == '\r') {
            out += "\\r";
        } else if (code == '\t') {
            out += "\\t";
        } else if (IsControl(code)) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(code));
            out += escaped;
        } else {
            out.append(text, i, length);
        }
        i += length;
    }
    return out + "\"";
}

std::string JsonArray(const std::vector<std::string>& texts)
{
    std::string out = "[";
    for (std::size_t i = 0; i < texts.size(); ++i)
        out += (i ? "," : "") + JsonString(texts[i]);
    return out + "]";
}

bool IsUtf8(const std::string& text)
{
    for (std::size_t i = 0, length = 1; i < text.size(); i += length)
        if (DecodeAt(text, i, length) == kInvalid)
            return false;
    return true;
}

std::string JsonBytes(const std::string& bytes)
{
    std::string encoded(4 * ((bytes.size() + 2) / 3) + 1, '\0');
    const int length =
        EVP_EncodeBlock(reinterpret_cast<unsigned char*>(encoded.data()),
                        reinterpret_cast<const unsigned char*>(bytes.data()), static_cast<int>(bytes.size()));
    encoded.resize(length > 0 ? static_cast<std::size_t>(length) : 0);
    return "\"" + encoded + "\"";
}

} // namespace ordalis::cli
