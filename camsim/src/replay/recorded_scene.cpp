#include "recorded_scene.h"

#include "camsim/time_strip.h"

#include <algorithm>
#include <cstdio>
#include <ctime>

namespace camsim::replay {

namespace {

std::tm utcOf(int64_t unixMs) {
    const auto seconds = static_cast<std::time_t>(unixMs >= 0 ? unixMs / 1000 : (unixMs - 999) / 1000);
    std::tm tm{};
    gmtime_r(&seconds, &tm);
    return tm;
}

} // namespace

std::string dateText(int64_t unixMs) {
    const std::tm tm = utcOf(unixMs);
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday);
    return text;
}

std::string timeText(int64_t unixMs) {
    const std::tm tm = utcOf(unixMs);
    char text[32];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d.%03d", tm.tm_hour, tm.tm_min, tm.tm_sec,
                  static_cast<int>((unixMs % 1000 + 1000) % 1000));
    return text;
}

RecordedScene::RecordedScene(std::shared_ptr<const SdCard> card)
    : card_(std::move(card)), width_(card_->options().width & ~1), height_(card_->options().height & ~1),
      renderer_(width_, height_, card_->options().name, card_->options().variant) {}

RecordedScene::~RecordedScene() { std::lock_guard lock(mutex_); }

void RecordedScene::draw(int64_t unixMs, const YuvPicture& out) {
    std::lock_guard lock(mutex_);
    renderer_.render(head_, "", out);
    const int w = out.width, h = out.height;
    const Rgb white{255, 255, 255}, black{0, 0, 0}, red{240, 40, 40};

    // The moving object while motion was seen: left to right over the event.
    if (const auto motion = card_->motionAt(unixMs)) {
        const int side = std::max(8, h / 6);
        const int x = static_cast<int>(*motion * (w - side)), y = h / 2 - side / 2;
        fillRect(out, x - 2, y - 2, side + 4, side + 4, black);
        fillRect(out, x, y, side, side, white);
    }

    // The date and time, large, in a box across the middle.
    const std::string date = dateText(unixMs), time = timeText(unixMs);
    const int scale = std::max(1, std::min(h / 80, w / (kGlyphCellWidth * 13)));
    const int lineH = kGlyphCellHeight * scale;
    const int boxW = textWidth(time, scale) + 4 * scale, boxH = 2 * lineH + 6 * scale;
    const int bx = (w - boxW) / 2, by = (h - boxH) / 2 + h / 8;
    shadeRect(out, bx, by, boxW, boxH, -60);
    drawText(out, (w - textWidth(date, scale)) / 2, by + 2 * scale, scale, date, white);
    drawText(out, (w - textWidth(time, scale)) / 2, by + 4 * scale + lineH, scale, time, white);
    drawText(out, bx, by - kGlyphCellHeight - 2, 1, "SD", red);

    drawTimeStrip(out, unixMs);
}

} // namespace camsim::replay
