// The longest gap between ticks of a 10 ms timer on the live view's GUI
// thread while a stream connects, fails, is lost, steps to the next camera,
// closes, and while a camera that stops answering is left or closed; while a
// lost camera is tried again, gone or answering nothing, and the view closes
// during an attempt; while a
// stream connects with a PTZ protocol file the user chose (the largest one
// read, an endless device, a pipe without writer); and while the form loads
// a settings file. Every camera is simulated on 127.0.0.1.
//
//   viewer_gui_gaps [--runs N]
//
// Prints one line per case: the longest gap and the median of the runs, in
// milliseconds. A gap near 10 ms means the GUI never waited.
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QKeyEvent>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <sys/stat.h>

#include "camsim/simulated_camera.h"
#include "camsim/v2_camera.h"
#include "form/tavolin_dlg.h"
#include "live/wide_video_dlg.h"
#include "platform/network_guard.h"
#include "platform/tcp_socket.h"
#include "shell/shell.h"
#include "tavolin/camera_record.h"

namespace {

using tavolin::CameraRecord;
using tavolin::kCameraCount;
using tavolin::ui::CWideVideoDlg;

// Answers every question at once (No, or OK) and records nothing.
class QuietPrompts final : public tavolin::ui::UserPrompts {
public:
    void showMessage(QWidget*, const tavolin::ui::Prompt& prompt, tavolin::ui::PromptAnswered answered) override {
        ++asked;
        if (!answered) return;
        answered(prompt.buttons == tavolin::ui::PromptButtons::YesNo ? tavolin::ui::PromptAnswer::No
                                                                     : tavolin::ui::PromptAnswer::Ok);
    }
    void openFile(QWidget*, const QString&, const QString&, const QString&,
                  std::function<void(const QString&)> chosen) override {
        chosen({});
    }
    int asked = 0;
};

class QuietShell final : public tavolin::ui::Shell {
public:
    tavolin::ui::UserPrompts& prompts() override { return prompts_; }
    void setOrientation(int degrees) override { orientation_ = degrees; }
    int orientation() const override { return orientation_; }
    void enterFullScreen(QWidget* window) override { window->resize(screenSize(window)); }
    QSize screenSize(const QWidget*) const override { return {320, 240}; }
    QString protocolFolder() const override { return {}; }
    QuietPrompts prompts_;

private:
    int orientation_ = 0;
};

// Runs the GUI's event loop until `condition` holds or `ms` passed. (QTest's
// waits sleep between rounds of events, which would count as gaps.)
bool runEventsUntil(const std::function<bool()>& condition, int ms) {
    QEventLoop loop;
    QElapsedTimer clock;
    clock.start();
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (condition() || clock.elapsed() >= ms) loop.quit();
    });
    poll.start(2);
    if (!condition()) loop.exec();
    return condition();
}

void runEventsFor(int ms) {
    QElapsedTimer clock;
    clock.start();
    runEventsUntil([&] { return clock.elapsed() >= ms; }, ms);
}

// Watches the GUI thread through a 10 ms timer.
class GapMeter {
public:
    GapMeter() {
        timer_.setInterval(10);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            const qint64 now = clock_.elapsed();
            longest_ = std::max(longest_, now - last_);
            last_ = now;
        });
    }
    void start() {
        clock_.start();
        last_ = 0;
        longest_ = 0;
        timer_.start();
    }
    qint64 stop() {
        timer_.stop();
        return std::max(longest_, clock_.elapsed() - last_);
    }

private:
    QTimer timer_;
    QElapsedTimer clock_;
    qint64 last_ = 0;
    qint64 longest_ = 0;
};

struct Bench {
    std::array<CameraRecord, kCameraCount> records{};
    std::array<CameraRecord*, kCameraCount> pointers{};
    std::vector<std::unique_ptr<camsim::V2Camera>> cameras;
    QuietShell shell;
    std::unique_ptr<CWideVideoDlg> view;

    Bench() {
        for (int i = 0; i < kCameraCount; ++i) {
            records[static_cast<std::size_t>(i)] = tavolin::defaultCameraRecord(i);
            tavolin::setText(records[static_cast<std::size_t>(i)].host, "127.0.0.1");
            pointers[static_cast<std::size_t>(i)] = &records[static_cast<std::size_t>(i)];
        }
    }
    ~Bench() { view.reset(); }

