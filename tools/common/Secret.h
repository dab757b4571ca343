#pragma once

#include <string>
#include <string_view>

namespace ordalis::tools {

// A password held in memory: its bytes are wiped before the memory goes back,
// whether the text lives in the string's own small buffer or on the heap.
// Copies are wiped on their own; there is no move, since a moved-from short
// string would keep its characters.
class Secret {
public:
    Secret() = default;
    // Takes the text and wipes what the moved-from string still holds.
    explicit Secret(std::string&& text);
    explicit Secret(const std::string& text) : m_text(text) {}
    Secret(const Secret& other) : m_text(other.m_text) {}
    Secret& operator=(const Secret&) = delete;
    ~Secret();

    const std::string& text() const { return m_text; }
    // Adds to the end; a buffer outgrown is wiped before it is freed.
    void append(std::string_view bytes);
    void append(char c) { append(std::string_view(&c, 1)); }
    // Drops the last n characters, wiping them.
    void dropBack(std::size_t n);

private:
    std::string m_text;
};

// Wipes every byte the string's buffer holds, up to its capacity.
void Wipe(std::string& text);

} // namespace ordalis::tools
