#include "playback/clip_index.h"

#include "clip_reader.h"

#include <recorder/capture_names.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <condition_variable>
#include <ctime>
#include <filesystem>
#include <map>
#include <mutex>
#include <sys/stat.h>
#include <thread>

namespace playback {

namespace {

namespace fs = std::filesystem;

// "YYYY-MM-DD_HH-MM-SS.mmm", as recorder::captureTimeText writes it.
constexpr std::string_view kTimePattern = "dddd-dd-dd_dd-dd-dd.ddd";

bool matchesTimePattern(std::string_view text) {
    if (text.size() != kTimePattern.size()) return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const bool digit = text[i] >= '0' && text[i] <= '9';
        if (kTimePattern[i] == 'd' ? !digit : text[i] != kTimePattern[i]) return false;
    }
    return true;
}

int number(std::string_view text, std::size_t at, std::size_t count) {
    int value = 0;
    for (std::size_t i = at; i < at + count; ++i) value = value * 10 + (text[i] - '0');
    return value;
}

// Local time as the recorder wrote it, to ms since 1970 UTC.
std::optional<int64_t> localTimeMs(std::string_view text) {
    std::tm local{};
    local.tm_year = number(text, 0, 4) - 1900;
    local.tm_mon = number(text, 5, 2) - 1;
    local.tm_mday = number(text, 8, 2);
    local.tm_hour = number(text, 11, 2);
    local.tm_min = number(text, 14, 2);
    local.tm_sec = number(text, 17, 2);
    local.tm_isdst = -1;
    if (local.tm_mon > 11 || local.tm_mday < 1 || local.tm_mday > 31 || local.tm_hour > 23 || local.tm_min > 59 ||
        local.tm_sec > 60)
        return std::nullopt;
    const std::tm asked = local;
    const std::time_t seconds = std::mktime(&local);
    // mktime moves a day that does not exist (31 April) into the next month.
    if (seconds == static_cast<std::time_t>(-1) || local.tm_mday != asked.tm_mday) return std::nullopt;
    return static_cast<int64_t>(seconds) * 1000 + number(text, 20, 3);
}

bool isClipFile(const fs::path& path) {
    std::string extension = path.extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension == ".mkv";
}

int64_t modifiedMs(const struct stat& info) {
    return static_cast<int64_t>(info.st_mtim.tv_sec) * 1000 + info.st_mtim.tv_nsec / 1000000;
}

bool sameEntry(const ClipEntry& a, const ClipEntry& b) {
    return a.path == b.path && a.cameraName == b.cameraName && a.startMs == b.startMs && a.endMs == b.endMs;
}

} // namespace

std::optional<ClipName> parseClipName(std::string_view fileName) {
    if (const std::size_t slash = fileName.rfind('/'); slash != std::string_view::npos)
        fileName.remove_prefix(slash + 1);
    const std::size_t dot = fileName.rfind('.');
    if (dot == std::string_view::npos) return std::nullopt;
    std::string_view stem = fileName.substr(0, dot);
    // "-2", "-3", ... where the recorder found the name taken.
    if (const std::size_t dash = stem.rfind('-'); dash != std::string_view::npos && dash + 1 < stem.size() &&
                                                  stem.size() - dash <= 6 &&
                                                  std::all_of(stem.begin() + static_cast<std::ptrdiff_t>(dash) + 1,
                                                              stem.end(), [](char c) { return c >= '0' && c <= '9'; }))
        if (dash >= kTimePattern.size() &&
            matchesTimePattern(stem.substr(dash - kTimePattern.size(), kTimePattern.size())))
            stem = stem.substr(0, dash);
    if (stem.size() < kTimePattern.size() + 2) return std::nullopt;
    const std::string_view time = stem.substr(stem.size() - kTimePattern.size());
    const std::size_t underscore = stem.size() - kTimePattern.size() - 1;
    if (!matchesTimePattern(time) || stem[underscore] != '_') return std::nullopt;
    const std::optional<int64_t> startMs = localTimeMs(time);
    if (!startMs) return std::nullopt;
    return ClipName{std::string(stem.substr(0, underscore)), *startMs};
}

