#include "cryptomsg/messages/BerFraming.h"

#include <openssl/asn1.h>

namespace ordalis {

void BerFrame::open(int tag, int xclass)
{
    const std::size_t at = m_bytes.size();
    m_bytes.resize(at + static_cast<std::size_t>(ASN1_object_size(2, 0, tag)));
    unsigned char* p = m_bytes.data() + at;
    ASN1_put_object(&p, 2, 0, tag, xclass);
    m_bytes.resize(static_cast<std::size_t>(p - m_bytes.data()));
    ++m_open;
}

void BerFrame::append(const std::vector<unsigned char>& element)
{
    m_bytes.insert(m_bytes.end(), element.begin(), element.end());
}

void BerFrame::close()
{
    if (m_open == 0)
        return;
    const std::size_t at = m_bytes.size();
    m_bytes.resize(at + 2);
    unsigned char* p = m_bytes.data() + at;
    ASN1_put_eoc(&p);
    --m_open;
}

void BerFrame::closeAll()
{
    while (m_open > 0)
        close();
}

std::vector<unsigned char> EmptySet()
{
    std::vector<unsigned char> set(static_cast<std::size_t>(ASN1_object_size(1, 0, V_ASN1_SET)));
    unsigned char* p = set.data();
    ASN1_put_object(&p, 1, 0, V_ASN1_SET, V_ASN1_UNIVERSAL);
    set.resize(static_cast<std::size_t>(p - set.data()));
    return set;
}

} // namespace ordalis
