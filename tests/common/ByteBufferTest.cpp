#include "common/ByteBuffer.h"
#include "common/Error.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <string>
#include <sys/stat.h>
#include <unistd.h>

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

// Only regular files are read: a FIFO would block for ever and a device would
// be read as empty or endless. Each is refused at once with the open message.
TEST(ByteBuffer, LoadsRegularFilesOnlyAndNeverWaits)
{
    TempDir dir;
    ASSERT_EQ(::mkfifo(dir.file("fifo").c_str(), 0600), 0);
    ::mkdir(dir.file("folder").c_str(), 0700);
    ::alarm(20); // a load that blocks ends the test binary instead of hanging it
    for (const std::string& name : {dir.file("fifo"), std::string("/dev/null"), dir.file("folder")}) {
        ByteBuffer buffer;
        try {
            buffer.loadFromFile(name);
            ADD_FAILURE() << name << " was read";
        } catch (const Error& e) {
            EXPECT_EQ(std::string(e.what()).rfind("Cannot open file \"" + name + "\". ", 0), 0u) << e.what();
        }
    }
    ::alarm(0);

    test::WriteFile(dir.file("real.p12"), "bundle");
    ASSERT_EQ(::symlink(dir.file("real.p12").c_str(), dir.file("link.p12").c_str()), 0);
    ByteBuffer linked;
    linked.loadFromFile(dir.file("link.p12"));
    EXPECT_EQ(linked.length(), 6u);
}

// Growth from small heap blocks into mapped pages and on, and a move of the
// result, keep every byte in its place.
TEST(ByteBuffer, GrowingPastAMebibyteKeepsTheContent)
{
    ByteBuffer buffer;
    std::string chunk(1000, '\0');
    for (int i = 0; i < 5000; ++i) {
        for (std::size_t j = 0; j < chunk.size(); ++j)
            chunk[j] = static_cast<char>(i * 31 + j);
        buffer.write(chunk.data(), chunk.size());
    }
    ByteBuffer moved = std::move(buffer);
    EXPECT_EQ(buffer.length(), 0u);
    ASSERT_EQ(moved.length(), 5000000u);
    for (int i = 0; i < 5000; i += 499)
        for (std::size_t j = 0; j < 1000; j += 97)
            ASSERT_EQ(moved.data()[i * 1000 + j], static_cast<unsigned char>(i * 31 + j)) << i << " " << j;
    moved.setSize(12000000);
    EXPECT_EQ(moved.data()[4999 * 1000 + 999], static_cast<unsigned char>(4999 * 31 + 999));
}
