#pragma once

// Elements read apart, framed again into one message with indefinite lengths
// by OpenSSL's own header encoder, so that OpenSSL can decode the message
// without the parts that were left out.

#include <vector>

namespace ordalis {

class BerFrame {
public:
    // Opens a constructed element of indefinite length.
    void open(int tag, int xclass);
    // Appends an element as it was encoded.
    void append(const std::vector<unsigned char>& element);
    // Ends the innermost element open.
    void close();
    void closeAll();
    std::vector<unsigned char> take() { return std::move(m_bytes); }

private:
    std::vector<unsigned char> m_bytes;
    int m_open = 0;
};

// An empty SET, as DER encodes it.
std::vector<unsigned char> EmptySet();

} // namespace ordalis
