// One running viewer per user. The first start holds a lock file and listens
// on a local socket, both in a folder only the user can write to (the user's
// runtime folder, else a 0700 folder in the home folder), so that another
// user can neither take the names first nor keep the viewer from starting; a
// later start asks the first over the socket to bring its window to the
// front and ends.
#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <memory>

class QLocalServer;
class QLockFile;

namespace tavolin::ui {

class SingleInstance : public QObject {
    Q_OBJECT

public:
    // `name` names the local socket and the lock file in `folder`;
    // defaultName() gives one per user, privateFolder() the user's own folder.
    explicit SingleInstance(QString name, QString folder = privateFolder(), QObject* parent = nullptr);
    ~SingleInstance() override;

    static QString defaultName();
    // $XDG_RUNTIME_DIR when it is the user's own and closed to others, else
    // ~/.cache/Tavolin (made 0700 when missing); empty when neither is safe.
    static QString privateFolder();

    QString lockPath() const;

    // True when this process is the first and now listens, or when there is no
    // private folder to coordinate in (the viewer then runs unguarded).
    // Otherwise asks the running instance, up to `tries` times `intervalMs`
    // apart, to come to the front, and returns false: this process should end.
    bool claim(int tries = 40, int intervalMs = 250);

    // Called on the GUI thread whenever a later start asks for the window.
    void setRaiseHandler(std::function<void()> raise) { raise_ = std::move(raise); }

    bool isFirst() const { return server_ != nullptr; }

private:
    bool listen();
    bool askToRaise();
    void onNewConnection();

    QString socketPath() const;

    QString name_;
    QString folder_;
    std::unique_ptr<QLockFile> lock_;
    QLocalServer* server_ = nullptr;
    std::function<void()> raise_;
};

} // namespace tavolin::ui
