#include "dialogs/find_camera_dlg.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "form/camera_search.h"
#include "widgets/dialog_units.h"

namespace tavolin::ui {

CFindCameraDlg::CFindCameraDlg(QWidget* parent, int searchWindowMs)
    : QDialog(parent), windowMs_(searchWindowMs), search_(new CameraSearch(this)) {
    setWindowTitle(QStringLiteral("Find Cameras"));
    setFont(dialogFont());
    const DialogUnits du(font());

    list_ = new QTreeWidget(this);
    list_->setHeaderLabels({QStringLiteral("Name"), QStringLiteral("Model"), QStringLiteral("Address")});
    list_->setRootIsDecorated(false);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    status_ = new QLabel(this);
    status_->setWordWrap(true);
    again_ = new QPushButton(QStringLiteral("Search Again"), this);
    ok_ = new QPushButton(QStringLiteral("OK"), this);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    ok_->setDefault(true);
    ok_->setEnabled(false);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(again_);
    buttons->addStretch();
    buttons->addWidget(ok_);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(list_);
    layout->addWidget(status_);
    layout->addLayout(buttons);
    resize(du.x(180), du.y(120));

    connect(search_, &CameraSearch::finished, this, &CFindCameraDlg::showFound);
    connect(again_, &QPushButton::clicked, this, &CFindCameraDlg::search);
    connect(ok_, &QPushButton::clicked, this, &CFindCameraDlg::choose);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(list_, &QTreeWidget::itemDoubleClicked, this, &CFindCameraDlg::choose);
    connect(list_, &QTreeWidget::itemSelectionChanged, this,
            [this] { ok_->setEnabled(!list_->selectedItems().isEmpty()); });
}

// The search's worker is joined with it.
CFindCameraDlg::~CFindCameraDlg() = default;

void CFindCameraDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!searchedOnce_) search();
}

void CFindCameraDlg::done(int result) {
    search_->stop();
    again_->setEnabled(true);
    QDialog::done(result);
}

void CFindCameraDlg::search() {
    searchedOnce_ = true;
    found_.clear();
    list_->clear();
    ok_->setEnabled(false);
    again_->setEnabled(false);
    status_->setText(QStringLiteral("Searching..."));
    search_->start(onvif::defaultProbeTargets(), windowMs_);
}

bool CFindCameraDlg::isSearching() const { return search_->isRunning(); }

void CFindCameraDlg::showFound(const std::vector<FoundCamera>& cameras, const QString& why) {
    found_ = cameras;
    for (const FoundCamera& camera : found_) {
        new QTreeWidgetItem(list_, {camera.name, camera.model, camera.address});
    }
    again_->setEnabled(true);
    if (found_.empty()) {
        status_->setText(why.isEmpty() ? QStringLiteral("No camera answered")
                                       : QStringLiteral("No camera answered (%1)").arg(why));
    } else {
        status_->setText(found_.size() == 1 ? QStringLiteral("1 camera answered")
                                            : QStringLiteral("%1 cameras answered").arg(found_.size()));
        list_->setCurrentItem(list_->topLevelItem(0));
    }
    emit searchFinished();
}

void CFindCameraDlg::choose() {
    const int row = list_->indexOfTopLevelItem(list_->currentItem());
    if (row < 0 || row >= static_cast<int>(found_.size())) return;
    chosen_ = found_[static_cast<std::size_t>(row)];
    accept();
}

} // namespace tavolin::ui
