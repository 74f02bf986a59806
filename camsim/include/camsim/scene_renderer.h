// Draws what a simulated camera sees: a window over a panorama larger than
// the picture (sky and ground, a labelled grid, coloured landmarks), with
// the camera's name, a running clock, the output lamp, event and talk-back
// indicators and the on-screen menu drawn over it. The panoramas are drawn
// once; a picture costs one scaled copy of the window plus the overlays.
#pragma once

#include "camsim/camera_head.h"
#include "camsim/yuv_picture.h"

#include <array>
#include <memory>
#include <string>
#include <vector>

namespace camsim {

// A landmark of a panorama: its centre as a fraction of the scene.
struct Landmark {
    double x, y;
    Rgb colour;
};

// Scene size as a multiple of the picture size: at the widest zoom the
// window (half the scene) is shrunk 1.5 times into the picture.
inline constexpr int kSceneScale = 3;
inline constexpr int kQuadInputs = 4;

class SceneRenderer {
public:
    // `variant` picks the camera's own panorama; a quad server's inputs 2 to
    // 4 show the next three.
    SceneRenderer(int width, int height, std::string name, int variant);
    ~SceneRenderer();

    // Draws the picture for the head's state now. `clockText` is the
    // running clock ("12:34:56.7"); empty draws none.
    void render(const CameraHead& head, const std::string& clockText, const YuvPicture& out);

    // The landmarks of a panorama variant (scene fractions), for tests
    // that look for them in pictures.
    static std::vector<Landmark> landmarks(int variant);
    // Where a scene point lands in the picture for a window, in pixels
    // (may fall outside the picture).
    static void sceneToPicture(const ViewWindow& w, double sx, double sy, int width, int height, double& px,
                               double& py);

    // Centre of the output lamp in a picture of this size.
    static void lampCentre(int width, int height, int& x, int& y);

    int width() const { return width_; }
    int height() const { return height_; }

private:
    const YuvImage& panorama(int input);
    void sample(const YuvImage& scene, const ViewWindow& w, const YuvPicture& out, int ox, int oy, int ow, int oh,
                const std::array<uint8_t, 256>& lut);
    void blur(const YuvPicture& out, int radius);
    void overlays(const HeadState& s, const CameraHead& head, const std::string& clockText, const YuvPicture& out);

    int width_, height_;
    std::string name_;
    int variant_;
    std::array<std::unique_ptr<YuvImage>, kQuadInputs> scenes_;
    std::vector<int> xmap_, cxmap_; // reused per picture
    std::vector<int> scratch_;
};

} // namespace camsim
