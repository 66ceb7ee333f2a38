#pragma once
// The proxy credentials asked of the user through the update process. The
// transfer that meets a 407 answer never opens a window: it posts the question
// (QuestionId::kProxyCredentials) to the process queue, the process passes it
// to the mode on the user-interface thread, and the transfer waits for the
// answer together with its cancel signal, for a bounded time.

#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>

#include "updater/process/message_queue.h"
#include "updater/tasks/cancel_signal.h"
#include "updater/tasks/net/proxy_credentials.h"

// The longest wait for the user's answer.
inline constexpr std::int64_t kProxyQuestionBoundMs = 15 * 60 * 1000;

// Posts the question to process_queue and waits for its answer, for cancel or
// for bound_ms to pass: the credentials entered (bounded), or nullopt for a no,
// a cancel, no answer in time or a queue that takes no more messages.
std::optional<ProxyCredentials> AskProcessForProxyCredentials(CMessageQueue& process_queue,
                                                              CCancelSignal& cancel,
                                                              std::int64_t bound_ms);

// The question for a run mode: in the hidden mode nobody is asked and the
// answer is no at once; otherwise the process behind process_queue is asked.
ProxyCredentialsQuestion MakeProxyQuestion(std::string_view run_mode,
                                           std::weak_ptr<CMessageQueue> process_queue,
                                           std::int64_t bound_ms = kProxyQuestionBoundMs);
