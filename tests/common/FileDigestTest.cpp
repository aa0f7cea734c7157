#include "FileDigest.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>

#include "SystemCalls.h"
#include "support/SwappedCall.h"
#include "support/TestSupport.h"

// Published SHA-256 and SHA-1 test vectors, the long one read in several pieces, and files
// that cannot be read whole.
TEST(FileDigest, Sha256OfAWholeFileOrNothing)
{
    CTempDir files;
    const struct
    {
        std::string content;
        std::string digest;
        std::string sha1;
    } vectors[] = {
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855",
         "da39a3ee5e6b4b0d3255bfef95601890afd80709"},
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad",
         "a9993e364706816aba3e25717850c26c9cd0d89d"},
        {std::string(1000000, 'a'), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0",
         "34aa973cd4c4daa4f61eeb2bdbad27316534016f"},
    };
    for (const auto& vector : vectors) {
        WriteFileText(files.File("file"), vector.content);
        EXPECT_EQ(Sha256Hex(files.File("file")), vector.digest) << vector.content.size();
        EXPECT_EQ(Sha1Hex(files.File("file")), vector.sha1) << vector.content.size();
        const CFileDigests both = Sha1AndSha256Hex(files.File("file"));
        EXPECT_EQ(both.sha1, vector.sha1);
        EXPECT_EQ(both.sha256, vector.digest);
    }
    EXPECT_EQ(Sha256Hex(files.File("missing")), "");
    EXPECT_EQ(Sha1AndSha256Hex(files.File("missing")).sha1, "");
    std::filesystem::create_directories(files.File("folder"));
    EXPECT_EQ(Sha256Hex(files.File("folder")), "");
    EXPECT_EQ(Sha1Hex(files.File("folder")), "");
    CSwappedCall failing(sys::Calls().read, [](int, void*, size_t) -> ssize_t {
        errno = EIO;
        return -1;
    });
    EXPECT_EQ(Sha256Hex(files.File("file")), "");
    EXPECT_EQ(Sha1AndSha256Hex(files.File("file")).sha256, "");
}
