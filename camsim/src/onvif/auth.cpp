#include "auth.h"

#include "soap.h"

#include <openssl/evp.h>
#include <openssl/rand.h>

#include <algorithm>
#include <cctype>
#include <map>

namespace camsim::onvif {

namespace {

constexpr std::size_t kRememberedNonces = 4096;
constexpr std::size_t kIssuedNonces = 256;
constexpr char kDigestType[] = "#PasswordDigest";
constexpr char kTextType[] = "#PasswordText";

std::string hash(const EVP_MD* md, const std::string& data) {
    unsigned char out[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (EVP_Digest(data.data(), data.size(), out, &length, md, nullptr) != 1) return {};
    return std::string(reinterpret_cast<const char*>(out), length);
}

std::string hex(const std::string& bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string out;
    for (unsigned char c : bytes) {
        out.push_back(kDigits[c >> 4]);
        out.push_back(kDigits[c & 15]);
    }
    return out;
}

std::string md5Hex(const std::string& data) { return hex(hash(EVP_md5(), data)); }

bool endsWith(const std::string& text, const char* suffix) {
    const std::string s = suffix;
    return text.size() >= s.size() && text.compare(text.size() - s.size(), s.size(), s) == 0;
}

// Constant time, so a client cannot learn the digest byte by byte.
bool sameText(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    unsigned char diff = 0;
    for (std::size_t i = 0; i < a.size(); ++i) diff |= static_cast<unsigned char>(a[i] ^ b[i]);
    return diff == 0;
}

// `Digest name="value", name=value, ...` into a map with lower-case names.
bool parseDigestFields(const std::string& header, std::map<std::string, std::string>& fields) {
    std::size_t p = 0;
    while (p < header.size() && header[p] == ' ') ++p;
    if (header.compare(p, 7, "Digest ") != 0) return false;
    p += 7;
    while (p < header.size()) {
        while (p < header.size() && (header[p] == ' ' || header[p] == ',')) ++p;
        const std::size_t eq = header.find('=', p);
        if (eq == std::string::npos) break;
        std::string name = header.substr(p, eq - p);
        std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::tolower(c); });
        p = eq + 1;
        std::string value;
        if (p < header.size() && header[p] == '"') {
            const std::size_t close = header.find('"', p + 1);
            if (close == std::string::npos) return false;
            value = header.substr(p + 1, close - p - 1);
            p = close + 1;
        } else {
            const std::size_t comma = header.find(',', p);
            value = header.substr(p, comma == std::string::npos ? std::string::npos : comma - p);
            while (!value.empty() && value.back() == ' ') value.pop_back();
            p = comma == std::string::npos ? header.size() : comma;
        }
        fields[name] = value;
    }
    return !fields.empty();
}

} // namespace

std::string base64Encode(const std::string& bytes) {
    std::string out(4 * ((bytes.size() + 2) / 3) + 1, '\0');
    const int n = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out.data()),
                                  reinterpret_cast<const unsigned char*>(bytes.data()), static_cast<int>(bytes.size()));
    out.resize(static_cast<std::size_t>(std::max(n, 0)));
    return out;
}

bool base64Decode(const std::string& text, std::string& bytes) {
    if (text.empty() || text.size() % 4 != 0 || text.size() > (1u << 20)) return false;
    std::string out(text.size() / 4 * 3, '\0');
    const int n = EVP_DecodeBlock(reinterpret_cast<unsigned char*>(out.data()),
                                  reinterpret_cast<const unsigned char*>(text.data()), static_cast<int>(text.size()));
    if (n < 0) return false;
    // EVP_DecodeBlock counts the padding as bytes.
    std::size_t padding = 0;
    if (text[text.size() - 1] == '=') ++padding;
    if (text[text.size() - 2] == '=') ++padding;
    if (static_cast<std::size_t>(n) < padding) return false;
    out.resize(static_cast<std::size_t>(n) - padding);
    bytes = std::move(out);
    return true;
}

