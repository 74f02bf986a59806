#include "app/single_instance.h"

#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLockFile>
#include <QLocalSocket>
#include <QThread>
#include <cstdio>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace tavolin::ui {

namespace {

// What a later start sends, and what the first answers once it has raised its
// window.
constexpr char kRaiseRequest[] = "raise\n";
constexpr char kRaisedReply[] = "raised\n";
constexpr int kReplyWaitMs = 1000;

// A folder that is ours alone: a real directory (no link), owned by this
// user, that no one else may enter or write.
bool isOwnPrivateFolder(const QString& path) {
    struct stat info {};
    if (path.isEmpty() || ::lstat(QFile::encodeName(path).constData(), &info) != 0) return false;
    return S_ISDIR(info.st_mode) && info.st_uid == ::getuid() && (info.st_mode & 077) == 0;
}

} // namespace

SingleInstance::SingleInstance(QString name, QString folder, QObject* parent)
    : QObject(parent), name_(std::move(name)), folder_(std::move(folder)) {}

QString SingleInstance::privateFolder() {
    const QString runtime = QFile::decodeName(qgetenv("XDG_RUNTIME_DIR"));
    if (isOwnPrivateFolder(runtime)) return runtime;
    const QString home = QFile::decodeName(qgetenv("HOME"));
    if (home.isEmpty()) return {};
    const QString own = QDir(home).filePath(QStringLiteral(".cache/Tavolin"));
    QDir().mkpath(QDir(home).filePath(QStringLiteral(".cache")));
    ::mkdir(QFile::encodeName(own).constData(), 0700);
    return isOwnPrivateFolder(own) ? own : QString();
}

QString SingleInstance::lockPath() const { return QDir(folder_).filePath(name_ + QStringLiteral(".lock")); }

QString SingleInstance::socketPath() const { return QDir(folder_).filePath(name_); }

SingleInstance::~SingleInstance() = default;

QString SingleInstance::defaultName() { return QStringLiteral("Tavolin-%1").arg(static_cast<qulonglong>(::getuid())); }

bool SingleInstance::claim(int tries, int intervalMs) {
    if (!isOwnPrivateFolder(folder_)) {
        std::fprintf(stderr, "Tavolin: no private folder for the one-instance lock; starting without it\n");
        return true;
    }
    // The lock decides who is first; one left by an instance that died is
    // taken over.
    lock_ = std::make_unique<QLockFile>(lockPath());
    if (lock_->tryLock(0) && listen()) return true;
    lock_.reset();
    for (int i = 0; i < tries; ++i) {
        if (askToRaise()) return false;
        // The first instance may still be starting; give it a moment.
        if (i + 1 < tries) QThread::msleep(static_cast<unsigned long>(intervalMs));
    }
    std::fprintf(stderr, "Tavolin: another instance holds %s but does not answer\n", qPrintable(lockPath()));
    return false;
}

bool SingleInstance::listen() {
    // Holding the lock, any socket of this name is left over from an instance
    // that ended without removing it.
    QLocalServer::removeServer(socketPath());
    auto server = std::make_unique<QLocalServer>(this);
    server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server->listen(socketPath())) return false;
    server_ = server.release();
    connect(server_, &QLocalServer::newConnection, this, &SingleInstance::onNewConnection);
    return true;
}

bool SingleInstance::askToRaise() {
    QLocalSocket socket;
    socket.connectToServer(socketPath());
    if (!socket.waitForConnected(kReplyWaitMs)) return false;
    socket.write(kRaiseRequest);
    if (!socket.waitForBytesWritten(kReplyWaitMs)) return false;
    // The first instance answers from its event loop once its window is up.
    while (!socket.canReadLine()) {
        if (!socket.waitForReadyRead(kReplyWaitMs)) return false;
    }
    return socket.readLine() == kRaisedReply;
}

void SingleInstance::onNewConnection() {
    while (QLocalSocket* client = server_->nextPendingConnection()) {
        connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
        connect(client, &QLocalSocket::readyRead, this, [this, client] {
            while (client->canReadLine()) {
                if (client->readLine() != kRaiseRequest) continue;
                if (raise_) raise_();
                client->write(kRaisedReply);
                client->flush();
            }
        });
    }
}

} // namespace tavolin::ui
