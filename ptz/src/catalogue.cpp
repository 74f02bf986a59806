#include "catalogue.h"

#include <cstdio>
#include <cstring>

#include "builtin_texts.h"

namespace tiltra {

const CatalogueRow kCatalogue[kCatalogueRows] = {
    {"Tarn-A1", {"Pelco-D", "Pelco-P", "VCL"}},
    {"Tarn-A2", {"Pelco-D", "Pelco-P", "EyeView"}},
    {"EyeView", {"Pelco-D", "Pelco-P", "EyeView"}},
    {"Tarn-B1", {"Kampro"}},
    {"Tarn-B2", {"Kampro"}},
    {"Tarn-B3", {"Kampro"}},
    {"Tarn-B4", {"Kampro"}},
    {"Kampro", {"Kampro"}},
    {"Messoa", {"Pelco-D", "Pelco-P", "VCL"}},
    {"Pelco", {"Pelco-D", "Pelco-P"}},
    {"Samsung", {"Samsung"}},
    {"TOA", {"TOA"}},
    {"Videotrec", {"Videotrec"}},
    {"DynaColor", {"DynaColor"}},
    {"Tarn-C1", {"DynaColor", "Pelco-D", "Pelco-P"}},
    {"Tarn-C2", {"DynaColor", "Pelco-D", "Pelco-P"}},
    {"Pixim", {"Pixim"}},
};

const char kCommandTable[kCommandTableSize][16] = {
    "PANLEFT",       "PANRIGHT",    "TILTUP",     "TILTDOWN",  "MOVEUPLEFT", "MOVEUPRIGHT", "MOVEDOWNLEFT",
    "MOVEDOWNRIGHT", "PANTILTSTOP", "ZOOMIN",     "ZOOMOUT",   "ZOOMSTOP",   "FOCUSIN",     "FOCUSOUT",
    "FOCUSSTOP",     "FOCUSAUTO",   "IRISOPEN",   "IRISCLOSE", "IRISSTOP",   "IRISAUTO",    "PRESETGOTO",
    "PRESETSET",     "PRESETCLEAR", "PRESETTOUR", "OSDON",     "OSDOFF",     "OSDUP",       "OSDDOWN",
    "OSDLEFT",       "OSDRIGHT",    "OSDENTER",   "OSDLEAVE",  "BLC",        "DAYNIGHT",
};

namespace {

constexpr std::size_t kResultSize = 256;
constexpr std::size_t kWorkSize = 2048;

// Library-wide result buffers; per thread, so callers on different threads
// never overwrite each other's result.
thread_local char tEnumerateResult[kResultSize];
thread_local char tProtocolResult[kResultSize];

// Collects "name," entries in a 2048-byte work area, then formats
// "count,name,name," into the 256-byte result. Entries that do not fit are
// cut whole from the end, and the count says how many the text holds.
class Listing {
public:
    void add(std::string_view name) {
        if (full_ || used_ + name.size() + 1 > kWorkSize || entries_ == kMaxEntries) {
            full_ = true;
            return;
        }
        if (!name.empty()) std::memcpy(work_ + used_, name.data(), name.size());
        used_ += name.size();
        work_[used_++] = ',';
        ends_[entries_++] = static_cast<std::uint16_t>(used_);
    }

    void reset() {
        used_ = 0;
        entries_ = 0;
        full_ = false;
    }

    int entries() const { return static_cast<int>(entries_); }