    camsim::V2Camera& camera(int position) {
        cameras.push_back(std::make_unique<camsim::V2Camera>(camsim::smallCameraOptions()));
        camsim::V2Camera& c = *cameras.back();
        if (!c.start()) std::fprintf(stderr, "viewer_gui_gaps: a simulated camera did not start\n");
        CameraRecord& r = records[static_cast<std::size_t>(position)];
        r.streamingType = 2;
        tavolin::setText(r.userName, "admin");
        tavolin::setText(r.password, "admin");
        r.controlPort = c.controlPort();
        r.streamingPort = c.videoPort();
        r.httpPort = c.httpPort();
        r.inSwitchGroup = 1;
        return c;
    }
    void closedPort(int position) {
        platform::TcpListener listener;
        listener.listen("127.0.0.1", 0);
        CameraRecord& r = records[static_cast<std::size_t>(position)];
        r.streamingType = 2;
        r.controlPort = r.streamingPort = r.httpPort = listener.port();
    }
    // The window is made first; showing it opens the stream.
    void make(int position) { view = std::make_unique<CWideVideoDlg>(pointers, position, shell); }
    void open(int position) {
        make(position);
        view->show();
    }
    bool waitFor(const std::function<bool()>& condition, int ms = 15000) { return runEventsUntil(condition, ms); }
    void key(int k) {
        for (QEvent::Type type : {QEvent::KeyPress, QEvent::KeyRelease}) {
            QKeyEvent event(type, k, Qt::NoModifier);
            QApplication::sendEvent(view.get(), &event);
        }
    }
    void closeAndWait() {
        view->controller().close();
        waitFor([&] { return view->controller().isClosed(); });
    }
};

using Case = std::function<qint64(Bench&, GapMeter&)>;

// A scratch folder for the files a user could choose.
const QTemporaryDir& scratch() {
    static const QTemporaryDir folder;
    return folder;
}

std::string scratchFile(const char* name, const std::string& bytes) {
    const std::string path = scratch().filePath(QString::fromLatin1(name)).toStdString();
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f != nullptr) {
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
    }
    return path;
}

// A protocol file of `size` bytes: two commands, then comment lines.
std::string protocolFileOf(std::size_t size) {
    std::string bytes = "[ATTRIBUTES]\nADDRIDSTART;0x01\nADDRIDPOS;2\n[PANTILT]\n"
                        "PANLEFT;1;0;0xFF,0x00,0x00,0x04,0x08,0x00,0x00\n"
                        "PANLEFT;0;0;0xFF,0x00,0x00,0x00,0x00,0x00,0x00\n";
    const std::string comment = "#" + std::string(98, '-') + "\n";
    while (bytes.size() + comment.size() <= size) bytes += comment;
    bytes.append(size - bytes.size(), '#');
    return bytes;
}

// Connects camera 1 with PTZ on through the protocol file at `path`.
qint64 connectWithProtocolFile(Bench& b, GapMeter& m, const std::string& path) {
    b.camera(0);
    CameraRecord& r = b.records[0];
    r.ptzEnabled = 1;
    r.ptzSourceType = 1;
    tavolin::setText(r.ptzProtocolFile, path);
    b.make(0);
    m.start();
    b.view->show();
    b.waitFor([&] { return b.view->controller().isConnected() || b.view->controller().isClosed(); });
    runEventsFor(100);
    const qint64 gap = m.stop();
    if (!b.view->controller().isClosed()) b.closeAndWait();
    return gap;
}

// Loses camera 1, which the view tries again, for long enough to make three
// attempts: on a closed port, or on a camera that takes the connection and
// never answers its login. Then the view closes during an attempt.
qint64 reconnectAndClose(Bench& b, GapMeter& m, bool silent) {
    camsim::V2Camera& c = b.camera(0);
    b.records[0].autoReconnect = 1;
    b.open(0);
    b.waitFor([&] { return b.view->controller().isConnected(); });
    camsim::CameraOptions same = camsim::smallCameraOptions();
    same.controlPort = c.controlPort();
    same.videoPort = c.videoPort();
    same.httpPort = c.httpPort();
    m.start();
    c.stop();
    std::unique_ptr<camsim::V2Camera> mute;
    if (silent) {
        mute = std::make_unique<camsim::V2Camera>(same);
        mute->faults().silentControlLogin = true;
        mute->start();
    }
    runEventsFor(3500);
    b.closeAndWait();
    return m.stop();
}

// A settings file of 16 cameras at 127.0.0.1, and another section of lines
// up to `size` bytes.
std::string settingsFileOf(std::size_t size) {
    std::string bytes;
    for (int i = 0; i < kCameraCount; ++i) {
        bytes += "[" + std::to_string(i) + "]\nCameraName=Camera " + std::to_string(i + 1) +
                 "\nCameraIP=127.0.0.1\nStreamingType=2\n";
    }
    bytes += "[more]\n";
    for (int n = 0; bytes.size() + 250 < size; ++n)
        bytes += "k" + std::to_string(n) + "=" + std::string(200, 'v') + "\n";
    return bytes;
}

// The form is made on the GUI thread, reading the file; the time until its
// event loop runs again is the gap.
qint64 loadForm(Bench& b, GapMeter& m, const std::string& path) {
    m.start();
    auto form = std::make_unique<tavolin::ui::CTavolinDlg>(b.shell, path);
    runEventsFor(50);
    const qint64 gap = m.stop();
    form.reset();
    return gap;
}

