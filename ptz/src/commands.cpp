#include <cstdio>
#include <cstring>

#include "builder.h"
#include "operations.h"
#include "text_util.h"

namespace tiltra {
namespace {

// Library-wide results, one per thread (see catalogue.cpp).
thread_local char tHexResult[2 * kMaxCommandBytes + 1];
thread_local char tUrlResult[1024];

struct CodeEntry {
    int code;
    const char* name;
    int param1; // -1: the caller's
    int param2;
};

constexpr int kCallers = -1;

constexpr CodeEntry kMoveCodes[] = {
    {2, "PANLEFT", kCallers, kCallers},        {3, "PANRIGHT", kCallers, kCallers},
    {4, "TILTUP", kCallers, kCallers},         {5, "TILTDOWN", kCallers, kCallers},
    {7, "PANTILTHOME", kCallers, kCallers},    {37, "MOVEUPLEFT", kCallers, kCallers},
    {38, "MOVEUPRIGHT", kCallers, kCallers},   {39, "MOVEDOWNLEFT", kCallers, kCallers},
    {40, "MOVEDOWNRIGHT", kCallers, kCallers},
};
constexpr CodeEntry kOsdCodes[] = {
    {8, "OSDON", 0, 0},    {9, "OSDOFF", 0, 0},    {10, "OSDUP", 0, 0},    {11, "OSDDOWN", 0, 0},
    {12, "OSDLEFT", 0, 0}, {13, "OSDRIGHT", 0, 0}, {14, "OSDLEAVE", 0, 0}, {16, "OSDENTER", 0, 0},
};
constexpr CodeEntry kFocusCodes[] = {{17, "FOCUSIN", 1, 0}, {18, "FOCUSOUT", 1, 0}};
constexpr CodeEntry kIrisCodes[] = {{20, "IRISOPEN", 1, 0}, {21, "IRISCLOSE", 1, 0}, {22, "IRIS", 0, 0}};
constexpr CodeEntry kPresetCodes[] = {
    {24, "PRESETSET", kCallers, 0}, {25, "PRESETGOTO", kCallers, 0}, {26, "PRESETCLEAR", kCallers, 0}};
constexpr CodeEntry kZoomCodes[] = {{28, "ZOOMIN", 1, 0}, {29, "ZOOMOUT", 1, 0}};
constexpr CodeEntry kBlcCodes[] = {{31, "BLC", 1, 0}, {32, "BLC", 0, 0}};
constexpr CodeEntry kDayNightCodes[] = {
    {33, "DAYNIGHT", 1, 0}, {34, "DAYNIGHT", 0, 0}, {35, "DAYNIGHTAUTO", 1, 0}, {36, "DAYNIGHTAUTO", 0, 0}};

template <std::size_t N>
const CodeEntry* findCode(const CodeEntry (&table)[N], int code) {
    for (const CodeEntry& e : table) {
        if (e.code == code) return &e;
    }
    return nullptr;
}

bool buildEntry(PTZContext& ctx, const CodeEntry& e, int param1, int param2) {
    return findAndBuild(ctx, e.name, e.param1 == kCallers ? param1 : e.param1,
                        e.param2 == kCallers ? param2 : e.param2);
}

// The stop of a movement is the same command at speed 0.
bool buildLastAtZero(PTZContext& ctx) {
    if (ctx.lastCommand[0] == '\0') return false;
    char last[sizeof ctx.lastCommand];
    std::memcpy(last, ctx.lastCommand, sizeof last);
    return findAndBuild(ctx, last, 0, 0);
}

const void* nullWithCount(int* count) {
    if (count) *count = 0;
    return nullptr;
}

} // namespace

const unsigned char* getString(PTZContext* ctx, const char* command, int param1, int param2, int* count) {
    if (ctx == nullptr || !findAndBuild(*ctx, command, param1, param2)) return nullptr;
    if (count) *count = ctx->outputCount;
    return ctx->output;
}

const char* getStringUrl(PTZContext* ctx, const char* command, int param1, int param2, int* count) {
    const unsigned char* bytes = getString(ctx, command, param1, param2, count);
    if (bytes == nullptr) return nullptr;
    formatHex(bytes, ctx->outputCount, tHexResult);
    return tHexResult;
}

const char* urlCommand(const char* ip, const char* user, const char* password, const char* hex) {
    auto text = [](const char* s) { return s ? s : ""; };
    // Cut, never overrun, when the parts are longer than the buffer.
    std::snprintf(tUrlResult, sizeof tUrlResult, "http://%s/cgi-bin/mpeg4?USER=%s&PWD=%s&SERIAL_HEX=%s", text(ip),
                  text(user), text(password), text(hex));
    return tUrlResult;
}

const void* move(PTZContext* ctx, int code, int param1, int param2, int* count) {
    if (ctx == nullptr) return nullWithCount(count);
    bool built = false;
    if (code == 6) {
        built = buildLastAtZero(*ctx) || findAndBuild(*ctx, "PANTILTSTOP", param1, param2);
    } else if (const CodeEntry* e = findCode(kMoveCodes, code)) {
        built = buildEntry(*ctx, *e, param1, param2);
    }
    if (!built) return nullWithCount(count);
    return resultInOutputMode(*ctx, count);
}

const void* zoom(PTZContext* ctx, int code, int* count) {
    if (ctx == nullptr) return nullWithCount(count);
    bool built = false;
    if (code == 30) {
        const bool in = std::strcmp(ctx->lastCommand, "ZOOMIN") == 0;
        const bool out = std::strcmp(ctx->lastCommand, "ZOOMOUT") == 0;
        if (!in && !out) return nullptr; // nothing to stop; count untouched
        const bool stop = findAndBuild(*ctx, "ZOOMSTOP", 0, 0);
        // The zoom at speed 0 is preferred; a protocol that has only
        // ZOOMSTOP still gets its stop out.
        built = findAndBuild(*ctx, in ? "ZOOMIN" : "ZOOMOUT", 0, 0) || stop;
    } else if (const CodeEntry* e = findCode(kZoomCodes, code)) {
        built = buildEntry(*ctx, *e, 0, 0);
    }
    if (!built) return nullWithCount(count);
    return resultInOutputMode(*ctx, count);
}

const void* focus(PTZContext* ctx, int code) {
    if (ctx == nullptr) return nullptr;
    bool built = false;
    if (code == 19) {
        built = buildLastAtZero(*ctx) || findAndBuild(*ctx, "FOCUS", 0, 0);
    } else if (const CodeEntry* e = findCode(kFocusCodes, code)) {
        built = buildEntry(*ctx, *e, 0, 0);
    }
    return built ? resultInOutputMode(*ctx, nullptr) : nullptr;
}

const void* iris(PTZContext* ctx, int code) {
    if (ctx == nullptr) return nullptr;
    const CodeEntry* e = findCode(kIrisCodes, code);
    if (e == nullptr || !buildEntry(*ctx, *e, 0, 0)) return nullptr;
    return resultInOutputMode(*ctx, nullptr);
}

const void* osd(PTZContext* ctx, int code) {
    if (ctx == nullptr) return nullptr;
    const CodeEntry* e = findCode(kOsdCodes, code);
    if (e == nullptr || !buildEntry(*ctx, *e, 0, 0)) return nullptr;
    const void* result = resultInOutputMode(*ctx, nullptr);
    // The pan/tilt stop that follows an OSD step becomes the last command,
    // but the caller gets the OSD command it asked for: the stop is
    // looked up and the OSD command's bytes and texts put back.
    struct Saved {
        unsigned char output[sizeof ctx->output];
        int outputCount;
        char hexText[sizeof ctx->hexText];
        char urlText[sizeof ctx->urlText];
    } saved;
    std::memcpy(saved.output, ctx->output, sizeof saved.output);
    saved.outputCount = ctx->outputCount;
    std::memcpy(saved.hexText, ctx->hexText, sizeof saved.hexText);
    std::memcpy(saved.urlText, ctx->urlText, sizeof saved.urlText);
    if (findAndBuild(*ctx, "PANTILTSTOP", 0, 0)) {
        std::memcpy(ctx->output, saved.output, sizeof saved.output);
        ctx->outputCount = saved.outputCount;
        std::memcpy(ctx->hexText, saved.hexText, sizeof saved.hexText);
        std::memcpy(ctx->urlText, saved.urlText, sizeof saved.urlText);
    }
    return result;
}

int preset(PTZContext* ctx, int code, int number) {
    if (ctx == nullptr) return 0;
    if (const CodeEntry* e = findCode(kPresetCodes, code); e && buildEntry(*ctx, *e, number, 0)) {
        resultInOutputMode(*ctx, nullptr);
    }
    return 0;
}

int dayNight(PTZContext* ctx, int code) {
    if (ctx == nullptr) return 0;
    if (const CodeEntry* e = findCode(kDayNightCodes, code); e && buildEntry(*ctx, *e, 0, 0)) {
        resultInOutputMode(*ctx, nullptr);
    }
    return 0;
}

int blc(PTZContext* ctx, int code) {
    if (ctx == nullptr) return 0;
    if (const CodeEntry* e = findCode(kBlcCodes, code); e && buildEntry(*ctx, *e, 0, 0)) {
        resultInOutputMode(*ctx, nullptr);
    }
    return 0;
}

} // namespace tiltra