    const char* format(char* result, int* length) const {
        std::size_t kept = entries_;
        for (;; --kept) {
            const std::size_t body = kept == 0 ? 0 : ends_[kept - 1];
            char prefix[16];
            const int prefixLength = std::snprintf(prefix, sizeof prefix, "%zu,", kept);
            if (static_cast<std::size_t>(prefixLength) + body < kResultSize) {
                std::memcpy(result, prefix, static_cast<std::size_t>(prefixLength));
                std::memcpy(result + prefixLength, work_, body);
                result[prefixLength + body] = '\0';
                if (length) *length = static_cast<int>(static_cast<std::size_t>(prefixLength) + body);
                return result;
            }
        }
    }

private:
    static constexpr std::size_t kMaxEntries = kWorkSize;
    char work_[kWorkSize];
    std::uint16_t ends_[kMaxEntries];
    std::size_t used_ = 0;
    std::size_t entries_ = 0;
    bool full_ = false;
};

int tableIndexFor(std::string_view field) {
    for (int i = 0; i < kCommandTableSize; ++i) {
        const std::string_view name = kCommandTable[i];
        if (field.substr(0, name.size()) == name && field.size() >= name.size()) return i;
    }
    return -1;
}

} // namespace

std::string_view builtinText(std::string_view name) {
    struct Entry {
        const char* protocol;
        const char* text;
    };
    static constexpr Entry kTexts[] = {{"Pelco-D", kBuiltinPelcoD}, {"Pelco-P", kBuiltinPelcoP}};
    for (const CatalogueRow& row : kCatalogue) {
        for (const auto& slot : row.protocols) {
            for (const Entry& e : kTexts) {
                if (std::strcmp(slot, e.protocol) != 0) continue;
                const std::string_view vendor = row.name;
                if (name.size() > vendor.size() && name.substr(0, vendor.size()) == vendor &&
                    name[vendor.size()] == '_' && name.substr(vendor.size() + 1) == e.protocol) {
                    return e.text;
                }
            }
        }
    }
    return {};
}

const char* listSections(PTZContext& ctx, int* length) {
    thread_local Listing listing;
    listing.reset();
    int count = 0;
    for (const std::string& line : ctx.lines) {
        if (line.empty() || line.front() != '[') continue;
        std::string_view inner = std::string_view(line).substr(1);
        listing.add(inner.substr(0, inner.find(']')));
        ++count;
    }
    ctx.sectionCount = count;
    return listing.format(tEnumerateResult, length);
}

const char* listCommandNames(PTZContext& ctx, int* length) {
    ctx.nameCount = 0;
    for (const std::string& line : ctx.lines) {
        if (line.empty() || line.front() == '[') continue;
        const int index = tableIndexFor(std::string_view(line).substr(0, line.find(';')));
        if (index < 0) continue;
        bool listed = false;
        for (int i = 0; i < ctx.nameCount; ++i) listed = listed || ctx.nameList[i] == index;
        if (!listed) ctx.nameList[ctx.nameCount++] = static_cast<std::uint8_t>(index);
    }
    thread_local Listing listing;
    listing.reset();
    for (int i = 0; i < ctx.nameCount; ++i) listing.add(kCommandTable[ctx.nameList[i]]);
    return listing.format(tEnumerateResult, length);
}

const char* listCatalogue(int* length) {
    static constexpr char kText[] = "17,Tarn-A1,Tarn-A2,EyeView,Tarn-B1,Tarn-B2,Tarn-B3,Tarn-B4,Kampro,Messoa,Pelco,"
                                    "Samsung,TOA,Videotrec,DynaColor,Tarn-C1,Tarn-C2,Pixim";
    std::memcpy(tEnumerateResult, kText, sizeof kText);
    if (length) *length = static_cast<int>(sizeof kText - 1);
    return tEnumerateResult;
}

const char* listProtocols(const char* vendor, int* length) {
    if (vendor == nullptr) return nullptr;
    const std::string_view wanted(vendor);
    for (const CatalogueRow& row : kCatalogue) {
        const std::string_view name = row.name;
        if (name.substr(0, wanted.size()) != wanted || wanted.size() > name.size()) continue;
        Listing listing;
        for (const auto& slot : row.protocols) {
            if (slot[0] != '\0') listing.add(slot);
        }
        if (listing.entries() == 0) return nullptr;
        return listing.format(tProtocolResult, length);
    }
    return nullptr;
}

} // namespace tiltra
