// Window surfaces: a 32-bit window handle names something that can show a
// picture. The viewer registers each video widget under a handle; the stream
// client's renderer looks the handle up and draws into it from its own thread.
// The registry lives in one shared library so every module of a process sees
// the same handles.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#define TAVOLIN_SURFACE_API __attribute__((visibility("default")))

namespace platform {

// A picture laid out like a device-independent bitmap: rows top-down, each
// row padded to 4 bytes, pixels in blue-green-red(-x) order for 24 and 32 bits,
// 5-6-5 for 16 bits.
struct PictureView {
    int width = 0;
    int height = 0;
    int bitCount = 0;
    std::size_t stride = 0;
    const uint8_t* pixels = nullptr;
};

struct SurfaceRect {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
};

struct SurfaceColor {
    uint8_t red = 0;
    uint8_t green = 0;
    uint8_t blue = 0;
    bool operator==(const SurfaceColor&) const = default;
};

struct SurfaceSize {
    int width = 0;
    int height = 0;
};

// Where a lent picture's rows go: bitmapStride(width, bitCount) apart.
struct PictureTarget {
    uint8_t* pixels = nullptr;
    std::size_t stride = 0;
};

// Where a lent 4:2:0 picture's planes go: the luma plane width x height,
// rows yStride apart; each chroma plane half that, rounded up, rows uvStride
// apart.
struct PlanarTarget {
    uint8_t* y = nullptr;
    uint8_t* u = nullptr;
    uint8_t* v = nullptr;
    std::size_t yStride = 0;
    std::size_t uvStride = 0;
};

// Bytes of one padded row of a bitmap.
inline std::size_t bitmapStride(int width, int bitCount) {
    if (width <= 0 || bitCount <= 0) return 0;
    return ((static_cast<std::size_t>(width) * static_cast<std::size_t>(bitCount) + 31) / 32) * 4;
}

// What a window offers to the renderer. Calls come from the render thread;
// an implementation copies what it needs under its own lock.
class TAVOLIN_SURFACE_API Surface {
public:
    virtual ~Surface();
    // Stretches the whole picture into dest (window pixels).
    virtual void stretchDraw(const PictureView& picture, const SurfaceRect& dest) = 0;
    // Draws text into box, left and top aligned, on an opaque background.
    virtual void drawText(const std::u16string& text, const SurfaceRect& box, SurfaceColor textColor,
                          SurfaceColor background) = 0;
    // Called once the frame (picture and overlay) is complete.
    virtual void present() {}
    virtual SurfaceSize clientSize() const = 0;

    // Instead of stretchDraw, without its copy: lends the surface's own buffer
    // for a width x height picture of bitCount bits in the layout of
    // PictureView, which the caller fills and hands back with finishLent
    // (then the overlay and present follow as after stretchDraw). Until then
    // no other picture is drawn into the surface. A surface that lends
    // nothing returns no pixels; the caller then draws with stretchDraw.
    virtual PictureTarget lendPicture(int width, int height, int bitCount);
    // The lent picture is complete (filled) or abandoned, and goes to dest.
    virtual void finishLent(const SurfaceRect& dest, bool filled);
    // The same for a surface that converts pictures itself as it shows them:
    // lends 4:2:0 planes (no pixels: the caller lends rows instead), handed
    // back with finishLentPlanes, telling whether they hold full-range
    // (rather than studio-range) BT.601 colours.
    virtual PlanarTarget lendPlanes(int width, int height);
    virtual void finishLentPlanes(const SurfaceRect& dest, bool filled, bool fullRange);
};

// The process-wide map from window handle to surface.
class TAVOLIN_SURFACE_API SurfaceRegistry {
public:
    // Registers a surface under a fresh nonzero handle.
    static uint32_t add(std::shared_ptr<Surface> surface);
    // Removes a handle; a renderer drawing on it keeps it alive until done.
    static void remove(uint32_t handle);
    // The surface for a handle, or null for 0 and unknown handles.
    static std::shared_ptr<Surface> find(uint32_t handle);
};

// A surface that records what was drawn, for tests and headless use.
class TAVOLIN_SURFACE_API RecordingSurface final : public Surface {
public:
    struct Text {
        std::u16string text;
        SurfaceRect box;
        SurfaceColor textColor;
        SurfaceColor background;
    };
    struct Snapshot {
        int drawCount = 0;
        int presentCount = 0;
        int planarCount = 0; // pictures that came as planes
        int width = 0;
        int height = 0;
        int bitCount = 0;
        std::size_t stride = 0;
        SurfaceRect dest;
        std::vector<uint8_t> pixels; // copy of the latest picture
        std::vector<Text> texts;     // every text drawn, oldest first (last 64 kept)
    };

    // Lending, pictures are written straight into the surface's buffer: as
    // rows, or as 4:2:0 planes that it turns into 32-bit rows as a window
    // that converts while it paints would.
    enum class Lending { No, Yes, Planes };
    explicit RecordingSurface(SurfaceSize size = {320, 240}, Lending lending = Lending::No);
    void stretchDraw(const PictureView& picture, const SurfaceRect& dest) override;
    PictureTarget lendPicture(int width, int height, int bitCount) override;
    void finishLent(const SurfaceRect& dest, bool filled) override;
    PlanarTarget lendPlanes(int width, int height) override;
    void finishLentPlanes(const SurfaceRect& dest, bool filled, bool fullRange) override;
    void drawText(const std::u16string& text, const SurfaceRect& box, SurfaceColor textColor,
                  SurfaceColor background) override;
    void present() override;
    SurfaceSize clientSize() const override;

    Snapshot snapshot() const;
    int drawCount() const;

private:
    mutable std::mutex mutex_;
    SurfaceSize size_;
    Snapshot state_;
    const Lending lending_;
    // The lent buffer and its picture's shape; the drawing thread's only.
    std::vector<uint8_t> lent_;
    PictureView lentShape_;
    std::vector<uint8_t> lentPlanes_;
    SurfaceSize lentPlanesSize_;
    PlanarTarget lentPlanesAt_; // where lendPlanes put them in lentPlanes_
};

} // namespace platform
