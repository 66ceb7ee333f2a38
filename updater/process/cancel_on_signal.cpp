#include "updater/process/cancel_on_signal.h"

#include <string>
#include <utility>

#include "updater/core/updater_log.h"
#include "updater/process/messages.h"

CCancelOnSignal::CCancelOnSignal(std::shared_ptr<CMessageQueue> process_queue)
    : queue_(std::move(process_queue)) {
  platform::Status started = watcher_.Start([this](int signal) {
    CUpdaterLog& log = CUpdaterLog::Instance();
    if (cancelled_.exchange(true)) {
      log.WriteLine("signal " + std::to_string(signal) + " received; the run is already cancelled");
      return;
    }
    log.WriteLine("signal " + std::to_string(signal) + " received: cancel the run");
    queue_->Post(MakeMessage(MessageId::kCommand, CommandCode::kCancel, 0));
  });
  if (!started) CUpdaterLog::Instance().WriteLine("stop signals: " + started.message());
}

CCancelOnSignal::~CCancelOnSignal() { watcher_.Stop(); }
