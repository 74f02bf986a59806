#include "onvif_test_client.h"

#include "platform/tcp_socket.h"

#include <openssl/evp.h>
#include <openssl/rand.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <ctime>

namespace camsim::test {

namespace {

std::string base64(const std::string& bytes) {
    std::string out(4 * ((bytes.size() + 2) / 3) + 1, '\0');
    const int n = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out.data()),
                                  reinterpret_cast<const unsigned char*>(bytes.data()), static_cast<int>(bytes.size()));
    out.resize(static_cast<std::size_t>(n));
    return out;
}

std::string digest(const EVP_MD* md, const std::string& data) {
    unsigned char out[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_Digest(data.data(), data.size(), out, &length, md, nullptr);
    return std::string(reinterpret_cast<const char*>(out), length);
}

std::string lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
    return s;
}

} // namespace

std::string SoapAnswer::header(const std::string& name) const {
    const std::string wanted = lower(name) + ":";
    std::size_t pos = 0;
    while (pos < head.size()) {
        std::size_t end = head.find("\r\n", pos);
        if (end == std::string::npos) end = head.size();
        const std::string line = head.substr(pos, end - pos);
        if (lower(line.substr(0, wanted.size())) == wanted) {
            const std::string value = line.substr(wanted.size());
            return value.substr(std::min(value.find_first_not_of(' '), value.size()));
        }
        pos = end + 2;
    }
    return {};
}

bool SoapAnswer::parse(pugi::xml_document& document) const {
    return static_cast<bool>(document.load_buffer(body.data(), body.size()));
}

int64_t nowSeconds() {
    return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

std::string isoUtc(int64_t seconds) {
    const auto t = static_cast<std::time_t>(seconds);
    std::tm tm{};
    gmtime_r(&t, &tm);
    char text[64];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S.000Z", &tm);
    return text;
}

std::string usernameToken(const std::string& user, const std::string& password, int64_t created,
                          const std::string& nonce) {
    std::string n = nonce;
    if (n.empty()) {
        n.resize(16);
        RAND_bytes(reinterpret_cast<unsigned char*>(n.data()), 16);
    }
    const std::string createdText = isoUtc(created);
    const std::string passwordDigest = base64(digest(EVP_sha1(), n + createdText + password));
    return "<wsse:Security xmlns:wsse=\"http://docs.oasis-open.org/wss/2004/01/"
           "oasis-200401-wss-wssecurity-secext-1.0.xsd\" xmlns:wsu=\"http://docs.oasis-open.org/wss/2004/01/"
           "oasis-200401-wss-wssecurity-utility-1.0.xsd\"><wsse:UsernameToken><wsse:Username>" +
           user +
           "</wsse:Username><wsse:Password Type=\"http://docs.oasis-open.org/wss/2004/01/"
           "oasis-200401-wss-username-token-profile-1.0#PasswordDigest\">" +
           passwordDigest + "</wsse:Password><wsse:Nonce>" + base64(n) + "</wsse:Nonce><wsu:Created>" + createdText +
           "</wsu:Created></wsse:UsernameToken></wsse:Security>";
}

std::string envelope(const std::string& body, const std::string& header) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?><env:Envelope "
           "xmlns:env=\"http://www.w3.org/2003/05/soap-envelope\"><env:Header>" +
           header + "</env:Header><env:Body>" + body + "</env:Body></env:Envelope>";
}

SoapAnswer post(uint16_t port, const std::string& body, const PostOptions& options) {
    SoapAnswer answer;
    platform::TcpSocket socket;
    if (!socket.connect("127.0.0.1", port, 2000)) return answer;
    std::string request = "POST " + options.path +
                          " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n"
                          "Content-Type: application/soap+xml; charset=utf-8\r\n"
                          "Content-Length: " +
                          std::to_string(body.size()) + "\r\n";
    for (const std::string& h : options.headers) request += h + "\r\n";
    request += "\r\n" + body;
    if (!socket.sendAll(request.data(), request.size())) return answer;
    const platform::Deadline deadline = platform::deadlineAfter(options.timeoutMs);
    std::string all;
    char chunk[65536];
    while (std::chrono::steady_clock::now() < deadline) {
        if (!socket.waitReadable(20)) continue;
        const platform::RecvResult r = socket.receiveSome(chunk, sizeof chunk);
        if (r.status != platform::RecvStatus::Ok || r.bytes == 0) break;
        all.append(chunk, r.bytes);
    }
    const std::size_t headEnd = all.find("\r\n\r\n");
    if (headEnd == std::string::npos) return answer;
    answer.head = all.substr(0, headEnd);
    answer.body = all.substr(headEnd + 4);
    const std::string length = answer.header("Content-Length");
    if (length.empty() || std::stoul(length) != answer.body.size()) return answer;
    answer.status = std::atoi(answer.head.c_str() + answer.head.find(' ') + 1);
    return answer;
}

std::string findText(const pugi::xml_document& document, const char* local) {
    const std::vector<pugi::xml_node> all = findAll(document, local);
    return all.empty() ? std::string() : std::string(all.front().child_value());
}

std::vector<pugi::xml_node> findAll(const pugi::xml_document& document, const char* local) {
    std::vector<pugi::xml_node> out;
    for (const pugi::xpath_node& x : document.select_nodes("//*")) {
        const pugi::xml_node n = x.node();
        const char* name = n.name();
        const char* colon = std::strchr(name, ':');
        if (std::strcmp(colon != nullptr ? colon + 1 : name, local) == 0) out.push_back(n);
    }
    return out;
}

std::string md5Hex(const std::string& text) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string out;
    for (unsigned char c : digest(EVP_md5(), text)) {
        out.push_back(kDigits[c >> 4]);
        out.push_back(kDigits[c & 15]);
    }
    return out;
}

} // namespace camsim::test
