#include "ptz_service.h"

#include <cmath>
#include <cstdlib>

namespace camsim::onvif {

namespace {

constexpr int kHeadFullSpeed = 0x3F;
constexpr char kPanTiltPositionSpace[] = "http://www.onvif.org/ver10/tptz/PanTiltSpaces/PositionGenericSpace";
constexpr char kZoomPositionSpace[] = "http://www.onvif.org/ver10/tptz/ZoomSpaces/PositionGenericSpace";
constexpr char kPanTiltTranslationSpace[] = "http://www.onvif.org/ver10/tptz/PanTiltSpaces/TranslationGenericSpace";
constexpr char kZoomTranslationSpace[] = "http://www.onvif.org/ver10/tptz/ZoomSpaces/TranslationGenericSpace";
constexpr char kPanTiltFovSpace[] = "http://www.onvif.org/ver10/tptz/PanTiltSpaces/TranslationSpaceFov";
constexpr char kZoomFovSpace[] = "http://www.onvif.org/ver10/tptz/ZoomSpaces/TranslationSpaceFov";

// A number attribute within [low, high]; a SOAP Fault for anything else,
// `fallback` when it is missing.
double number(const pugi::xml_node& vector, const char* name, double low, double high, double fallback) {
    const pugi::xml_attribute a = vector.attribute(name);
    if (!a) return fallback;
    char* end = nullptr;
    const double v = std::strtod(a.value(), &end);
    if (end == a.value() || *end != '\0' || !std::isfinite(v)) {
        invalidArgument("ter:InvalidArgVal", std::string(name) + " is not a number");
    }
    if (v < low || v > high) invalidArgument("ter:InvalidArgVal", std::string(name) + " is out of range");
    return v;
}

// The space a vector names; the generic one when it names none.
std::string spaceOf(const pugi::xml_node& vector, const char* generic) {
    const std::string space = vector.attribute("space").value();
    return space.empty() ? generic : space;
}

void spaceDescription(pugi::xml_node spaces, const char* kind, const char* uri, double low, double high, bool twoAxes) {
    pugi::xml_node s = add(spaces, kind);
    add(s, "tt:URI", uri);
    for (const char* axis : {"tt:XRange", "tt:YRange"}) {
        if (!twoAxes && std::string(axis) == "tt:YRange") break;
        pugi::xml_node r = add(s, axis);
        add(r, "tt:Min", std::to_string(low));
        add(r, "tt:Max", std::to_string(high));
    }
}

[[noreturn]] void notOffered(const std::string& what) {
    throw SoapError{"SOAP-ENV:Receiver", "ter:ActionNotSupported", what + " is not supported by this camera"};
}

// A velocity attribute, -1 to 1; a SOAP Fault for anything else.
double velocity(const pugi::xml_node& vector, const char* name) {
    const pugi::xml_attribute a = vector.attribute(name);
    if (!a) return 0;
    char* end = nullptr;
    const double v = std::strtod(a.value(), &end);
    if (end == a.value() || *end != '\0' || !std::isfinite(v)) {
        invalidArgument("ter:InvalidArgVal", std::string(name) + " is not a number");
    }
    if (v < -1.0 || v > 1.0) invalidArgument("ter:InvalidVelocity", std::string(name) + " outside -1 to 1");
    return v;
}

int sign(double v) { return v > 0 ? 1 : (v < 0 ? -1 : 0); }

int headSpeed(double v) {
    if (v == 0) return 0;
    return std::max(1, static_cast<int>(std::lround(std::fabs(v) * kHeadFullSpeed)));
}

// The head's movement now, as a command that would keep it going.
PtzCommand currentMove(const HeadState& s) {
    PtzCommand c;
    c.pan = s.pan;
    c.tilt = s.tilt;
    c.panSpeed = s.panSpeed;
    c.tiltSpeed = s.tiltSpeed;
    c.zoom = s.zoom;
    return c;
}

int presetSlot(const std::string& token) {
    if (token.size() != 1 || token[0] < '1' || token[0] > '0' + kPresetCount) {
        invalidArgument("ter:NoToken", "no preset \"" + token + "\"");
    }
    return token[0] - '0';
}

// The slot of the request's PresetToken; a SOAP Fault unless a preset is
// stored there.
int storedPreset(const SoapRequest& request, const CameraHead& head) {
    const int slot = presetSlot(childText(request.operation, "PresetToken"));
    if (!head.state().presets[static_cast<std::size_t>(slot - 1)]) {
        invalidArgument("ter:NoToken", "preset " + std::to_string(slot) + " is not set");
    }
    return slot;
}

void position(pugi::xml_node parent, const HeadPosition& p) {
    // Pan and tilt -1 to 1 over the head's travel (tilt up positive), zoom
    // 0 (wide) to 1 (tele).
    pugi::xml_node pt = add(parent, "tt:PanTilt");
    pt.append_attribute("x") = p.pan;
    pt.append_attribute("y") = p.tilt;
    pt.append_attribute("space") = kPanTiltPositionSpace;
    pugi::xml_node z = add(parent, "tt:Zoom");
    z.append_attribute("x") = p.zoom;
    z.append_attribute("space") = kZoomPositionSpace;
}

// A preset's window as a position, the way the head reports one.
HeadPosition positionOf(const ViewWindow& w) {
    return {(w.x - 0.5) * 2.0, (0.5 - w.y) * 2.0, (w.zoom - kMinZoom) / (kMaxZoom - kMinZoom)};
}

} // namespace

void PtzService::answer(const SoapRequest& request, const ServiceContext& c, SoapReply& reply) {
    const std::string& op = request.operationName;
    if (op != "GetNodes") c.profileIndex(childText(request.operation, "ProfileToken"));
    if (op == "ContinuousMove") {
        continuousMove(request, c);
        add(reply.body(), "tptz:ContinuousMoveResponse");
    } else if (op == "Stop") {
        stop(request, c);
        add(reply.body(), "tptz:StopResponse");
    } else if (op == "RelativeMove") {
        relativeMove(request, c);
        add(reply.body(), "tptz:RelativeMoveResponse");
    } else if (op == "AbsoluteMove") {
        absoluteMove(request, c);
        add(reply.body(), "tptz:AbsoluteMoveResponse");
    } else if (op == "SetPreset") {
        setPreset(request, c, reply);
    } else if (op == "GotoPreset") {
        const int slot = storedPreset(request, c.head);
        PtzCommand go;
        go.kind = PtzCommand::Kind::PresetGo;
        go.preset = slot;
        c.head.apply(go);
        std::lock_guard lock(mutex_);
        moveUntilMs_ = -1;
        add(reply.body(), "tptz:GotoPresetResponse");
    } else if (op == "RemovePreset") {
        const int slot = storedPreset(request, c.head);
        PtzCommand clear;
        clear.kind = PtzCommand::Kind::PresetClear;
        clear.preset = slot;
        c.head.apply(clear);
        std::lock_guard lock(mutex_);
        names_[static_cast<std::size_t>(slot - 1)].clear();
        add(reply.body(), "tptz:RemovePresetResponse");
    } else if (op == "GetPresets") {
        presets(c, reply);
    } else if (op == "GetStatus") {
        const HeadState s = c.head.state();
        pugi::xml_node st = add(add(reply.body(), "tptz:GetStatusResponse"), "tptz:PTZStatus");
        position(add(st, "tt:Position"), c.head.position());
        pugi::xml_node move = add(st, "tt:MoveStatus");
        add(move, "tt:PanTilt", s.pan != 0 || s.tilt != 0 || s.goingTo ? "MOVING" : "IDLE");
        add(move, "tt:Zoom", s.zoom != 0 || s.goingTo ? "MOVING" : "IDLE");
        add(st, "tt:UtcTime", isoTime(c.nowSeconds));
    } else if (op == "GetNodes") {
        pugi::xml_node n = add(add(reply.body(), "tptz:GetNodesResponse"), "tptz:PTZNode");
        n.append_attribute("token") = "ptz_node_1";
        n.append_attribute("FixedHomePosition") = "false";
        add(n, "tt:Name", "PTZ");
        pugi::xml_node spaces = add(n, "tt:SupportedPTZSpaces");
        const OnvifPtzSpaces kind = c.options.ptzSpaces;
        if (kind != OnvifPtzSpaces::ContinuousOnly) {
            spaceDescription(spaces, "tt:AbsolutePanTiltPositionSpace", kPanTiltPositionSpace, -1, 1, true);
            spaceDescription(spaces, "tt:AbsoluteZoomPositionSpace", kZoomPositionSpace, 0, 1, false);
            spaceDescription(spaces, "tt:RelativePanTiltTranslationSpace", kPanTiltTranslationSpace, -1, 1, true);
            if (kind == OnvifPtzSpaces::FieldOfView)
                spaceDescription(spaces, "tt:RelativePanTiltTranslationSpace", kPanTiltFovSpace, -1, 1, true);
            spaceDescription(spaces, "tt:RelativeZoomTranslationSpace", kZoomTranslationSpace, -1, 1, false);
            if (kind == OnvifPtzSpaces::FieldOfView)
                spaceDescription(spaces, "tt:RelativeZoomTranslationSpace", kZoomFovSpace, 0, 8, false);
        }
        pugi::xml_node pt = add(spaces, "tt:ContinuousPanTiltVelocitySpace");
        add(pt, "tt:URI", "http://www.onvif.org/ver10/tptz/PanTiltSpaces/VelocityGenericSpace");
        for (const char* axis : {"tt:XRange", "tt:YRange"}) {
            pugi::xml_node r = add(pt, axis);
            add(r, "tt:Min", "-1");
            add(r, "tt:Max", "1");
        }
        pugi::xml_node z = add(spaces, "tt:ContinuousZoomVelocitySpace");
        add(z, "tt:URI", "http://www.onvif.org/ver10/tptz/ZoomSpaces/VelocityGenericSpace");
        pugi::xml_node zr = add(z, "tt:XRange");
        add(zr, "tt:Min", "-1");
        add(zr, "tt:Max", "1");
        add(n, "tt:MaximumNumberOfPresets", std::to_string(kPresetCount));
        add(n, "tt:HomeSupported", "false");
    } else {
        throw SoapError{"SOAP-ENV:Receiver", "ter:ActionNotSupported", op + " is not supported"};
    }
}

void PtzService::continuousMove(const SoapRequest& request, const ServiceContext& c) {
    const pugi::xml_node v = child(request.operation, "Velocity");
    if (!v) invalidArgument("ter:InvalidArgVal", "no Velocity");
    const pugi::xml_node panTilt = child(v, "PanTilt");
    const pugi::xml_node zoom = child(v, "Zoom");
    int64_t timeoutMs = -1;
    if (const std::string t = childText(request.operation, "Timeout"); !t.empty() && !parseDuration(t, timeoutMs)) {
        invalidArgument("ter:InvalidArgVal", "Timeout is not a duration");
    }
    // A vector left out leaves that movement as it is.
    PtzCommand move = currentMove(c.head.state());
    if (panTilt) {
        const double x = velocity(panTilt, "x"), y = velocity(panTilt, "y");
        move.pan = sign(x);
        move.panSpeed = headSpeed(x);
        move.tilt = -sign(y); // the head tilts down for positive values
        move.tiltSpeed = headSpeed(y);
    }
    if (zoom) move.zoom = sign(velocity(zoom, "x"));
    c.head.apply(move);
    std::lock_guard lock(mutex_);
    moveUntilMs_ = timeoutMs >= 0 ? c.head.nowMs() + timeoutMs : -1;
}

void PtzService::relativeMove(const SoapRequest& request, const ServiceContext& c) {
    const OnvifPtzSpaces kind = c.options.ptzSpaces;
    if (kind == OnvifPtzSpaces::ContinuousOnly) notOffered("RelativeMove");
    const pugi::xml_node t = child(request.operation, "Translation");
    if (!t) invalidArgument("ter:InvalidArgVal", "no Translation");
    const pugi::xml_node panTilt = child(t, "PanTilt");
    const pugi::xml_node zoom = child(t, "Zoom");
    const std::string panTiltSpace = spaceOf(panTilt, kPanTiltTranslationSpace);
    const std::string zoomSpace = spaceOf(zoom, kZoomTranslationSpace);
    const bool fov = panTiltSpace == kPanTiltFovSpace;
    const bool fovZoom = zoomSpace == kZoomFovSpace;
    if ((fov || fovZoom) && kind != OnvifPtzSpaces::FieldOfView) notOffered("the field-of-view space");
    if ((!fov && panTiltSpace != kPanTiltTranslationSpace) || (!fovZoom && zoomSpace != kZoomTranslationSpace))
        invalidArgument("ter:InvalidArgVal", "a translation space the camera does not know");
    const double x = number(panTilt, "x", -1, 1, 0);
    const double y = number(panTilt, "y", -1, 1, 0);
    const double genericZoom = fovZoom ? 0.0 : number(zoom, "x", -1, 1, 0);
    const double ratio = fovZoom ? number(zoom, "x", 0.01, 8, 1) : 1.0;
    if (fov) {
        c.head.moveByFieldOfView(x, y, ratio);
        if (genericZoom != 0.0) c.head.moveByGeneric(0, 0, genericZoom);
    } else {
        c.head.moveByGeneric(x, y, genericZoom);
        if (ratio != 1.0) c.head.moveByFieldOfView(0, 0, ratio);
    }
    std::lock_guard lock(mutex_);
    moveUntilMs_ = -1;
}

void PtzService::absoluteMove(const SoapRequest& request, const ServiceContext& c) {
    if (c.options.ptzSpaces == OnvifPtzSpaces::ContinuousOnly) notOffered("AbsoluteMove");
    const pugi::xml_node p = child(request.operation, "Position");
    if (!p) invalidArgument("ter:InvalidArgVal", "no Position");
    const pugi::xml_node panTilt = child(p, "PanTilt");
    const pugi::xml_node zoom = child(p, "Zoom");
    if (spaceOf(panTilt, kPanTiltPositionSpace) != kPanTiltPositionSpace ||
        spaceOf(zoom, kZoomPositionSpace) != kZoomPositionSpace)
        invalidArgument("ter:InvalidArgVal", "a position space the camera does not know");
    const HeadPosition now = c.head.position();
    c.head.moveToPosition({number(panTilt, "x", -1, 1, now.pan), number(panTilt, "y", -1, 1, now.tilt),
                           number(zoom, "x", 0, 1, now.zoom)});
    std::lock_guard lock(mutex_);
    moveUntilMs_ = -1;
}

void PtzService::stop(const SoapRequest& request, const ServiceContext& c) {
    const std::string panTilt = childText(request.operation, "PanTilt");
    const std::string zoom = childText(request.operation, "Zoom");
    PtzCommand move = currentMove(c.head.state());
    if (panTilt != "false") {
        move.pan = move.tilt = 0;
        move.panSpeed = move.tiltSpeed = 0;
    }
    if (zoom != "false") move.zoom = 0;
    c.head.apply(move);
    std::lock_guard lock(mutex_);
    moveUntilMs_ = -1;
}

void PtzService::setPreset(const SoapRequest& request, const ServiceContext& c, SoapReply& reply) {
    const std::string token = childText(request.operation, "PresetToken");
    std::string name = childText(request.operation, "PresetName");
    const HeadState s = c.head.state();
    int slot = 0;
    {
        std::lock_guard lock(mutex_);
        if (!token.empty()) {
            slot = presetSlot(token);
        } else {
            for (int i = 1; i <= kPresetCount && slot == 0; ++i) {
                if (!s.presets[static_cast<std::size_t>(i - 1)]) slot = i;
            }
            if (slot == 0) throw SoapError{"SOAP-ENV:Receiver", "ter:TooManyPresets", "every preset is set"};
        }
        for (int i = 1; i <= kPresetCount; ++i) {
            const auto& other = names_[static_cast<std::size_t>(i - 1)];
            if (i != slot && !name.empty() && other == name && s.presets[static_cast<std::size_t>(i - 1)]) {
                invalidArgument("ter:PresetExist", "a preset named \"" + name + "\" exists");
            }
        }
        if (name.empty()) name = "Preset " + std::to_string(slot);
        names_[static_cast<std::size_t>(slot - 1)] = name;
    }
    PtzCommand set;
    set.kind = PtzCommand::Kind::PresetSet;
    set.preset = slot;
    c.head.apply(set);
    add(add(reply.body(), "tptz:SetPresetResponse"), "tptz:PresetToken", std::to_string(slot));
}

void PtzService::presets(const ServiceContext& c, SoapReply& reply) const {
    const HeadState s = c.head.state();
    const std::vector<std::string> names = presetNames(c.head);
    pugi::xml_node r = add(reply.body(), "tptz:GetPresetsResponse");
    for (int i = 1; i <= kPresetCount; ++i) {
        const auto& window = s.presets[static_cast<std::size_t>(i - 1)];
        if (!window) continue;
        pugi::xml_node p = add(r, "tptz:Preset");
        p.append_attribute("token") = std::to_string(i).c_str();
        add(p, "tt:Name", names[static_cast<std::size_t>(i - 1)]);
        position(add(p, "tt:PTZPosition"), positionOf(*window));
    }
}

std::vector<std::string> PtzService::presetNames(const CameraHead& head) const {
    const HeadState s = head.state();
    std::lock_guard lock(mutex_);
    std::vector<std::string> out(kPresetCount);
    for (std::size_t i = 0; i < out.size(); ++i) {
        // A preset stored over the serial line has no name of its own.
        if (s.presets[i]) out[i] = names_[i].empty() ? "Preset " + std::to_string(i + 1) : names_[i];
    }
    return out;
}

void PtzService::stopExpiredMove(CameraHead& head) {
    {
        std::lock_guard lock(mutex_);
        if (moveUntilMs_ < 0 || head.nowMs() < moveUntilMs_) return;
        moveUntilMs_ = -1;
    }
    PtzCommand move = currentMove(head.state());
    move.pan = move.tilt = move.zoom = 0;
    move.panSpeed = move.tiltSpeed = 0;
    head.apply(move);
}

} // namespace camsim::onvif
