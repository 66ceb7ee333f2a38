#pragma once
// The start of a run's change journal: the journal is kept on disk in a
// folder of its own per application, outside the temporary folders that the
// start-up empties, and a journal left there by a run that was killed is
// undone before the new run does anything else.

#include <string>

#include "updater/tasks/rollback/change_journal.h"

// The journal folder of an application: <user state folder>/velmora/journal/<name>.
std::string ChangeJournalFolder(const std::string& application_name);

// Opens the journal in folder; when it finds the changes of a run that did not
// end, undoes them (last first, components unregistered) and logs it as the
// rollback of an interrupted run. False when the journal cannot be opened (the
// run then keeps its journal in memory only; that is logged).
bool OpenJournalAndRecover(CChangeJournal& journal, const std::string& folder);
