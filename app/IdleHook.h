// Runs the application's idle refresh whenever the event loop is about to
// wait for events, that is, when the queue is empty.
#pragma once

#include <QObject>

class CSceneApp;

class CIdleHook : public QObject {
  Q_OBJECT
 public:
  explicit CIdleHook(CSceneApp& app, QObject* parent = nullptr);
  // How many idle refreshes ran.
  int Passes() const { return m_Passes; }

 signals:
  void idleDone();

 private:
  void OnAboutToBlock();

  CSceneApp& m_App;
  int m_Passes = 0;
};
