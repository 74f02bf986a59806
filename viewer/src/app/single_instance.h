// One running viewer per user. The first start holds a lock file and listens
// on a local socket, both named for the user; a later start asks it over the
// socket to bring its window to the front and ends.
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
  // `name` names the local socket and the lock file in the temporary folder;
  // defaultName() gives one per user.
  explicit SingleInstance(QString name, QObject* parent = nullptr);
  ~SingleInstance() override;

  static QString defaultName();

  // True when this process is the first and now listens. Otherwise asks the
  // running instance, up to `tries` times `intervalMs` apart, to come to the
  // front, and returns false: this process should end.
  bool claim(int tries = 40, int intervalMs = 250);

  // Called on the GUI thread whenever a later start asks for the window.
  void setRaiseHandler(std::function<void()> raise) { raise_ = std::move(raise); }

  bool isFirst() const { return server_ != nullptr; }

 private:
  bool listen();
  bool askToRaise();
  void onNewConnection();

  QString name_;
  std::unique_ptr<QLockFile> lock_;
  QLocalServer* server_ = nullptr;
  std::function<void()> raise_;
};

}  // namespace tavolin::ui
