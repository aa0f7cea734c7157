#include "FileDigest.h"

#include <cerrno>
#include <memory>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <openssl/evp.h>

#include "SystemCalls.h"

namespace
{
using CContext = std::unique_ptr<EVP_MD_CTX, void (*)(EVP_MD_CTX*)>;

std::string HexOf(const unsigned char* digest, unsigned int length)
{
    static const char* const hex = "0123456789abcdef";
    std::string text;
    for (unsigned int i = 0; i < length; ++i) {
        text += hex[digest[i] >> 4];
        text += hex[digest[i] & 15];
    }
    return text;
}

// The algorithms run side by side over the same bytes, fed in pieces.
class CDigests
{
public:
    explicit CDigests(const std::vector<const EVP_MD*>& algorithms)
    {
        for (const EVP_MD* algorithm : algorithms) {
            m_contexts.emplace_back(EVP_MD_CTX_new(), EVP_MD_CTX_free);
            m_ok = m_ok && m_contexts.back() && EVP_DigestInit_ex(m_contexts.back().get(), algorithm, nullptr) == 1;
        }
    }
    void Update(const char* data, size_t size)
    {
        for (const CContext& context : m_contexts)
            m_ok = m_ok && EVP_DigestUpdate(context.get(), data, size) == 1;
    }
    // The hex digests in the algorithms' order; empty when any step failed.
    std::vector<std::string> Finish()
    {
        std::vector<std::string> texts;
        for (const CContext& context : m_contexts) {
            unsigned char digest[EVP_MAX_MD_SIZE];
            unsigned int length = 0;
            if (!m_ok || EVP_DigestFinal_ex(context.get(), digest, &length) != 1)
                return {};
            texts.push_back(HexOf(digest, length));
        }
        return texts;
    }

private:
    std::vector<CContext> m_contexts;
    bool m_ok = true;
};

// The hex digests of the file's bytes under each algorithm, from one read; empty on failure.
std::vector<std::string> HexDigestsOf(int fd, const std::vector<const EVP_MD*>& algorithms)
{
    struct stat st{};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
        return {};
    CDigests digests(algorithms);
    std::vector<char> buffer(256 * 1024);
    for (;;) {
        const ssize_t n = sys::read(fd, buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return {};
        if (n == 0)
            break;
        digests.Update(buffer.data(), static_cast<size_t>(n));
    }
    return digests.Finish();
}

std::vector<std::string> HexDigestsOf(const std::string& path, const std::vector<const EVP_MD*>& algorithms)
{
    const int fd = sys::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return {};
    std::vector<std::string> digests = HexDigestsOf(fd, algorithms);
    ::close(fd);
    return digests;
}
}  // namespace

std::string Sha256Hex(const std::string& path)
{
    std::vector<std::string> digests = HexDigestsOf(path, {EVP_sha256()});
    return digests.empty() ? std::string() : std::move(digests[0]);
}

std::string Sha1Hex(const std::string& path)
{
    std::vector<std::string> digests = HexDigestsOf(path, {EVP_sha1()});
    return digests.empty() ? std::string() : std::move(digests[0]);
}

CFileDigests Sha1AndSha256Hex(const std::string& path)
{
    std::vector<std::string> digests = HexDigestsOf(path, {EVP_sha1(), EVP_sha256()});
    if (digests.size() != 2)
        return {};
    return {std::move(digests[0]), std::move(digests[1])};
}

CFileDigests Sha1AndSha256OfBytes(std::string_view bytes)
{
    CDigests digests({EVP_sha1(), EVP_sha256()});
    digests.Update(bytes.data(), bytes.size());
    std::vector<std::string> texts = digests.Finish();
    if (texts.size() != 2)
        return {};
    return {std::move(texts[0]), std::move(texts[1])};
}
