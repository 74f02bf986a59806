// A drawing context as window procedures see it while painting: text in a
// chosen font and colour, icons, and the background mode. The host that shows
// the window supplies the implementation (a toolkit painter, or a recorder in
// tests); the code that paints stays toolkit-free.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#define TAVOLIN_WINDOWING_API __attribute__((visibility("default")))

namespace windowing {

struct Point {
    int x = 0;
    int y = 0;
    bool operator==(const Point&) const = default;
};

struct Size {
    int width = 0;
    int height = 0;
    bool operator==(const Size&) const = default;
};

// Edges as left, top, right, bottom (right and bottom exclusive).
struct Rect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    int width() const { return right - left; }
    int height() const { return bottom - top; }
    bool operator==(const Rect&) const = default;
};

// A colour packed as 0x00BBGGRR, the form colour requests answer in.
using ColorRef = uint32_t;
constexpr ColorRef makeColorRef(uint8_t red, uint8_t green, uint8_t blue) {
    return static_cast<ColorRef>(red) | static_cast<ColorRef>(green) << 8 | static_cast<ColorRef>(blue) << 16;
}
constexpr uint8_t redOf(ColorRef c) { return static_cast<uint8_t>(c & 0xFF); }
constexpr uint8_t greenOf(ColorRef c) { return static_cast<uint8_t>((c >> 8) & 0xFF); }
constexpr uint8_t blueOf(ColorRef c) { return static_cast<uint8_t>((c >> 16) & 0xFF); }

// A logical font. A negative height is the character height in pixels
// without internal leading, a positive one the cell height.
struct FontSpec {
    std::string face;
    int height = -11;
    int weight = 400;
    bool italic = false;
    bool underline = false;
    bool operator==(const FontSpec&) const = default;
};

constexpr int kFontWeightNormal = 400;
constexpr int kFontWeightBold = 700;

// The system's own font; a caller copies it and changes what it needs.
TAVOLIN_WINDOWING_API FontSpec systemFontSpec();

// A font object made from a spec; the drawing context decides which
// installed face stands in for it.
class Font {
public:
    explicit Font(FontSpec spec) : spec_(std::move(spec)) {}
    const FontSpec& spec() const { return spec_; }

private:
    FontSpec spec_;
};

// An icon: its encoded image (PNG) and the size it is drawn at.
class Icon {
public:
    Icon(int resourceId, Size size, const uint8_t* data, std::size_t length)
        : resourceId_(resourceId), size_(size), data_(data), length_(length) {}
    int resourceId() const { return resourceId_; }
    Size size() const { return size_; }
    const uint8_t* data() const { return data_; }
    std::size_t length() const { return length_; }

private:
    int resourceId_;
    Size size_;
    const uint8_t* data_;
    std::size_t length_;
};

// Encoded images a module carries, found by number.
struct IconResource {
    int id = 0;
    int naturalWidth = 0;
    int naturalHeight = 0;
    const uint8_t* data = nullptr;
    std::size_t length = 0;
};

// Loads icon `id` from a module's table at the given size; a size of 0x0
// takes the icon's own size. Null when the table has no such icon.
TAVOLIN_WINDOWING_API std::unique_ptr<Icon> loadIcon(const std::vector<IconResource>& table, int id, Size size = {});

enum class BackgroundMode { Opaque = 2, Transparent = 1 };

// Text layout flags for drawText.
constexpr uint32_t DT_TOP = 0x0;
constexpr uint32_t DT_LEFT = 0x0;
constexpr uint32_t DT_SINGLELINE = 0x20;

class TAVOLIN_WINDOWING_API DrawingContext {
public:
    virtual ~DrawingContext();
    // Each setter answers the previous value so a caller can restore it.
    virtual ColorRef setTextColor(ColorRef color) = 0;
    virtual BackgroundMode setBackgroundMode(BackgroundMode mode) = 0;
    // Null selects the system font. Answers the font selected before.
    virtual const Font* selectFont(const Font* font) = 0;
    // Width and height of one line of text in the selected font.
    virtual Size measureText(const std::u16string& text) = 0;
    virtual void drawText(const std::u16string& text, const Rect& box, uint32_t flags) = 0;
    virtual void drawIcon(Point at, const Icon& icon) = 0;
    virtual void fillRect(const Rect& box, ColorRef color) = 0;
};

// Discards everything; painting outside a host's paint pass draws here.
class TAVOLIN_WINDOWING_API NullDrawingContext final : public DrawingContext {
public:
    ColorRef setTextColor(ColorRef color) override;
    BackgroundMode setBackgroundMode(BackgroundMode mode) override;
    const Font* selectFont(const Font* font) override;
    Size measureText(const std::u16string& text) override;
    void drawText(const std::u16string&, const Rect&, uint32_t) override {}
    void drawIcon(Point, const Icon&) override {}
    void fillRect(const Rect&, ColorRef) override {}

private:
    ColorRef textColor_ = 0;
    BackgroundMode mode_ = BackgroundMode::Opaque;
    const Font* font_ = nullptr;
};

} // namespace windowing
