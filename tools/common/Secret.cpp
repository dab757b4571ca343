#include "tools/common/Secret.h"

#include <openssl/crypto.h>

#include <algorithm>

namespace ordalis::tools {

void Wipe(std::string& text) { OPENSSL_cleanse(text.data(), text.capacity()); }

Secret::Secret(std::string&& text) : m_text(std::move(text)) { Wipe(text); }

Secret::~Secret() { Wipe(m_text); }

void Secret::append(std::string_view bytes)
{
    if (m_text.capacity() - m_text.size() < bytes.size()) {
        std::string grown;
        grown.reserve(std::max(m_text.size() + bytes.size(), m_text.capacity() * 2));
        grown = m_text;
        m_text.swap(grown);
        Wipe(grown); // now the old buffer, or the old small-string bytes
    }
    m_text.append(bytes);
}

void Secret::dropBack(std::size_t n)
{
    const std::size_t keep = m_text.size() - std::min(n, m_text.size());
    OPENSSL_cleanse(m_text.data() + keep, m_text.size() - keep);
    m_text.resize(keep);
}

} // namespace ordalis::tools
