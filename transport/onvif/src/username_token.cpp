#include "onvif/username_token.h"

#include <openssl/evp.h>
#include <openssl/rand.h>
#include <openssl/sha.h>

#include <vector>

namespace onvif {

namespace {

constexpr int kNonceBytes = 16;

} // namespace

std::string base64Encode(const std::string& bytes) {
    std::vector<unsigned char> out(4 * ((bytes.size() + 2) / 3) + 1);
    const int n = EVP_EncodeBlock(out.data(), reinterpret_cast<const unsigned char*>(bytes.data()),
                                  static_cast<int>(bytes.size()));
    return std::string(reinterpret_cast<const char*>(out.data()), n < 0 ? 0 : static_cast<std::size_t>(n));
}

std::string base64Decode(const std::string& text) {
    if (text.empty() || text.size() % 4 != 0) return {};
    std::vector<unsigned char> out(3 * text.size() / 4 + 1);
    const int n =
        EVP_DecodeBlock(out.data(), reinterpret_cast<const unsigned char*>(text.data()), static_cast<int>(text.size()));
    if (n < 0) return {};
    // EVP_DecodeBlock counts the padding as zero bytes.
    std::size_t length = static_cast<std::size_t>(n);
    if (text.back() == '=') --length;
    if (text.size() >= 2 && text[text.size() - 2] == '=') --length;
    return std::string(reinterpret_cast<const char*>(out.data()), length);
}

std::string passwordDigest(const std::string& nonce, const std::string& created, const std::string& password) {
    const std::string input = nonce + created + password;
    unsigned char hash[SHA_DIGEST_LENGTH];
    SHA1(reinterpret_cast<const unsigned char*>(input.data()), input.size(), hash);
    return base64Encode(std::string(reinterpret_cast<const char*>(hash), sizeof hash));
}

std::string formatUtc(std::time_t utc) {
    std::tm parts{};
    gmtime_r(&utc, &parts);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &parts);
    return text;
}

UsernameToken makeUsernameToken(const std::string& user, const std::string& password, std::time_t cameraUtc) {
    std::string nonce(kNonceBytes, '\0');
    if (RAND_bytes(reinterpret_cast<unsigned char*>(nonce.data()), kNonceBytes) != 1) {
        // Without the generator a nonce still must differ between requests.
        for (int i = 0; i < kNonceBytes; ++i) nonce[i] = static_cast<char>((cameraUtc >> (i % 8)) ^ (i * 97));
    }
    UsernameToken token;
    token.user = user;
    token.created = formatUtc(cameraUtc);
    token.nonce = base64Encode(nonce);
    token.passwordDigest = passwordDigest(nonce, token.created, password);
    return token;
}

} // namespace onvif
