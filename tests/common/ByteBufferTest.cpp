#include "common/ByteBuffer.h"
#include "common/Error.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <string>

using namespace ordalis;
using ordalis::test::TempDir;

TEST(ByteBuffer, CapacityGrowsInWholeSteps)
{
    ByteBuffer buffer;
    for (std::size_t n : {1u, 8191u, 8192u, 8193u, 100000u}) {
        std::string bytes(n, 'x');
        buffer.setPosition(0);
        buffer.write(bytes.data(), bytes.size());
        EXPECT_EQ(buffer.capacity() % ByteBuffer::kCapacityStep, 0u);
        EXPECT_GE(buffer.capacity(), n);
    }
}

TEST(ByteBuffer, ReadWriteSeekFollowThePosition)
{
    ByteBuffer buffer;
    buffer.write("hello world", 11);
    EXPECT_EQ(buffer.size(), 11);
    EXPECT_EQ(buffer.seek(-5, SeekOrigin::End), 6);
    char word[8] = {};
    EXPECT_EQ(buffer.read(word, sizeof word), 5u);
    EXPECT_STREQ(word, "world");
    EXPECT_EQ(buffer.read(word, 1), 0u);
    buffer.seek(-1, SeekOrigin::Current);
    EXPECT_EQ(buffer.position(), 10);
    EXPECT_THROW(buffer.seek(-1, SeekOrigin::Begin), Error);

    // Writing past the end fills the gap with zero bytes.
    buffer.seek(13, SeekOrigin::Begin);
    buffer.write("!", 1);
    ASSERT_EQ(buffer.size(), 14);
    EXPECT_EQ(buffer.data()[11], 0);
    EXPECT_EQ(buffer.data()[12], 0);

    buffer.setSize(5);
    EXPECT_EQ(buffer.position(), 5);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(buffer.data()), 5), "hello");
}

TEST(ByteBuffer, LoadsAndSavesWholeFiles)
{
    TempDir dir;
    std::string content(200000, '\0');
    for (std::size_t i = 0; i < content.size(); ++i)
        content[i] = static_cast<char>(i * 7);
    test::WriteFile(dir.file("in.bin"), content);

    ByteBuffer buffer;
    buffer.loadFromFile(dir.file("in.bin"));
    ASSERT_EQ(buffer.length(), content.size());
    EXPECT_EQ(buffer.position(), 0);
    buffer.saveToFile(dir.file("out.bin"));
    EXPECT_EQ(test::ReadFile(dir.file("out.bin")), content);

    ByteBuffer empty;
    test::WriteFile(dir.file("empty"), "");
    empty.loadFromFile(dir.file("empty"));
    EXPECT_EQ(empty.length(), 0u);
}

TEST(ByteBuffer, LoadFailureNamesTheFile)
{
    TempDir dir;
    ByteBuffer buffer;
    try {
        buffer.loadFromFile(dir.file("missing.bin"));
        FAIL() << "no error";
    } catch (const Error& e) {
        const std::string message = e.what();
        EXPECT_EQ(message.rfind("Cannot open file \"" + dir.file("missing.bin") + "\". ", 0), 0u) << message;
        EXPECT_NE(message.back(), '.');
    }
}
