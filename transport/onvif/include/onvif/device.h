// One ONVIF camera as the client sees it: its clock offset, service
// addresses and the calls the plug-in needs. Every call is bounded by the
// settings' time-out (authentication fallback included) and ends at once
// after the transport's abort. Safe to use from several threads.
#pragma once

#include <atomic>
#include <ctime>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "onvif/envelope.h"
#include "onvif/replies.h"
#include "onvif/soap_transport.h"

namespace onvif {

struct DeviceSettings {
    std::string host; // the configured address; every address the camera hands back gets it
    int port = 80;
    std::string user;
    std::string password; // never written to any diagnostic
    int callTimeoutMs = 2000;
};

// The device service address for host and port (80 when 0).
std::string deviceServiceUrl(const std::string& host, int port);

// How a call ended: done; unanswered (refused connection, time-out, abort),
// which leaves the camera's state unknown; or refused by a camera that
// answered (a SOAP fault or an HTTP error), which for a subscription means
// the camera no longer has it.
enum class CallEnd { Done, Unanswered, Refused };

// A pull-point subscription as the camera granted it.
struct PullPoint {
    std::string address;    // with the configured host
    int grantedSeconds = 0; // to its termination time on the camera's clock; 0 when not told
};

struct Pulled {
    CallEnd end = CallEnd::Unanswered;
    std::vector<Notification> messages;
};

struct Renewed {
    CallEnd end = CallEnd::Unanswered;
    int grantedSeconds = 0; // as PullPoint's
};

class Device {
public:
    using UtcClock = std::function<std::time_t()>;

    Device(SoapTransport& transport, DeviceSettings settings, UtcClock utcNow = {});

    // Reads the camera's clock (unauthenticated) and its service addresses.
    bool connect();
    // Camera clock minus ours, in seconds, as the last connect measured it.
    long long clockOffsetSeconds() const { return offset_.load(); }
    // Service addresses with the configured host in them.
    ServiceAddresses services() const;
    // True once a camera refused the token and took HTTP digest instead.
    bool usesHttpDigest() const { return digestMode_.load(); }

    std::optional<std::vector<Profile>> profiles();
    // The RTSP address of a profile's unicast stream, with the configured host.
    std::optional<std::string> streamUri(const std::string& profileToken);
    bool setSynchronizationPoint(const std::string& profileToken);
    // The HTTP address of a profile's JPEG snapshot, with the configured
    // host; nothing when the camera offers none.
    std::optional<std::string> snapshotUri(const std::string& profileToken);

    // Velocities in -1..1.
    bool continuousMove(const std::string& profileToken, double pan, double tilt, double zoom);
    bool stop(const std::string& profileToken, bool panTilt, bool zoom);
    // Pointing: what the PTZ node offers, a relative move (pan and tilt in
    // the field-of-view space when `fov`, else in the generic one; zoom in
    // `zoomSpace` when not empty, else the generic one; a zoom of 0, or 1 in
    // a field-of-view space, is left out), an absolute move in the generic
    // position spaces, and the position now.
    std::optional<PtzSpaces> ptzSpaces();
    bool relativeMove(const std::string& profileToken, bool fov, double pan, double tilt, double zoom,
                      const std::string& zoomSpace);
    bool absoluteMove(const std::string& profileToken, double pan, double tilt, double zoom);
    std::optional<PtzStatus> ptzStatus(const std::string& profileToken);
    // Presets are found by name ("Tavolin N"), so a preset set in an earlier
    // session is found again.
    bool setPreset(const std::string& profileToken, int number);
    bool gotoPreset(const std::string& profileToken, int number);

    // Sets the first relay output.
    bool setRelay(bool active);

    // The camera's audio outputs (speakers that take the back channel).
    std::optional<std::vector<std::string>> audioOutputs();

    // Event subscription, asked for kSubscriptionSeconds.
    std::optional<PullPoint> createPullPoint();
    // The camera may hold the pull up to waitSeconds; the call ends within
    // the call time-out or one second after waitSeconds, whichever is later,
    // or once `cancel` is pulled.
    Pulled pullMessages(const std::string& subscription, int waitSeconds, const CallCancel* cancel = nullptr);
    Renewed renew(const std::string& subscription);
    // Ends within timeoutMs (the call time-out when 0).
    bool unsubscribe(const std::string& subscription, int timeoutMs = 0);
    static constexpr int kSubscriptionSeconds = 60;

    // Why the last failed call failed (never holds the password).
    std::string lastError() const;

    // Fills the operation element of a request.
    using Fill = std::function<void(Request&)>;
    // One call of a service the other classes build on (the recordings'
    // search and replay): the reply, or nothing when the camera refused or
    // did not answer (lastError() says why). Authentication as every call;
    // within timeoutMs (the call time-out when 0), or until `cancel` is
    // pulled.
    std::optional<std::string> request(const std::string& url, Service service, const char* operation, Fill fill,
                                       int timeoutMs = 0, const CallCancel* cancel = nullptr);
    // An address the camera handed out with the configured host in it;
    // empty when it is no URL.
    std::string withConfiguredHost(const std::string& address) const { return rewritten(address); }
    int callTimeoutMs() const { return settings_.callTimeoutMs; }
    // Records why a call built on request() failed, as lastError() tells.
    void fail(const std::string& why) const;

private:
    struct Operation {
        Operation(const std::string& u, Service s, const char* n, Fill f = {}, std::string a = {})
            : url(u), service(s), name(n), fill(std::move(f)), action(std::move(a)) {}
        const std::string& url;
        Service service;
        const char* name;
        Fill fill;
        std::string action; // addressing headers when not empty
        int timeoutMs = 0;  // the settings' call time-out when 0
        const CallCancel* cancel = nullptr;
        CallEnd* end = nullptr; // told how the call ended when not null
    };
    std::optional<std::string> call(const Operation& op);
    std::optional<std::string> post(const Operation& op, bool token, const HttpDigest* digest, int timeoutMs,
                                    bool* authRefused);
    // Seconds from the reply's current time (the camera's clock as we know
    // it when the reply has none) to its termination time; 0 when unknown.
    int grantedSeconds(const std::string& reply) const;
    std::optional<std::string> presetToken(const std::string& profileToken, int number);
    std::string rewritten(const std::string& address) const;

    SoapTransport& transport_;
    const DeviceSettings settings_;
    UtcClock utcNow_;
    std::atomic<long long> offset_{0};
    std::atomic<bool> digestMode_{false};
    std::atomic<bool> authRefused_{false}; // neither the token nor HTTP digest was taken
    mutable std::mutex mutex_;
    ServiceAddresses services_;
    std::string relayToken_;
    mutable std::string lastError_;
};

// The name a preset number is stored under.
std::string presetName(int number);

} // namespace onvif
