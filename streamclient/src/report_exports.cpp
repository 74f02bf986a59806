// Exports that tell the caller about a handle's stream beyond the callbacks.
#include <cstring>

#include "interface_object.h"
#include "platform/printable_text.h"

extern "C" {

OSTREL_API int32_t M_KGetLastReason(OstrelInterface* handle, char* buffer, int32_t size) {
    if (handle == nullptr || buffer == nullptr || size <= 0) return 0;
    try {
        const std::string reason = handle->report.reasons.last();
        const std::size_t length = platform::utf8PrefixLength(reason, static_cast<std::size_t>(size) - 1);
        std::memcpy(buffer, reason.data(), length);
        buffer[length] = '\0';
        return static_cast<int32_t>(length);
    } catch (...) { // no memory for the copy
        buffer[0] = '\0';
        return 0;
    }
}

OSTREL_API int32_t M_KGetStreamSize(OstrelInterface* handle, int32_t* width, int32_t* height) {
    if (handle == nullptr) return 0;
    const ostrel::PictureSize size = handle->report.streamSize();
    if (width != nullptr) *width = size.width;
    if (height != nullptr) *height = size.height;
    return size.width > 0 && size.height > 0 ? 1 : 0;
}

} // extern "C"
