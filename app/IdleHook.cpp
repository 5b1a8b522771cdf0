#include "app/IdleHook.h"

#include <QAbstractEventDispatcher>
#include <QThread>

#include "app/SceneApp.h"

CIdleHook::CIdleHook(CSceneApp& app, QObject* parent) : QObject(parent), m_App(app) {
  if (QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance(QThread::currentThread()))
    connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this, &CIdleHook::OnAboutToBlock);
}

void CIdleHook::OnAboutToBlock() {
  m_App.OnIdle(0);
  ++m_Passes;
  emit idleDone();
}