const std::vector<std::pair<const char*, Case>>& cases() {
    static const std::vector<std::pair<const char*, Case>> all = {
        {"connects",
         [](Bench& b, GapMeter& m) {
             b.camera(0);
             b.make(0);
             m.start();
             b.view->show();
             b.waitFor([&] { return b.view->controller().isConnected(); });
             const qint64 gap = m.stop();
             b.closeAndWait();
             return gap;
         }},
        {"fails (closed port)",
         [](Bench& b, GapMeter& m) {
             b.closedPort(0);
             b.make(0);
             m.start();
             b.view->show();
             b.waitFor([&] { return b.view->controller().isClosed(); });
             return m.stop();
         }},
        {"is lost",
         [](Bench& b, GapMeter& m) {
             camsim::V2Camera& c = b.camera(0);
             b.open(0);
             b.waitFor([&] { return b.view->controller().isConnected(); });
             m.start();
             c.stop();
             b.waitFor([&] { return b.shell.prompts_.asked > 0; });
             runEventsFor(200);
             const qint64 gap = m.stop();
             b.closeAndWait();
             return gap;
         }},
        {"patrols",
         [](Bench& b, GapMeter& m) {
             b.camera(0);
             b.camera(1);
             b.open(0);
             b.waitFor([&] { return b.view->controller().isConnected(); });
             m.start();
             b.key(Qt::Key_Down);
             b.waitFor(
                 [&] { return b.view->controller().isConnected() && b.view->controller().currentPosition() == 1; });
             const qint64 gap = m.stop();
             b.closeAndWait();
             return gap;
         }},
        {"closes",
         [](Bench& b, GapMeter& m) {
             b.camera(0);
             b.open(0);
             b.waitFor([&] { return b.view->controller().isConnected(); });
             b.view->controller().toggleOutput();
             runEventsFor(100);
             m.start();
             b.closeAndWait();
             return m.stop();
         }},
        {"closes while a silent camera is asked",
         [](Bench& b, GapMeter& m) {
             b.camera(0).faults().silentControlLogin = true;
             b.open(0);
             runEventsFor(500);
             m.start();
             b.closeAndWait();
             return m.stop();
         }},
        {"commands and closes a camera that stopped answering",
         [](Bench& b, GapMeter& m) {
             camsim::V2Camera& c = b.camera(0);
             c.faults().link.stopReading = true;
             b.open(0);
             b.waitFor([&] { return b.view->controller().isConnected(); });
             c.faults().stallVideo = true;
             m.start();
             for (int i = 0; i < 20; ++i) b.view->controller().toggleOutput();
             runEventsFor(200);
             b.closeAndWait();
             return m.stop();
         }},
        {"reconnects to a camera that is gone, then closes",
         [](Bench& b, GapMeter& m) { return reconnectAndClose(b, m, false); }},
        {"reconnects to a camera that answers nothing, then closes",
         [](Bench& b, GapMeter& m) { return reconnectAndClose(b, m, true); }},
        {"connects with a protocol file of 1 MB",
         [](Bench& b, GapMeter& m) {
             return connectWithProtocolFile(b, m, scratchFile("large.ptz", protocolFileOf(1024 * 1024)));
         }},
        {"connects with /dev/zero as protocol file",
         [](Bench& b, GapMeter& m) { return connectWithProtocolFile(b, m, "/dev/zero"); }},
        {"connects with a pipe without writer as protocol file",
         [](Bench& b, GapMeter& m) {
             const std::string pipe = scratch().filePath(QStringLiteral("pipe.ptz")).toStdString();
             ::mkfifo(pipe.c_str(), 0600);
             return connectWithProtocolFile(b, m, pipe);
         }},
        {"form loads a settings file of 16 cameras",
         [](Bench& b, GapMeter& m) { return loadForm(b, m, scratchFile("Tavolin.txt", settingsFileOf(0))); }},
        {"form loads a settings file of 1 MB",
         [](Bench& b, GapMeter& m) { return loadForm(b, m, scratchFile("Tavolin.txt", settingsFileOf(1024 * 1024))); }},
    };
    return all;
}

} // namespace

int main(int argc, char** argv) {
    int runs = 3;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--runs") == 0 && i + 1 < argc) {
            runs = std::max(1, std::atoi(argv[++i]));
        } else {
            std::fprintf(stderr, "usage: viewer_gui_gaps [--runs N]\n");
            return 2;
        }
    }
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    platform::enableLoopbackOnly();
    QApplication app(argc, argv);
    std::printf("%-55s %10s %10s\n", "case", "max ms", "median ms");
    for (const auto& [name, run] : cases()) {
        std::vector<qint64> gaps;
        for (int r = 0; r < runs; ++r) {
            Bench bench;
            GapMeter meter;
            gaps.push_back(run(bench, meter));
        }
        std::sort(gaps.begin(), gaps.end());
        std::printf("%-55s %10lld %10lld\n", name, static_cast<long long>(gaps.back()),
                    static_cast<long long>(gaps[gaps.size() / 2]));
        std::fflush(stdout);
    }
    return 0;
}
