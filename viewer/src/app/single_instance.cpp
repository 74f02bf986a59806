#include "app/single_instance.h"

#include <QDir>
#include <QLocalServer>
#include <QLockFile>
#include <QLocalSocket>
#include <QThread>
#include <unistd.h>

namespace tavolin::ui {

namespace {

// What a later start sends, and what the first answers once it has raised its
// window.
constexpr char kRaiseRequest[] = "raise\n";
constexpr char kRaisedReply[] = "raised\n";
constexpr int kReplyWaitMs = 1000;

}  // namespace

SingleInstance::SingleInstance(QString name, QObject* parent) : QObject(parent), name_(std::move(name)) {}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::defaultName() { return QStringLiteral("Tavolin-%1").arg(static_cast<qulonglong>(::getuid())); }

bool SingleInstance::claim(int tries, int intervalMs) {
  // The lock decides who is first; one left by an instance that died is
  // taken over.
  lock_ = std::make_unique<QLockFile>(QDir::temp().filePath(name_ + QStringLiteral(".lock")));
  if (lock_->tryLock(0) && listen()) return true;
  lock_.reset();
  for (int i = 0; i < tries; ++i) {
    if (askToRaise()) return false;
    // The first instance may still be starting; give it a moment.
    if (i + 1 < tries) QThread::msleep(static_cast<unsigned long>(intervalMs));
  }
  return false;
}

bool SingleInstance::listen() {
  // Holding the lock, any socket of this name is left over from an instance
  // that ended without removing it.
  QLocalServer::removeServer(name_);
  auto server = std::make_unique<QLocalServer>(this);
  server->setSocketOptions(QLocalServer::UserAccessOption);
  if (!server->listen(name_)) return false;
  server_ = server.release();
  connect(server_, &QLocalServer::newConnection, this, &SingleInstance::onNewConnection);
  return true;
}

bool SingleInstance::askToRaise() {
  QLocalSocket socket;
  socket.connectToServer(name_);
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

}  // namespace tavolin::ui
