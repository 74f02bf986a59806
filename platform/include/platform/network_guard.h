// Loopback-only mode: while it is on, sockets and HTTP requests of this
// process refuse every address outside 127.0.0.0/8 before anything is sent.
// Tests, demos and the screenshot command turn it on so that a camera record
// left at its defaults (a LAN address) can never be reached by accident.
//
// The mode lives in the process environment (TAVOLIN_LOOPBACK_ONLY=1), not in
// a variable of this static library, so that every module of the process
// (the program, the stream client, each plug-in) sees the same setting.
#pragma once

#include <string>

namespace platform {

// True while loopback-only mode is on.
bool loopbackOnly();

// Turns the mode on for the whole process. Call it at start-up, before any
// thread that connects is running.
void enableLoopbackOnly();

// True for dotted IPv4 text inside 127.0.0.0/8.
bool isLoopbackAddress(const std::string& host);

// True when the mode allows a connection to `host` (always when the mode is
// off). `host` must be dotted IPv4 text; names are refused under the mode
// because resolving them would already send packets.
bool mayConnectTo(const std::string& host);

// The explanation given when a connection is refused under the mode.
std::string loopbackRefusal(const std::string& host);

// A host checked before a library that opens its own sockets gets it.
struct GuardedHost {
    bool allowed = false;
    // What to hand the library: the host itself with the mode off, else the
    // dotted loopback address it stands for, so that the library does not
    // resolve the name again (and cannot be told another address).
    std::string address;
    std::string reason; // why it was refused
};

// Checks `host` (dotted IPv4, a bracketed or bare IPv6 literal, or a name)
// for a connection. With the mode off everything is allowed unchanged. Under
// the mode a name is looked up in the hosts file only (asking a name server
// would already send packets) and must stand for a loopback address; IPv6
// literals are refused.
GuardedHost guardHost(const std::string& host, const std::string& hostsFile = "/etc/hosts");

} // namespace platform
