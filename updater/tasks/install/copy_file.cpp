#include "updater/tasks/install/copy_file.h"

#include <optional>
#include <vector>

#include "platform/atomic_file_writer.h"
#include "platform/file_attributes.h"
#include "platform/file_reader.h"
#include "platform/file_system.h"
#include "platform/path.h"
#include "updater/core/updater_log.h"
#include "updater/core/updater_paths.h"
#include "updater/tasks/progress_weights.h"

namespace {

void Log(const std::string& line) { CUpdaterLog::Instance().WriteLine(line); }

constexpr std::size_t kChunkBytes = 64 * 1024;

// The folder that holds the file, or "" when the path names none.
}  // namespace

CCopyFile::CCopyFile(CChangeJournal* journal)
    : CTaskThread(TaskId::kInstall), journal_(journal ? *journal : CChangeJournal::Instance()) {}

CCopyFile::~CCopyFile() { Stop(); }

void CCopyFile::Start() {
  Log("CCopyFile::InitInstance");
  CTaskThread::Start();
}

void CCopyFile::Stop() {
  cancel_ = true;
  CTaskThread::Stop();
}

void CCopyFile::OnEnd() { Log("CCopyFile::ExitInstance"); }

void CCopyFile::Copy(const std::string& source, const std::string& destination,
                     bool fail_if_exists) {
  Message start = MakeMessage(MessageId::kWorkerStart, fail_if_exists ? 1 : 0, 0,
                              platform::NormalizeSeparators(source),
                              platform::NormalizeSeparators(destination));
  Post(std::move(start));
}

void CCopyFile::OnMessage(const Message& message) {
  if (message.id != MessageId::kWorkerStart) return;
  Run(message);
  EndThread();
}

void CCopyFile::Fail(UpdateError code, const std::string& path, const std::string& reason) {
  PostToOwner(MakeError(code, path, ErrorDetail{0, reason, path}));
}

void CCopyFile::Run(const Message& message) {
  const std::string& source = message.text;
  const std::string& destination = message.text2;
  const bool fail_if_exists = message.wparam != 0;

  std::optional<platform::FileFacts> old = platform::GetFileFacts(destination);
  if (old && fail_if_exists) {
    Log("copy: " + destination + " exists and is kept");
    PostToOwner(MakeMessage(MessageId::kWorkerDone));
    return;
  }
  std::optional<platform::FileFacts> from = platform::GetFileFacts(source);
  if (!from) {
    Log("copy: source " + source + " not found");
    return Fail(UpdateError::kFileNotFound, source, "the file does not exist");
  }
  if (platform::IsSameFile(source, destination)) {
    Log("copy: " + source + " is already in place");
    PostToOwner(MakeMessage(MessageId::kWorkerDone));
    return;
  }
  if (!from->regular) {
    Log("copy: " + source + " is not a regular file");
    return Fail(UpdateError::kCopyFailed, source, "not a regular file");
  }

  std::string folder = platform::FolderOf(destination);
  if (!folder.empty() && !platform::FolderExists(folder)) {
    platform::Status made = journal_.RecordFolderCreate(folder);
    if (made) made = platform::CreateFolders(folder);
    if (!made) {
      Log("copy: cannot create the folder " + folder + ": " + made.message());
      return Fail(UpdateError::kWriteFailed, destination, made.message());
    }
  }
  platform::Status recorded = journal_.RecordFileReplace(destination);
  if (!recorded) {
    Log("copy: cannot record the change of " + destination + ": " + recorded.message());
    return Fail(UpdateError::kWriteFailed, destination, recorded.message());
  }

  platform::FileReader reader;
  platform::Status opened = reader.Open(source);
  if (!opened) {
    Log("copy: " + opened.message());
    return Fail(UpdateError::kCopyFailed, source, opened.message());
  }
  platform::AtomicFileWriter writer;
  // The temporary name is recorded first, so that a killed run leaves no part of a file behind.
  platform::Status created = writer.Open(destination, [this](const std::string& temporary) {
    return journal_.RecordTemporaryFile(temporary);
  });
  if (!created) {
    Log("copy: " + created.message());
    return Fail(UpdateError::kWriteFailed, destination, created.message());
  }

  const std::int64_t length = static_cast<std::int64_t>(reader.Size());
  const int weight = SizeWeight(length);
  int reported = 0;
  std::int64_t done = 0;
  std::vector<char> buffer(kChunkBytes);
  for (;;) {
    if (cancel_) {
      Log("copy: cancelled, " + destination + " is unchanged");
      return;
    }
    std::optional<std::size_t> n = reader.Read(buffer.data(), buffer.size());
    if (!n) {
      Log("copy: cannot read " + source);
      return Fail(UpdateError::kCopyFailed, source, "the file cannot be read");
    }
    if (*n == 0) break;
    platform::Status written = writer.Write(std::string_view(buffer.data(), *n));
    if (!written) {
      Log("copy: " + written.message());
      return Fail(UpdateError::kCopyFailed, destination, written.message());
    }
    done += static_cast<std::int64_t>(*n);
    int units = ProgressUnits(done, length, weight);
    if (units != reported) {
      reported = units;
      PostToOwner(MakeMessage(MessageId::kBytesProgress, units, weight));
    }
  }
  // The copy keeps the permissions of the file it replaces, else the source's.
  platform::Status committed = writer.CommitAsCopyOf(source, from->modification_time);
  if (!committed) {
    Log("copy: " + committed.message());
    return Fail(UpdateError::kWriteFailed, destination, committed.message());
  }
  PostToOwner(MakeMessage(MessageId::kWorkerDone));
}