std::optional<ClipEntry> readClipEntry(const std::string& path) {
    std::string error;
    const std::unique_ptr<ClipReader> reader = ClipReader::open(path, error);
    if (!reader) return std::nullopt;
    const std::optional<ClipName> named = parseClipName(path);
    ClipEntry entry;
    entry.path = path;
    if (reader->writtenStartMs()) {
        entry.startMs = *reader->writtenStartMs();
    } else if (named) {
        entry.startMs = named->startMs;
    } else {
        return std::nullopt;
    }
    if (!reader->title().empty()) {
        entry.cameraName = recorder::cleanCameraName(reader->title());
    } else if (named) {
        entry.cameraName = named->cameraName;
    }
    if (reader->durationMs()) {
        entry.endMs = entry.startMs + *reader->durationMs();
    } else {
        // A clip still being written (or cut off) has no length yet: it
        // reaches as far as its last write.
        struct stat info {};
        entry.endMs = ::stat(path.c_str(), &info) == 0 ? std::max(entry.startMs, modifiedMs(info)) : entry.startMs;
    }
    return entry;
}

struct ClipIndex::Impl {
    struct Known {
        int64_t size = -1;
        int64_t modifiedMs = 0;
        std::optional<ClipEntry> entry;
    };

    ClipIndexSettings settings;
    Changed changed;

    mutable std::mutex mutex;
    std::condition_variable wake;
    bool quit = false;
    bool rescanAsked = false;
    bool ready = false;
    std::vector<ClipEntry> entries; // by start
    std::string problem;

    std::map<std::string, Known> known; // the thread's own
    std::thread thread;

    bool quitting() {
        std::lock_guard lock(mutex);
        return quit;
    }

    // One look at the folder; false when told to quit during it.
    bool look() {
        std::vector<ClipEntry> found;
        std::map<std::string, Known> seen;
        std::string why;
        std::error_code error;
        fs::recursive_directory_iterator it(settings.folder, fs::directory_options::skip_permission_denied, error);
        if (error) why = settings.folder + ": " + error.message();
        for (; !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
            if (quitting()) return false;
            const fs::path& path = it->path();
            struct stat info {};
            if (!isClipFile(path) || ::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) continue;
            Known k{static_cast<int64_t>(info.st_size), modifiedMs(info), std::nullopt};
            const auto before = known.find(path.string());
            if (before != known.end() && before->second.size == k.size && before->second.modifiedMs == k.modifiedMs)
                k.entry = before->second.entry;
            else
                k.entry = readClipEntry(path.string());
            if (k.entry) found.push_back(*k.entry);
            seen.emplace(path.string(), std::move(k));
        }
        known.swap(seen);
        std::sort(found.begin(), found.end(), [](const ClipEntry& a, const ClipEntry& b) {
            return a.startMs != b.startMs ? a.startMs < b.startMs : a.path < b.path;
        });
        bool isChange = false;
        {
            std::lock_guard lock(mutex);
            isChange = !ready || problem != why || found.size() != entries.size() ||
                       !std::equal(found.begin(), found.end(), entries.begin(), sameEntry);
            entries.swap(found);
            problem = why;
            ready = true;
        }
        if (isChange && changed) changed();
        return true;
    }

    void run() {
        for (;;) {
            if (!look()) return;
            std::unique_lock lock(mutex);
            wake.wait_for(lock, std::chrono::milliseconds(std::max(settings.rescanIntervalMs, 1)),
                          [this] { return quit || rescanAsked; });
            if (quit) return;
            rescanAsked = false;
        }
    }
};

ClipIndex::ClipIndex(ClipIndexSettings settings, Changed changed) : impl_(std::make_unique<Impl>()) {
    impl_->settings = std::move(settings);
    impl_->changed = std::move(changed);
    impl_->thread = std::thread([impl = impl_.get()] { impl->run(); });
}

ClipIndex::~ClipIndex() {
    {
        std::lock_guard lock(impl_->mutex);
        impl_->quit = true;
    }
    impl_->wake.notify_all();
    impl_->thread.join();
}

void ClipIndex::rescan() {
    {
        std::lock_guard lock(impl_->mutex);
        impl_->rescanAsked = true;
    }
    impl_->wake.notify_all();
}

std::vector<ClipEntry> ClipIndex::clips(std::string_view cameraName, int64_t fromMs, int64_t toMs) const {
    const std::string camera = recorder::cleanCameraName(cameraName);
    std::vector<ClipEntry> result;
    std::lock_guard lock(impl_->mutex);
    for (const ClipEntry& e : impl_->entries) {
        if (e.startMs > toMs) break;
        if (e.endMs >= fromMs && e.cameraName == camera) result.push_back(e);
    }
    return result;
}

std::vector<ClipEntry> ClipIndex::all() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->entries;
}

bool ClipIndex::ready() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->ready;
}

std::string ClipIndex::problem() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->problem;
}

} // namespace playback
