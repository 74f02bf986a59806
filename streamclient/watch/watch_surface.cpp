#include "watch_surface.h"

#include "recorder/snapshot.h"

#include <cstdio>
#include <filesystem>
#include <fstream>

namespace watch {

void WatchSurface::stretchDraw(const platform::PictureView& picture, const platform::SurfaceRect&) {
    if (ages_ != nullptr) {
        const auto now = std::chrono::system_clock::now().time_since_epoch();
        ages_->add(picture, std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
    }
    std::lock_guard lock(mutex_);
    ++status_.pictures;
    status_.width = picture.width;
    status_.height = picture.height;
    if (!keepPictures_ || picture.pixels == nullptr) return;
    bitCount_ = picture.bitCount;
    stride_ = picture.stride;
    pixels_.assign(picture.pixels, picture.pixels + picture.stride * static_cast<std::size_t>(picture.height));
    drawnAt_ = std::chrono::system_clock::now();
}

std::optional<std::vector<uint8_t>> WatchSurface::latestJpeg(std::chrono::system_clock::time_point& drawnAt,
                                                             std::string& error) const {
    std::lock_guard lock(mutex_);
    if (pixels_.empty()) {
        error = "no picture came";
        return std::nullopt;
    }
    drawnAt = drawnAt_;
    return recorder::encodeJpeg({status_.width, status_.height, bitCount_, stride_, pixels_.data()}, error);
}

WatchSurface::Status WatchSurface::status() const {
    std::lock_guard lock(mutex_);
    return status_;
}

bool WatchSurface::writeLatest(const std::string& path) const {
    std::vector<uint8_t> rgb;
    int width = 0;
    int height = 0;
    {
        std::lock_guard lock(mutex_);
        if (pixels_.empty() || status_.width <= 0 || status_.height <= 0) return false;
        width = status_.width;
        height = status_.height;
        rgb.resize(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3);
        uint8_t* out = rgb.data();
        for (int y = 0; y < height; ++y) {
            const uint8_t* row = pixels_.data() + stride_ * static_cast<std::size_t>(y);
            for (int x = 0; x < width; ++x) {
                uint8_t r = 0, g = 0, b = 0;
                if (bitCount_ == 32 || bitCount_ == 24) {
                    const uint8_t* p = row + static_cast<std::size_t>(x) * (bitCount_ / 8);
                    b = p[0];
                    g = p[1];
                    r = p[2];
                } else if (bitCount_ == 16) {
                    const unsigned v = row[2 * x] | (row[2 * x + 1] << 8); // 5-6-5
                    r = static_cast<uint8_t>(((v >> 11) & 0x1F) << 3);
                    g = static_cast<uint8_t>(((v >> 5) & 0x3F) << 2);
                    b = static_cast<uint8_t>((v & 0x1F) << 3);
                }
                *out++ = r;
                *out++ = g;
                *out++ = b;
            }
        }
    }
    const std::string temporary = path + ".part";
    {
        std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
        if (!file) return false;
        file << "P6\n" << width << ' ' << height << "\n255\n";
        file.write(reinterpret_cast<const char*>(rgb.data()), static_cast<std::streamsize>(rgb.size()));
        if (!file) return false;
    }
    std::error_code ec;
    std::filesystem::rename(temporary, path, ec);
    return !ec;
}

} // namespace watch
