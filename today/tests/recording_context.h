// A drawing context that records every call, with text measured as a fixed
// number of pixels per character so expected boxes are known in advance.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "windowing/drawing.h"

struct DrawCall {
    enum Kind { TextColor, Background, SelectFont, Text, Icon, Fill };
    explicit DrawCall(Kind k) : kind(k) {}
    Kind kind;
    std::u16string text;
    windowing::Rect rect;
    windowing::Point at;
    std::optional<windowing::FontSpec> font; // SelectFont: the font chosen (none: system font)
    windowing::ColorRef color = 0;
    windowing::BackgroundMode mode = windowing::BackgroundMode::Opaque;
    int iconId = 0;
    windowing::Size iconSize;
};

class RecordingContext final : public windowing::DrawingContext {
public:
    static constexpr int kNormalCharWidth = 6;
    static constexpr int kBoldCharWidth = 7;
    static constexpr int kLineHeight = 13;

    std::vector<DrawCall> calls;

    windowing::ColorRef setTextColor(windowing::ColorRef color) override {
        DrawCall call(DrawCall::TextColor);
        call.color = color;
        calls.push_back(call);
        return std::exchange(color_, color);
    }
    windowing::BackgroundMode setBackgroundMode(windowing::BackgroundMode mode) override {
        DrawCall call(DrawCall::Background);
        call.mode = mode;
        calls.push_back(call);
        return std::exchange(mode_, mode);
    }
    const windowing::Font* selectFont(const windowing::Font* font) override {
        DrawCall call(DrawCall::SelectFont);
        if (font != nullptr) call.font = font->spec();
        calls.push_back(call);
        return std::exchange(font_, font);
    }
    windowing::Size measureText(const std::u16string& text) override {
        const bool bold = font_ != nullptr && font_->spec().weight >= windowing::kFontWeightBold;
        return {static_cast<int>(text.size()) * (bold ? kBoldCharWidth : kNormalCharWidth), kLineHeight};
    }
    void drawText(const std::u16string& text, const windowing::Rect& box, uint32_t) override {
        DrawCall call(DrawCall::Text);
        call.text = text;
        call.rect = box;
        call.font = font_ != nullptr ? std::optional(font_->spec()) : std::nullopt;
        call.color = color_;
        calls.push_back(call);
    }
    void drawIcon(windowing::Point at, const windowing::Icon& icon) override {
        DrawCall call(DrawCall::Icon);
        call.at = at;
        call.mode = mode_;
        call.iconId = icon.resourceId();
        call.iconSize = icon.size();
        calls.push_back(call);
    }
    void fillRect(const windowing::Rect& box, windowing::ColorRef color) override {
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
    windowing::ColorRef color_ = 0;
    windowing::BackgroundMode mode_ = windowing::BackgroundMode::Opaque;
    const windowing::Font* font_ = nullptr;
};
