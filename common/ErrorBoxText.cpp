#include "common/ErrorBoxText.h"

namespace ordalis {

std::string ErrorBoxText(const std::string& message)
{
    // Bytes compare unsigned, so a message ending in Cyrillic (UTF-8 lead and
    // continuation bytes are all above 0x7F) also gains the full stop.
    if (!message.empty() && static_cast<unsigned char>(message.back()) > static_cast<unsigned char>('.'))
        return message + '.';
    return message;
}

} // namespace ordalis
