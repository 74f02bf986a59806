// The launcher strip: a 40-pixel-high window that shows one home-screen item
// and forwards paint and stylus (mouse) input to it.
#pragma once

#include <QTimer>
#include <QWidget>
#include <memory>

#include "today_host.h"

namespace today {

class TodayStrip : public QWidget {
    Q_OBJECT

public:
    explicit TodayStrip(std::unique_ptr<TodayHost> host, QWidget* parent = nullptr);
    TodayHost& host() { return *host_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // Asks the item whether it changed, as the home screen does from time
    // to time, and takes its height.
    void pollItem();

    std::unique_ptr<TodayHost> host_;
    QTimer poll_;
};

} // namespace today
