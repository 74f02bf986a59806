// A drawing context that records every call, with text measured as a fixed
// number of pixels per character so expected boxes are known in advance.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/drawing.h"

struct DrawCall {
    enum Kind { TextColor, Background, SelectFont, Text, Icon, Fill };
    explicit DrawCall(Kind k) : kind(k) {}
    Kind kind;
    std::u16string text;
    platform::Rect rect;
    platform::Point at;
    std::optional<platform::FontSpec> font; // SelectFont: the font chosen (none: system font)
    platform::ColorRef color = 0;
    platform::BackgroundMode mode = platform::BackgroundMode::Opaque;
    int iconId = 0;
    platform::Size iconSize;
};

class RecordingContext final : public platform::DrawingContext {
public:
    static constexpr int kNormalCharWidth = 6;
    static constexpr int kBoldCharWidth = 7;
    static constexpr int kLineHeight = 13;

    std::vector<DrawCall> calls;

    platform::ColorRef setTextColor(platform::ColorRef color) override {
        DrawCall call(DrawCall::TextColor);
        call.color = color;
        calls.push_back(call);
        return std::exchange(color_, color);
    }
    platform::BackgroundMode setBackgroundMode(platform::BackgroundMode mode) override {
        DrawCall call(DrawCall::Background);
        call.mode = mode;
        calls.push_back(call);
        return std::exchange(mode_, mode);
    }
    const platform::Font* selectFont(const platform::Font* font) override {
        DrawCall call(DrawCall::SelectFont);
        if (font != nullptr) call.font = font->spec();
        calls.push_back(call);
        return std::exchange(font_, font);
    }
    platform::Size measureText(const std::u16string& text) override {
        const bool bold = font_ != nullptr && font_->spec().weight >= platform::kFontWeightBold;
        return {static_cast<int>(text.size()) * (bold ? kBoldCharWidth : kNormalCharWidth), kLineHeight};
    }
    void drawText(const std::u16string& text, const platform::Rect& box, uint32_t) override {
        DrawCall call(DrawCall::Text);
        call.text = text;
        call.rect = box;
        call.font = font_ != nullptr ? std::optional(font_->spec()) : std::nullopt;
        call.color = color_;
        calls.push_back(call);
    }
    void drawIcon(platform::Point at, const platform::Icon& icon) override {
        DrawCall call(DrawCall::Icon);
        call.at = at;
        call.mode = mode_;
        call.iconId = icon.resourceId();
        call.iconSize = icon.size();
        calls.push_back(call);
    }
    void fillRect(const platform::Rect& box, platform::ColorRef color) override {
        DrawCall call(DrawCall::Fill);
        call.rect = box;
        call.color = color;
        calls.push_back(call);
    }

    std::vector<DrawCall> only(DrawCall::Kind kind) const {
        std::vector<DrawCall> out;
        for (const auto& c : calls)
            if (c.kind == kind) out.push_back(c);
        return out;
    }

private:
    platform::ColorRef color_ = 0;
    platform::BackgroundMode mode_ = platform::BackgroundMode::Opaque;
    const platform::Font* font_ = nullptr;
};
