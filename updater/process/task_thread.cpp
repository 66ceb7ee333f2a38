#include "updater/process/task_thread.h"

CTaskThread::CTaskThread(TaskId task_id) : task_id_(task_id) {}

CTaskThread::~CTaskThread() { thread_.Stop(); }

void CTaskThread::Start() {
  thread_.Start([this](const Message& m) { return Dispatch(m); });
}

bool CTaskThread::Dispatch(const Message& message) {
  if (message.id == MessageId::kQuit) {
    OnEnd();
    return false;
  }
  if (message.id == MessageId::kSetOwner) {
    if (auto owner = std::any_cast<std::shared_ptr<CMessageQueue>>(&message.payload))
      owner_ = *owner;
    return true;
  }
  OnMessage(message);
  if (end_requested_) {
    OnEnd();
    return false;
  }
  return true;
}

void CTaskThread::PostToOwner(Message message) {
  if (owner_) owner_->Post(std::move(message));
}
