// The string type that holds passwords: what it leaves behind in memory that is
// still ours to read (its own storage, a string it took the text from).

#include "tools/common/Secret.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <new>
#include <string_view>

namespace ordalis::tools {
namespace {

bool Holds(std::string_view bytes, std::string_view text) { return bytes.find(text) != std::string_view::npos; }

// A short password lives inside the object: after the destructor ran, the
// object's storage (an array of ours) no longer holds it.
TEST(Secret, DestructorWipesTheTextInItsOwnStorage)
{
    alignas(Secret) unsigned char storage[sizeof(Secret)];
    std::memset(storage, 0, sizeof storage);
    Secret* secret = new (storage) Secret(std::string("pw-1234"));
    ASSERT_EQ(secret->text(), "pw-1234");
    ASSERT_TRUE(Holds({reinterpret_cast<const char*>(storage), sizeof storage}, "pw-1234"))
        << "the short text is expected in the object itself";
    std::destroy_at(secret);
    EXPECT_FALSE(Holds({reinterpret_cast<const char*>(storage), sizeof storage}, "pw-12"));
}

TEST(Secret, TakingAStringWipesWhatTheStringKept)
{
    std::string source = "pw-5678";
    const Secret secret(std::move(source));
    EXPECT_EQ(secret.text(), "pw-5678");
    // A move clears only the first byte of a short string; the rest must be wiped.
    EXPECT_FALSE(Holds({source.data(), source.capacity()}, "5678"));
}

TEST(Secret, GrowsAndShrinksKeepingTheText)
{
    Secret secret;
    std::string expected;
    for (int i = 0; i < 300; ++i) {
        const char c = static_cast<char>('a' + i % 26);
        secret.append(c);
        expected += c;
    }
    secret.append(std::string_view("\r\nrest"));
    EXPECT_EQ(secret.text(), expected + "\r\nrest");
    secret.dropBack(6);
    EXPECT_EQ(secret.text(), expected);
    secret.dropBack(1000);
    EXPECT_EQ(secret.text(), "");

    const Secret copy(Secret(std::string("copied")));
    EXPECT_EQ(copy.text(), "copied");
}

} // namespace
} // namespace ordalis::tools
