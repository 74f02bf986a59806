// The live view's video as a window surface: the stream client's render
// thread hands it pictures, it keeps the newest complete one and asks its
// widget to repaint on the GUI thread, where paint() draws it stretched over
// its rectangle, or as large as fits with its aspect kept and black bars
// beside it. A picture kept in shape is scaled once, smoothly, straight into
// the window as it is painted: the render thread copies only pictures of the
// size they come in.
//
// A surface that takes planes (the wall's cells) gets each picture as 4:2:0
// planes and converts it while it paints, straight into the window's
// backing store: the picture is written to memory once on its way to the
// screen instead of twice, the costliest step the wall had above decoding.
//
// Three reused frame buffers, so that neither side ever waits for the other
// to copy or draw: the render thread fills its own buffer and swaps it with
// the newest one under a short lock; paint swaps the newest one with the
// buffer it draws from. Nothing is allocated per picture once the sizes are
// known.
#pragma once

#include <QImage>
#include <QPointer>
#include <QRect>
#include <QRectF>
#include <QSize>
#include <QString>
#include <QWidget>
#include <atomic>
#include <mutex>
#include <vector>

#include "live/picture_fit.h"
#include "platform/surface.h"

class QPainter;

namespace tavolin::ui {

class VideoSurface final : public platform::Surface {
public:
    // Whether each new picture asks the widget to repaint (the live view), or
    // the widget's owner repaints at its own pace with repaintIfNew() (the
    // wall: one paint of all its cells per screen refresh instead of one per
    // picture of each camera).
    enum class Repaint { OnEachPicture, WhenAsked };

    explicit VideoSurface(QWidget* widget, Repaint repaint = Repaint::OnEachPicture);

    // Stops repaint requests; call before the widget goes away.
    void detach();
    // Asks `widget` to repaint from now on (a wall camera moved to another cell).
    void attach(QWidget* widget);

    // Render thread.
    void stretchDraw(const platform::PictureView& picture, const platform::SurfaceRect& dest) override;
    void drawText(const std::u16string& text, const platform::SurfaceRect& box, platform::SurfaceColor textColor,
                  platform::SurfaceColor background) override;
    void present() override;
    platform::SurfaceSize clientSize() const override;
    // The frame being written is lent: the decoder writes into its image.
    platform::PictureTarget lendPicture(int width, int height, int bitCount) override;
    void finishLent(const platform::SurfaceRect& dest, bool filled) override;
    // Only while takesPlanes is on; otherwise nothing is lent.
    platform::PlanarTarget lendPlanes(int width, int height) override;
    void finishLentPlanes(const platform::SurfaceRect& dest, bool filled, bool fullRange) override;

    // GUI thread.
    void setClientSize(QSize size);
    // On: pictures keep their aspect, centred in the paint area with black
    // bars, smoothly scaled (the wall's cells); off: stretched to the
    // destination the stream client gave.
    void setKeepAspect(bool keep) { keepAspect_ = keep; }
    // On: pictures may come as planes (see above).
    void setTakesPlanes(bool takes) { takesPlanes_ = takes; }
    // Draws the newest complete picture (and its overlay text) and blackens
    // the rest of `area`; false, drawing nothing, when there is no picture.
    // `part` (a share of the picture, from 0 to 1 on each side) is what is
    // shown, magnified over the picture's place: the digital zoom.
    bool paint(QPainter& painter, const QRect& area, const QRectF& part = kWholePicture);
    static constexpr QRectF kWholePicture{0.0, 0.0, 1.0, 1.0};
    // A picture came that was not painted yet.
    bool hasNewPicture() const;
    // The size of the newest complete picture; empty before the first.
    QSize pictureSize() const;
    // Asks the widget to repaint what a picture newer than the one painted
    // covers; false when there is none.
    bool repaintIfNew();
    // Forgets every picture, so a later stream starts from nothing.
    void clear();
    // The newest complete picture and where it goes, null before the first.
    QImage latestPicture(QRect* dest = nullptr) const;

    // Pictures handed over completely, and pictures painted at least once.
    long presentedCount() const { return presented_.load(); }
    long paintedCount() const { return painted_; }

private:
    // 4:2:0 planes, one after another: luma rows yStride apart, then each
    // chroma plane's rows uvStride apart.
    struct Planes {
        std::vector<uint8_t> bytes;
        QSize size;
        int yStride = 0;
        int uvStride = 0;
        bool fullRange = false;
        // Lays the planes out for `picture`, rows aligned for vector code.
        void shape(QSize picture);
        // Writes the picture as 32-bit rows `stride` bytes apart.
        bool writeRows(uint8_t* pixels, int stride) const;
        // Writes the picture into `resized`, shaped for `picture`.
        bool resizeInto(Planes& resized, QSize picture) const;
        uint8_t* y() { return bytes.data(); }
        uint8_t* u() { return y() + static_cast<std::size_t>(yStride) * size.height(); }
        uint8_t* v() { return u() + static_cast<std::size_t>(uvStride) * ((size.height() + 1) / 2); }
        const uint8_t* y() const { return bytes.data(); }
        const uint8_t* u() const { return y() + static_cast<std::size_t>(yStride) * size.height(); }
        const uint8_t* v() const { return u() + static_cast<std::size_t>(uvStride) * ((size.height() + 1) / 2); }
    };
    struct Frame {
        QImage image; // unless planar
        Planes planes;
        bool planar = false;
        QRect dest;
        QString text;
        QRect textBox;
        QColor textColor;
        QColor textBackground;
        bool valid = false;
        QSize size() const { return planar ? planes.size : image.size(); }
    };

    void requestRepaint();
    void updateWidget(QWidget& widget);
    // Where a frame's picture goes in `area`.
    QRect targetOf(const Frame& frame, const QRect& area) const;
    // What the newest picture and its text cover, and where the picture goes.
    QRect changedArea(QRect* target) const;
    // Draws `picture` scaled to `target` (see paint).
    void drawScaled(QPainter& painter, const QImage& picture, const QRect& target);
    // Converts showing_'s planes straight into the painter's image at
    // `target`; false, drawing nothing, where that image cannot take them
    // whole there (another device, a transform, a clip that cuts the target).
    bool drawPlanesInPlace(QPainter& painter, const QRect& target);
    // showing_'s picture as an image: its own, or its planes converted once.
    const QImage& showingImage();

    std::mutex writerLock_; // one render thread at a time fills writing_
    Frame writing_;
    std::unique_lock<std::mutex> lent_; // writerLock_, held from lendPicture to finishLent

    mutable std::mutex swapLock_; // guards latest_, fresh_ and widget_
    Frame latest_;
    bool fresh_ = false;
    QPointer<QWidget> widget_;

    Frame showing_;           // GUI thread only
    QImage scaled_;           // GUI thread: showing_'s picture at the size last painted
    long scaledFrom_ = -1;    // GUI thread: the paint count whose picture scaled_ holds
    QImage converted_;        // GUI thread: showing_'s planes as an image
    long convertedFrom_ = -1; // GUI thread: the paint count whose planes converted_ holds
    Planes resized_;          // GUI thread: showing_'s planes at the size painted in place
    bool keepAspect_ = false; // GUI thread only
    QRect paintedArea_;       // GUI thread: what the last paint covered
    QRect paintedTarget_;     // GUI thread: where it put the picture
    long painted_ = 0;

    const Repaint repaint_;
    std::atomic<bool> takesPlanes_{false};
    std::atomic<bool> repaintPending_{false};
    std::atomic<long> presented_{0};
    std::atomic<int> width_{0};
    std::atomic<int> height_{0};
};

} // namespace tavolin::ui
