#pragma once
// The change journal's file: what a run has changed, on disk before the change
// is made, so that the next start can undo the changes of a run that was
// killed. It is read back at start-up, so it is treated as outside input:
// bounded and checked record by record.
//
//   velmora change journal 1\n          the header, with the format's version
//   <record>\n ...                      one line per change, appended in order
//
// A record is the kind's number (ChangeKind) followed by ten fields, each after
// one blank: path, backup, group, key, old INI text, registry root (its
// number), subkey, value name, old registry type (its number), old registry
// data. A field is "-" when absent, else "<decimal length>:<bytes>", so paths
// and data may hold any byte, line ends included. Reading stops at the first
// record that is cut short or does not check out (a record being written when
// the process died): the change it describes was not made.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "updater/tasks/rollback/change_journal.h"

inline constexpr char kChangeJournalHeader[] = "velmora change journal 1\n";
// The largest journal file read back.
inline constexpr std::uint64_t kMaxChangeJournalFileBytes = std::uint64_t{1} << 30;

// The record's line, its "\n" included.
std::string EncodeChangeRecord(const ChangeRecord& change);

struct DecodedChangeJournal {
  bool header_ok = false;
  std::vector<ChangeRecord> changes;
  std::size_t ignored_bytes = 0;  // after the last record that checked out
};

// Reads a journal file's bytes. A backup must be a file directly inside
// backups_folder; at most max_changes records are taken.
DecodedChangeJournal DecodeChangeJournal(std::string_view bytes, const std::string& backups_folder,
                                         std::size_t max_changes);
