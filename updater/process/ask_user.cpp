#include "updater/process/ask_user.h"

#include <utility>

CAskUser::CAskUser(Deps deps) : deps_(std::move(deps)) {}

Message CAskUser::Open(const Message& question, std::uint64_t generation) {
  OpenQuestion open;
  open.serial = next_serial_++;
  open.generation = generation;
  open.question = MakeMessage(MessageId::kQuestion, question.wparam, question.lparam, question.text,
                              question.text2);
  if (const auto* slot = std::any_cast<std::shared_ptr<CAnswerSlot>>(&question.payload))
    open.slot = *slot;
  open_.push_back(std::move(open));
  return ForMode(open_.back());
}

Message CAskUser::ForMode(const OpenQuestion& open) const {
  Message message = open.question;
  QuestionTicket ticket;
  ticket.serial = open.serial;
  ticket.generation = open.generation;
  message.payload = std::move(ticket);
  return message;
}

std::deque<CAskUser::OpenQuestion>::iterator CAskUser::Find(const Message& answer) {
  if (const QuestionTicket* ticket = TicketOf(answer)) {
    for (auto it = open_.begin(); it != open_.end(); ++it)
      if (it->serial == ticket->serial)
        return it->generation == ticket->generation ? it : open_.end();
    return open_.end();
  }
  // A mode that answers without the ticket: the oldest open question of that
  // kind asked of the current mode.
  for (auto it = open_.begin(); it != open_.end(); ++it)
    if (it->question.wparam == answer.wparam) return it;
  return open_.end();
}

bool CAskUser::Answer(const Message& answer, std::uint64_t generation) {
  auto it = Find(answer);
  if (it == open_.end() || it->generation != generation) return false;
  OpenQuestion open = std::move(*it);
  open_.erase(it);
  const bool yes = answer.lparam == 0;
  if (open.slot) {
    QuestionAnswer given;
    given.yes = yes;
    if (const QuestionTicket* ticket = TicketOf(answer); ticket && yes) {
      given.user_name = ticket->user_name;
      given.password = ticket->password;
    }
    open.slot->Give(std::move(given));
  } else if (deps_.answer_task) {
    deps_.answer_task(MakeMessage(MessageId::kAnswer, open.question.wparam, yes ? 0 : 1));
  }
  return true;
}

void CAskUser::AnswerAllNo() {
  // A task's question ends with the task (its cancel command or the end of
  // the run stops it); a waiting thread is told "no".
  std::deque<OpenQuestion> closing;
  closing.swap(open_);
  for (auto& open : closing)
    if (open.slot) open.slot->Give(QuestionAnswer{});
}

std::vector<Message> CAskUser::AskAgain(std::uint64_t generation) {
  std::vector<Message> again;
  for (auto& open : open_) {
    open.generation = generation;
    again.push_back(ForMode(open));
  }
  return again;
}

bool CAskUser::Confirm(const ConfirmRequest& request) {
  return deps_.services.Confirm(request.caption, request.heading, request.text, request.yes_text,
                                request.no_text);
}

void CAskUser::ShowAbout() {
  if (deps_.show_about) deps_.show_about();
}
