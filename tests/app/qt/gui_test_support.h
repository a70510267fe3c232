#pragma once

#include <QApplication>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <string>

#include "app/qt/control_name.h"

/// Runs events until `cond` holds (at most 5 s), then checks it. (QTest's
/// own QTRY macros report to QTest, which a gtest run would not notice.)
#define ASSERT_EVENTUALLY(cond) \
  ASSERT_TRUE(QTest::qWaitFor([&] { return static_cast<bool>(cond); }, 5000)) << #cond
#define EXPECT_EVENTUALLY(cond) \
  EXPECT_TRUE(QTest::qWaitFor([&] { return static_cast<bool>(cond); }, 5000)) << #cond

/// A pseudo-terminal: the test writes to the master side, the capture opens
/// the slave side by its path.
class Pty {
 public:
  Pty();
  ~Pty();
  const std::string& path() const { return path_; }
  /// Writes all of `bytes` to the master side.
  void Send(const std::string& bytes);

 private:
  int master_ = -1;
  int slave_ = -1;
  std::string path_;
};

/// Calls `act` from the event loop as soon as a modal widget of type T is
/// active (a dialog run with exec); gives up after `timeoutMs`.
template <class T>
void WhenModal(std::function<void(T*)> act, int timeoutMs = 5000) {
  auto* timer = new QTimer;
  int* left = new int(timeoutMs / 10);
  QObject::connect(timer, &QTimer::timeout, [timer, act, left] {
    if (auto* w = qobject_cast<T*>(QApplication::activeModalWidget())) {
      timer->stop();
      timer->deleteLater();
      delete left;
      act(w);
    } else if (--*left <= 0) {
      timer->stop();
      timer->deleteLater();
      delete left;
    }
  });
  timer->start(10);
}

/// The child of `parent` with the control id `id` (app/control_ids.h).
template <class T>
T* Control(QWidget* parent, int id) {
  return parent->findChild<T*>(ControlName(id));
}

/// The child of `parent` named `name`: the system's own ids ("1" for OK,
/// "2" for Cancel) and the parts that have no id.
template <class T>
T* Control(QWidget* parent, const char* name) {
  return parent->findChild<T*>(QString::fromLatin1(name));
}

/// Names of the regular files in a folder, sorted.
std::vector<std::string> FilesIn(const std::string& folder);
