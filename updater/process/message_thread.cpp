#include "updater/process/message_thread.h"

#include <chrono>

CMessageThread::CMessageThread(const platform::IClock& clock)
    : queue_(std::make_shared<CMessageQueue>(clock)) {}

CMessageThread::~CMessageThread() { Stop(); }

void CMessageThread::Start(Handler handler) {
  {
    std::lock_guard lock(mutex_);
    if (started_) return;
    started_ = true;
  }
  thread_ = std::thread([this, handler = std::move(handler)]() {
    while (auto message = queue_->Take()) {
      bool go_on = handler(*message);
      if (!go_on || message->id == MessageId::kQuit) break;
    }
    queue_->Close();
    {
      std::lock_guard lock(mutex_);
      ended_ = true;
    }
    ended_cv_.notify_all();
  });
}

bool CMessageThread::WaitForEnd(std::int64_t timeout_ms) {
  std::unique_lock lock(mutex_);
  if (!started_) return true;
  return ended_cv_.wait_for(lock, std::chrono::milliseconds(timeout_ms), [this] { return ended_; });
}

bool CMessageThread::HasEnded() const {
  std::lock_guard lock(mutex_);
  return !started_ || ended_;
}

void CMessageThread::Stop() {
  queue_->Post(MakeMessage(MessageId::kQuit));
  if (thread_.joinable()) thread_.join();
}
