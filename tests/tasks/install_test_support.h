#pragma once
// Helpers of the installation tests: update records made in code, an owner
// queue that collects a worker's reports, and snapshots of folder trees.

#include <any>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/file_attributes.h"
#include "platform/file_system.h"
#include "tests/support/permission_bits.h"
#include "updater/description/update_file_data.h"
#include "updater/process/message_queue.h"
#include "updater/process/task_thread.h"
#include "updater/tasks/install/install_progress.h"

namespace install_test {

constexpr std::int64_t kWaitMs = 10000;

inline void SetOwner(CTaskThread& thread, const std::shared_ptr<CMessageQueue>& owner) {
  Message set_owner = MakeMessage(MessageId::kSetOwner);
  set_owner.payload = owner;
  thread.Post(std::move(set_owner));
}

// Takes the owner's messages until one satisfies stop (included) or none
// comes within the bound.
inline std::vector<Message> TakeUntil(CMessageQueue& owner,
                                      const std::function<bool(const Message&)>& stop) {
  std::vector<Message> taken;
  while (auto m = owner.TakeFor(kWaitMs)) {
    taken.push_back(*m);
    if (stop(*m)) break;
  }
  return taken;
}

inline bool IsId(const Message& m, MessageId id) { return m.id == id; }

// One line per message, for comparing whole sequences.
inline std::string Describe(const Message& m) {
  switch (m.id) {
    case MessageId::kInstallProgress: {
      const auto& p = std::any_cast<const InstallProgress&>(m.payload);
      return "progress " + p.item + " " + std::to_string(p.item_done) + "/" +
             std::to_string(p.item_total) + " " + std::to_string(p.cumulative_done);
    }
    case MessageId::kError:
      return "error " + std::to_string(m.wparam) + " " + m.text;
    case MessageId::kWarning:
      return "warning " + std::to_string(m.wparam) + " " + m.text;
    case MessageId::kQuestion:
      return "question " + std::to_string(m.wparam) + " " + m.text;
    case MessageId::kInstallPartDone:
      return "done " + std::to_string(m.wparam);
    case MessageId::kItemProgress:
      return "item " + std::to_string(m.wparam) + " " + m.text;
    case MessageId::kTotalProgress:
      return "total " + std::to_string(m.wparam);
    case MessageId::kTaskComplete:
      return "complete " + std::to_string(m.wparam);
    case MessageId::kBytesProgress:
      return "bytes " + std::to_string(m.wparam) + "/" + std::to_string(m.lparam);
    case MessageId::kWorkerDone:
      return "worker done";
    default:
      return "message " + std::to_string(ToNumber(m.id));
  }
}

inline std::vector<std::string> DescribeAll(const std::vector<Message>& messages) {
  std::vector<std::string> lines;
  for (const Message& m : messages) lines.push_back(Describe(m));
  return lines;
}

// Every entry below a folder: relative path -> kind, permission bits and bytes.
using Tree = std::map<std::string, std::string>;

inline void AddTree(const std::string& root, const std::string& relative, Tree& tree) {
  const std::string path = relative.empty() ? root : root + "/" + relative;
  auto names = platform::ListFolder(path);
  if (!names) return;
  for (const std::string& name : *names) {
    const std::string rel = relative.empty() ? name : relative + "/" + name;
    const std::string full = root + "/" + rel;
    auto facts = platform::GetFileFacts(full);
    if (platform::IsSymbolicLink(full)) {
      tree[rel] = "link";
    } else if (facts && facts->folder) {
      tree[rel] = "folder";
      AddTree(root, rel, tree);
    } else if (facts) {
      tree[rel] = "file " + std::to_string(PermissionBits(full)) + " " +
                  platform::ReadFile(full, 1 << 26).value_or("<unreadable>");
    }
  }
}

inline Tree Snapshot(const std::string& root) {
  Tree tree;
  AddTree(root, "", tree);
  return tree;
}

// Update records made in code.
inline CFileData& AddFile(const std::string& name, bool needed = true) {
  CFileData file;
  file.name = name;
  file.update_needed = needed;
  CUpdateFileData::Instance().files.push_back(std::move(file));
  return CUpdateFileData::Instance().files.back();
}

template <typename Action>
Action& AddAction(CFileData& file) {
  file.actions.push_back(Action{});
  return std::get<Action>(file.actions.back());
}

inline void AddCopy(CFileData& file, const std::string& from, const std::string& to,
                    bool overwrite = true) {
  auto& a = AddAction<CFileActionCopy>(file);
  a.old_location = from;
  a.new_location = to;
  a.overwrite = overwrite;
}

inline void AddDelete(CFileData& file, const std::string& location, bool ask = false) {
  auto& a = AddAction<CFileActionDelete>(file);
  a.location = location;
  a.ask_user = ask;
}

inline void AddRun(CFileData& file, const std::string& location, const std::string& parameters,
                   bool wait) {
  auto& a = AddAction<CFileActionRun>(file);
  a.location = location;
  a.parameters = parameters;
  a.wait = wait;
}

inline void AddUnzip(CFileData& file, const std::string& archive, const std::string& destination) {
  auto& a = AddAction<CFileActionUnzip>(file);
  a.location = archive;
  a.destination = destination;
}

inline void AddSetAttr(CFileData& file, const std::string& location, std::uint32_t attributes) {
  auto& a = AddAction<CFileActionSetFileAttr>(file);
  a.location = location;
  a.attributes = attributes;
}

inline void AddRegister(CFileData& file, const std::string& location, bool ask) {
  auto& a = AddAction<CFileActionRegister>(file);
  a.location = location;
  a.ask_user = ask;
}

}  // namespace install_test
