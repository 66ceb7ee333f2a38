#include "updater/tasks/net/proxy_question.h"

#include <string>
#include <utility>

#include "updater/core/text.h"
#include "updater/process/answer_slot.h"

std::optional<ProxyCredentials> AskProcessForProxyCredentials(CMessageQueue& process_queue,
                                                              CCancelSignal& cancel,
                                                              std::int64_t bound_ms) {
  auto slot = std::make_shared<CAnswerSlot>();
  const std::uint64_t link = cancel.Link([slot] { slot->Give(QuestionAnswer{}); });
  std::optional<QuestionAnswer> answer;
  if (!slot->IsAnswered()) {
    Message question = MakeMessage(MessageId::kQuestion, QuestionId::kProxyCredentials);
    question.payload = slot;
    if (process_queue.Post(std::move(question))) answer = slot->WaitFor(bound_ms);
  }
  cancel.Unlink(link);
  // Whatever comes later (the process closing the question) finds it answered.
  slot->Give(QuestionAnswer{});
  if (!answer || !answer->yes) return std::nullopt;
  return BoundedCredentials(answer->user_name, answer->password);
}

ProxyCredentialsQuestion MakeProxyQuestion(std::string_view run_mode,
                                           std::weak_ptr<CMessageQueue> process_queue,
                                           std::int64_t bound_ms) {
  if (EqualsNoCase(run_mode, "hidden"))
    return [](CCancelSignal&) { return std::optional<ProxyCredentials>(); };
  return [process_queue = std::move(process_queue),
          bound_ms](CCancelSignal& cancel) -> std::optional<ProxyCredentials> {
    std::shared_ptr<CMessageQueue> queue = process_queue.lock();
    if (!queue) return std::nullopt;
    return AskProcessForProxyCredentials(*queue, cancel, bound_ms);
  };
}
