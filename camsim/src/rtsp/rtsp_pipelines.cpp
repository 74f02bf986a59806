#include "rtsp_pipelines.h"

#include <gst/gst.h>

#include <algorithm>
#include <string>

namespace camsim::rtsp {

namespace {

// The largest picture a JPEG payload header can describe (width/8 and
// height/8 in one byte each).
constexpr int kJpegPayloadMaxSide = 2040;

std::string payloader(RtspCodec codec) {
    const std::string name = std::string(" name=") + kVideoPayloaderName;
    switch (codec) {
    case RtspCodec::H264:
        // Parameter sets in front of every key picture, as cameras send them.
        return "rtph264pay" + name + " pt=96 config-interval=-1";
    case RtspCodec::H265: return "rtph265pay" + name + " pt=96 config-interval=-1";
    case RtspCodec::Mjpeg: return "rtpjpegpay" + name + " pt=26";
    }
    return {};
}

std::string parser(RtspCodec codec) {
    switch (codec) {
    case RtspCodec::H264: return "h264parse ! ";
    case RtspCodec::H265: return "h265parse ! ";
    case RtspCodec::Mjpeg: return "";
    }
    return {};
}

std::string size(const RtspOptions& o) {
    return ",width=" + std::to_string(o.width) + ",height=" + std::to_string(o.height) +
           ",framerate=" + std::to_string(o.frameRate) + "/1";
}

// A live source: a client's pipeline starts at PLAY without prerolling (a
// prerolled first picture would be lost to the client), and every buffer
// carries the pipeline's running time when it is pushed.
std::string appSource(const char* name, const std::string& caps) {
    return std::string("appsrc name=") + name +
           " is-live=true do-timestamp=true format=time stream-type=stream caps=\"" + caps + "\"";
}

} // namespace

int keyFrameInterval(const RtspOptions& options) {
    return options.keyFrameInterval > 0 ? options.keyFrameInterval : std::max(1, options.frameRate);
}

std::string rawVideoCaps(const RtspOptions& options) {
    return "video/x-raw,format=I420,colorimetry=bt601" + size(options);
}

std::string rawAudioCaps() { return "audio/x-raw,format=S16LE,layout=interleaved,rate=8000,channels=1"; }

std::string encodedVideoCaps(const RtspOptions& options, RtspCodec codec) {
    switch (codec) {
    case RtspCodec::H264: return "video/x-h264,stream-format=byte-stream,alignment=au" + size(options);
    case RtspCodec::H265: return "video/x-h265,stream-format=byte-stream,alignment=au" + size(options);
    case RtspCodec::Mjpeg: return "image/jpeg" + size(options);
    }
    return {};
}

std::string encoderDescription(const RtspOptions& options, RtspCodec codec) {
    // A camera on its own schedule forces its key pictures; the encoder's
    // own limit stays out of the way.
    const std::string gop = std::to_string(keyFrameInterval(options) * (options.keyPictureOnPlay ? 1 : 2));
    const std::string kbps = std::to_string(options.bitRateKbps);
    switch (codec) {
    case RtspCodec::H264:
        return "x264enc name=encoder tune=zerolatency speed-preset=ultrafast bframes=0 sliced-threads=false threads=1 "
               "bitrate=" +
               kbps + " key-int-max=" + gop + " ! video/x-h264,stream-format=byte-stream,alignment=au";
    case RtspCodec::H265:
        return "x265enc name=encoder tune=zerolatency speed-preset=ultrafast log-level=error bitrate=" + kbps +
               " key-int-max=" + gop + " ! video/x-h265,stream-format=byte-stream,alignment=au";
    case RtspCodec::Mjpeg:
        // JPEG pictures are full range (every decoder reads them so) while
        // the scene is drawn in studio range. The range changes only by way
        // of RGB; 4:2:0 is what the RTP payload format carries.
        return "videoconvert ! video/x-raw,format=RGB ! videoconvert ! video/x-raw,format=I420,colorimetry=1:4:0:0 ! "
               "jpegenc name=encoder quality=" +
               std::to_string(options.jpegQuality) + " ! image/jpeg";
    }
    return {};
}

std::string mediaDescription(const RtspOptions& options, RtspCodec codec, bool preEncoded) {
    std::string d = "( ";
    if (preEncoded) {
        d += appSource(kVideoSourceName, encodedVideoCaps(options, codec)) + " ! " + parser(codec);
    } else {
        d += appSource(kVideoSourceName, rawVideoCaps(options)) + " ! " + encoderDescription(options, codec) + " ! ";
    }
    d += payloader(codec);
    if (options.audio) {
        d += " " + appSource(kAudioSourceName, rawAudioCaps()) + " ! mulawenc ! rtppcmupay name=pay1 pt=0";
    }
    return d + " )";
}

bool checkOptions(const RtspOptions& o, std::string& error) {
    if (o.width < 16 || o.width > 3840 || o.height < 16 || o.height > 2160 || o.width % 8 != 0 || o.height % 8 != 0) {
        error = "picture size must be 16x16 to 3840x2160 in steps of 8";
    } else if (o.frameRate < 1 || o.frameRate > 60) {
        error = "frame rate must be 1 to 60";
    } else if (o.bitRateKbps < 16 || o.bitRateKbps > 100000) {
        error = "bit rate must be 16 to 100000 kbit/s";
    } else if (o.keyFrameInterval < 0 || o.jpegQuality < 1 || o.jpegQuality > 100) {
        error = "key-frame interval must be positive and JPEG quality 1 to 100";
    } else if (o.preEncodedSeconds < 0 || o.preEncodedSeconds > 60) {
        error = "pre-encoded loop must be 0 to 60 seconds";
    } else if (!(o.clockRate >= 0.9 && o.clockRate <= 1.1)) {
        error = "clock rate must be 0.9 to 1.1";
    } else if (o.preEncodedSeconds > 0 && (o.timeStrip || o.clockRate != 1.0 || o.encodingDelays)) {
        error = "the time strip, the clock rate and the encoding delay need live encoding (no pre-encoded loop)";
    } else {
        return true;
    }
    return false;
}

std::string missingElement() {
    struct Needed {
        const char* element;
        const char* package;
    };
    static constexpr Needed kNeeded[] = {
        {"appsrc", "gstreamer1.0-plugins-base"},     {"x264enc", "gstreamer1.0-plugins-ugly"},
        {"x265enc", "gstreamer1.0-plugins-bad"},     {"jpegenc", "gstreamer1.0-plugins-good"},
        {"h264parse", "gstreamer1.0-plugins-bad"},   {"h265parse", "gstreamer1.0-plugins-bad"},
        {"rtph264pay", "gstreamer1.0-plugins-good"}, {"rtph265pay", "gstreamer1.0-plugins-good"},
        {"rtpjpegpay", "gstreamer1.0-plugins-good"}, {"mulawenc", "gstreamer1.0-plugins-good"},
        {"rtppcmupay", "gstreamer1.0-plugins-good"}, {"appsink", "gstreamer1.0-plugins-base"},
    };
    for (const Needed& n : kNeeded) {
        GstElementFactory* factory = gst_element_factory_find(n.element);
        if (factory == nullptr)
            return std::string("GStreamer element ") + n.element + " is missing (install " + n.package + ")";
        gst_object_unref(factory);
    }
    return {};
}

// Motion JPEG's payload header cannot describe larger pictures; the mount
// refuses them rather than sending pictures clients cannot size.
bool mjpegServes(const RtspOptions& o) { return o.width <= kJpegPayloadMaxSide && o.height <= kJpegPayloadMaxSide; }

} // namespace camsim::rtsp
