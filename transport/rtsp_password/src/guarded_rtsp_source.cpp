#include "rtsp_password/guarded_rtsp_source.h"

#include "rtsp_password/rtsp_challenges.h"

#include <gst/gst.h>
#include <gst/rtsp/gstrtspextension.h>

#include <mutex>

namespace rtsp_password {

namespace {

// The extension element: GStreamer's RTSP source makes one of each
// registered extension when it is made itself, on the same thread.
struct GuardElement {
    GstElement parent;
    std::shared_ptr<SourceGuard>* guard; // null for a source made elsewhere
};

struct GuardElementClass {
    GstElementClass parent;
};

constexpr const char* kElementName = "tavolinpasswordguard";

// The guard of the source being made on this thread, for the extension's
// instance to take.
thread_local std::shared_ptr<SourceGuard>* tPending = nullptr;

GObjectClass* gParentClass = nullptr;

GstRTSPResult afterSend(GstRTSPExtension* extension, GstRTSPMessage*, GstRTSPMessage* response) {
    auto* self = reinterpret_cast<GuardElement*>(extension);
    SourceGuard* guard = self->guard != nullptr ? self->guard->get() : nullptr;
    // Only the ONVIF paths use GStreamer's RTSP source: one made elsewhere
    // gets the strict rule.
    const Authentication policy = guard != nullptr ? guard->policy() : Authentication::DigestOnly;
    if (response != nullptr && keepAnswerableChallenges(policy, response) == Answer::Refuse && guard != nullptr)
        guard->noteBasicRefused();
    return GST_RTSP_OK;
}

void interfaceInit(gpointer iface, gpointer) { static_cast<GstRTSPExtensionInterface*>(iface)->after_send = afterSend; }

void finalize(GObject* object) {
    auto* self = reinterpret_cast<GuardElement*>(object);
    delete self->guard;
    self->guard = nullptr;
    gParentClass->finalize(object);
}

void classInit(gpointer klass, gpointer) {
    gParentClass = static_cast<GObjectClass*>(g_type_class_peek_parent(klass));
    static_cast<GObjectClass*>(klass)->finalize = finalize;
    gst_element_class_set_static_metadata(static_cast<GstElementClass*>(klass), "Password guard",
                                          "Network/Extension/Protocol",
                                          "Keeps challenges the password rule refuses from the RTSP source", "Tavolin");
}

void instanceInit(GTypeInstance* instance, gpointer) {
    auto* self = reinterpret_cast<GuardElement*>(instance);
    self->guard = nullptr;
    if (tPending == nullptr) return;
    self->guard = new std::shared_ptr<SourceGuard>(*tPending);
    (*tPending)->noteAttached();
}

GType guardElementType() {
    static const GType type = [] {
        const GTypeInfo info = {sizeof(GuardElementClass), nullptr, nullptr,      classInit, nullptr, nullptr,
                                sizeof(GuardElement),      0,       instanceInit, nullptr};
        const GType t = g_type_register_static(GST_TYPE_ELEMENT, "TavolinPasswordGuard", &info, GTypeFlags(0));
        const GInterfaceInfo extension = {interfaceInit, nullptr, nullptr};
        g_type_add_interface_static(t, GST_TYPE_RTSP_EXTENSION, &extension);
        return t;
    }();
    return type;
}

// GStreamer's RTSP plug-in lists the extensions once, when it is loaded:
// the guard is registered before the first source is made.
bool registerGuard() {
    static const bool registered = gst_element_register(nullptr, kElementName, GST_RANK_MARGINAL, guardElementType());
    return registered;
}

} // namespace

GuardedSource makeGuardedRtspSource(Authentication policy) {
    GuardedSource made;
    GError* initError = nullptr;
    if (!gst_init_check(nullptr, nullptr, &initError)) {
        made.error = std::string("GStreamer does not start: ") + (initError != nullptr ? initError->message : "?");
        if (initError != nullptr) g_error_free(initError);
        return made;
    }
    if (!registerGuard()) {
        made.error = "the password guard could not be registered with GStreamer";
        return made;
    }
    auto guard = std::make_shared<SourceGuard>(policy);
    tPending = &guard;
    GstElement* source = gst_element_factory_make("rtspsrc", nullptr);
    tPending = nullptr;
    if (source == nullptr) {
        made.error = "GStreamer's RTSP source is missing (install gstreamer1.0-plugins-good)";
        return made;
    }
    if (!guard->attached()) {
        gst_object_unref(gst_object_ref_sink(source));
        made.error =
            "GStreamer's RTSP plug-in was loaded before the password guard, so the password is not given to it";
        return made;
    }
    made.element = source;
    made.guard = std::move(guard);
    return made;
}

} // namespace rtsp_password
