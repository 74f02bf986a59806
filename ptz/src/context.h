// The PTZ context behind a PTZ handle.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "tiltra/ptz.h"

namespace tiltra {

inline constexpr int kMaxRuleTerms = 128;

enum class OperandKind : std::uint8_t { ByteRef, Constant, End };

struct Operand {
    OperandKind kind = OperandKind::End;
    std::int64_t value = 0; // byte index (0-based) or constant
};

// How the check byte is computed: dest = op0 <operator1> op1 <operator2> ...
struct ChecksumRule {
    bool on = false;
    int destination = -1; // 0-based
    int operandCount = 0;
    int operatorCount = 0;
    std::array<Operand, kMaxRuleTerms> operands{};
    std::array<std::uint8_t, kMaxRuleTerms> operators{}; // 0 ^, 1 |, 2 &, 3 +, 4 -, 5 =
};

enum class ProtocolKind { Generic, Kalatel };

struct Attributes {
    int addrIdStart = 0;
    int addrIdPos = 0;
    int interval = 0;
    int mousePtz = 0;
    char panel[128] = {};
    ChecksumRule checksum;
    ProtocolKind kind = ProtocolKind::Generic;
};

inline constexpr int kCommandTableSize = 34;

} // namespace tiltra

struct PTZContext {
    int addressId = 0;
    int commandAddress = 1;
    int outputMode = 0;
    char protocolName[512] = {};
    char cameraIp[20] = {};
    char userName[16] = {};
    char password[16] = {};
    std::vector<std::string> lines;
    tiltra::Attributes attributes;
    char lastCommand[24] = {};
    unsigned char output[64] = {};
    int outputCount = 0;
    char hexText[192] = {};
    char urlText[1024] = {};
    int serverHandle = 0;
    int sectionCount = 0;
    std::array<std::uint8_t, tiltra::kCommandTableSize> nameList{}; // command table indices
    int nameCount = 0;
};
