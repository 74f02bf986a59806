// An ONVIF camera's own snapshot of its largest profile, fetched with HTTP
// digest; a camera that offers none names the profile to take a picture of.
#include <gtest/gtest.h>

#include "camsim/onvif_camera.h"
#include "camsim/simulated_camera.h"
#include "media_probe.h"
#include "recorder/new_file.h"
#include "recorder/onvif_snapshot.h"
#include "scratch_folder.h"

namespace recorder::test {
namespace {

// A long call time-out: the simulated camera encodes its picture on demand,
// which a sanitizer build on a busy machine makes slow; the test is about
// which picture comes, not how fast.
onvif::DeviceSettings settingsFor(uint16_t port) {
    onvif::DeviceSettings settings{"127.0.0.1", port, "admin", "admin"};
    settings.callTimeoutMs = 15000;
    return settings;
}

TEST(OnvifSnapshotTest, IsTheLargestProfilesPicture) {
    camsim::SimulatedCamera camera(camsim::kOnvifStreamingType, camsim::quietCameraOptions());
    ASSERT_TRUE(camera.start()) << camera.error();
    const OnvifSnapshot got = fetchOnvifSnapshot(settingsFor(camera.onvif()->port()));
    ASSERT_TRUE(got.jpeg.has_value()) << got.error;
    EXPECT_EQ(got.channel, 1);
    ScratchFolder folder;
    std::string error;
    const auto path = writeNewFile(folder.file("s.jpg"), *got.jpeg, error);
    ASSERT_TRUE(path.has_value()) << error;
    const Probe p = probe(*path);
    ASSERT_TRUE(p.read) << p.errors;
    EXPECT_EQ(p.streams[0].width, 640);
    EXPECT_EQ(p.streams[0].height, 480);
}

TEST(OnvifSnapshotTest, CameraWithoutOneNamesTheLargestProfile) {
    camsim::OnvifOptions options;
    options.profiles[0].width = 320; // the second profile is the largest here
    options.profiles[1].width = 1280;
    camsim::OnvifCamera camera(options);
    ASSERT_TRUE(camera.start());
    const OnvifSnapshot got = fetchOnvifSnapshot(settingsFor(camera.port()));
    EXPECT_FALSE(got.jpeg.has_value());
    EXPECT_EQ(got.channel, 2);
    EXPECT_NE(got.error.find("GetSnapshotUri"), std::string::npos) << got.error;
}

} // namespace
} // namespace recorder::test
