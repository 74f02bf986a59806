#include "platform/printable_text.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

namespace {

// Octal escapes where a letter or digit follows, so that it stays apart.
TEST(PrintableTextTest, ControlsGoAndUtf8StaysValid) {
    const std::string bad = "\xEF\xBF\xBD"; // U+FFFD
    const std::pair<std::string, std::string> cases[] = {
        {"Gate Caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x93\xB7", "Gate Caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x93\xB7"},
        {"a\r\nb\tc\vd\fe", "a  b c d e"},                            // line breaks and tabs become blanks
        {"\x1B[2J\x1B]0;owned\x07x", "[2J]0;ownedx"},                 // escape sequences lose their introducer
        {std::string("a\0b\x01\177c", 6), "abc"},                     // other C0 controls and DEL
        {"a\302\23331mb\xC2\x85\302\235c\xC2\xA0", "a31mbc\xC2\xA0"}, // C1 controls, but not U+00A0
        {"a\233b", "a" + bad + "b"},                                  // a C1 byte alone is not UTF-8
        {"\xC0\xAF\xED\xA0\x80", bad + bad + bad + bad + bad},        // an overlong '/', a surrogate
        {"\xF4\x90\x80\x80", bad + bad + bad + bad},                  // above U+10FFFF
        {"ok\xE2\x82", "ok" + bad + bad}};                            // cut short at the end
    for (const auto& [in, out] : cases) EXPECT_EQ(platform::printableText(in), out) << in;
}

} // namespace
