// MD5 message digest (RFC 1321), used for the login digests.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace fenwa10 {

class Md5 {
public:
    Md5();
    void update(const void* data, std::size_t length);
    std::array<uint8_t, 16> finish();

    static std::array<uint8_t, 16> digest(std::string_view text);
    // 32 lowercase hexadecimal characters.
    static std::string hexDigest(std::string_view text);

private:
    void transform(const uint8_t block[64]);

    uint32_t state_[4];
    uint64_t bitCount_ = 0;
    uint8_t buffer_[64] = {};
    std::size_t buffered_ = 0;
};

} // namespace fenwa10
