#include "transport_binding.h"

#include "platform/function_table.h"

#include <transport/streaming_types.h>

namespace ostrel {

std::string bindTransportTable(const platform::Module& module, int streamingType, TransportTable& table) {
    const char* missing = platform::bindFunctionTable(module, table, [&](transport::Need need) {
        return need != transport::Need::EngineOnly || transport::looksUpEngineEntries(streamingType);
    });
    return missing != nullptr ? missing : std::string();
}

} // namespace ostrel
