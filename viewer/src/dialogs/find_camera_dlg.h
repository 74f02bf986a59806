// "Find Cameras": searches the local network for ONVIF cameras for two
// seconds when it opens, lists what answered (name, model, address) and
// hands back the one chosen. The search runs on a worker; the dialog stays
// responsive and can be closed at any time.
#pragma once

#include <QDialog>
#include <optional>
#include <vector>

#include "form/found_camera.h"

class QLabel;
class QPushButton;
class QTreeWidget;

namespace tavolin::ui {

class CameraSearch;

class CFindCameraDlg : public QDialog {
    Q_OBJECT

public:
    static constexpr int kSearchWindowMs = 2000;

    explicit CFindCameraDlg(QWidget* parent = nullptr, int searchWindowMs = kSearchWindowMs);
    ~CFindCameraDlg() override;

    // The camera chosen with "OK" (or a double click); none otherwise.
    const std::optional<FoundCamera>& chosen() const { return chosen_; }

    // Probes again (also done when the dialog is shown).
    void search();
    bool isSearching() const;

    QTreeWidget* cameraList() const { return list_; }
    QLabel* statusLabel() const { return status_; }
    QPushButton* okButton() const { return ok_; }
    QPushButton* searchButton() const { return again_; }

    // Closing stops a search under way.
    void done(int result) override;

signals:
    // Every search's end, after the list was filled.
    void searchFinished();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void showFound(const std::vector<FoundCamera>& cameras, const QString& why);
    void choose();

    int windowMs_;
    CameraSearch* search_;
    std::vector<FoundCamera> found_;
    std::optional<FoundCamera> chosen_;
    bool searchedOnce_ = false;
    QTreeWidget* list_;
    QLabel* status_;
    QPushButton* again_;
    QPushButton* ok_;
};

} // namespace tavolin::ui
