#pragma once
// CInstallIni: the second sub-worker of the install task. It writes every INI
// item of the update file into its INI file, recording each change in the
// change journal first, and reports one progress unit per item.
//
// It runs as CInstallItemWorker describes, with part INSTALL_PART_INI; the
// error text is the item text, or the INI file's name when the value could
// not be written.

#include <cstddef>
#include <string>

#include "updater/tasks/install/install_item_worker.h"

class CInstallIni : public CInstallItemWorker {
 public:
  // journal: where changes are recorded; nullptr takes the process-wide one.
  explicit CInstallIni(CChangeJournal* journal = nullptr);
  ~CInstallIni() override;

 protected:
  std::string WriteItem(std::size_t index) override;
  std::size_t ItemCount() const override;
};