std::string passwordDigest(const std::string& nonce, const std::string& created, const std::string& password) {
    return base64Encode(hash(EVP_sha1(), nonce + created + password));
}

TokenCheck UsernameTokenChecker::check(const pugi::xml_node& soapHeader, const std::string& user,
                                       const std::string& password, int64_t cameraNowSeconds, int windowSeconds) {
    const pugi::xml_node security = child(soapHeader, "Security");
    const pugi::xml_node token = child(security, "UsernameToken");
    if (!token) return TokenCheck::Missing;
    const pugi::xml_node passwordNode = child(token, "Password");
    const std::string givenUser = childText(token, "Username");
    const std::string given = childText(token, "Password");
    const std::string type = passwordNode.attribute("Type").value();
    if (!passwordNode || givenUser.empty()) return TokenCheck::Malformed;
    if (endsWith(type, kTextType)) {
        return sameText(givenUser, user) && sameText(given, password) ? TokenCheck::Accepted : TokenCheck::Refused;
    }
    if (!type.empty() && !endsWith(type, kDigestType)) return TokenCheck::Malformed;
    const std::string created = childText(token, "Created");
    std::string nonce;
    int64_t createdSeconds = 0;
    if (!base64Decode(childText(token, "Nonce"), nonce) || !parseIsoTime(created, createdSeconds)) {
        return TokenCheck::Malformed;
    }
    if (!sameText(givenUser, user) || !sameText(given, passwordDigest(nonce, created, password))) {
        return TokenCheck::Refused;
    }
    const int64_t skew = createdSeconds - cameraNowSeconds;
    if (skew > windowSeconds || skew < -windowSeconds) return TokenCheck::OutOfWindow;
    return rememberNonce(nonce) ? TokenCheck::Accepted : TokenCheck::Replayed;
}

bool UsernameTokenChecker::rememberNonce(const std::string& nonce) {
    std::lock_guard lock(mutex_);
    if (std::find(nonces_.begin(), nonces_.end(), nonce) != nonces_.end()) return false;
    nonces_.push_back(nonce);
    if (nonces_.size() > kRememberedNonces) nonces_.pop_front();
    return true;
}

std::string HttpDigestChecker::challenge() {
    unsigned char random[16];
    if (RAND_bytes(random, sizeof random) != 1) return {};
    const std::string nonce = hex(std::string(reinterpret_cast<const char*>(random), sizeof random));
    {
        std::lock_guard lock(mutex_);
        issued_.push_back(nonce);
        if (issued_.size() > kIssuedNonces) issued_.pop_front();
    }
    return "Digest realm=\"" + realm_ + "\", qop=\"auth\", nonce=\"" + nonce + "\", algorithm=MD5";
}

bool HttpDigestChecker::verify(const std::string& authorization, const std::string& method, const std::string& target,
                               const std::string& user, const std::string& password) {
    std::map<std::string, std::string> f;
    if (!parseDigestFields(authorization, f)) return false;
    if (f["username"] != user || f["realm"] != realm_ || f["uri"] != target) return false;
    if (!f["algorithm"].empty() && f["algorithm"] != "MD5") return false;
    {
        std::lock_guard lock(mutex_);
        if (std::find(issued_.begin(), issued_.end(), f["nonce"]) == issued_.end()) return false;
    }
    const std::string ha1 = md5Hex(user + ":" + realm_ + ":" + password);
    const std::string ha2 = md5Hex(method + ":" + target);
    std::string expected;
    if (f["qop"].empty()) {
        expected = md5Hex(ha1 + ":" + f["nonce"] + ":" + ha2);
    } else if (f["qop"] == "auth") {
        expected = md5Hex(ha1 + ":" + f["nonce"] + ":" + f["nc"] + ":" + f["cnonce"] + ":auth:" + ha2);
    } else {
        return false;
    }
    return sameText(f["response"], expected);
}

} // namespace camsim::onvif
