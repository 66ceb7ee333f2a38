#pragma once
// The actions that the update file attaches to the fixed moments of a run
// (EVENTS): one list of event actions per event name.

#include <array>
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

// Most actions of one event; the reader refuses an update file with more.
inline constexpr std::size_t kMaxEventActions = 1024;

// Event action type names (compared exactly).
inline constexpr char kEventActionRun[] = "run";
inline constexpr char kEventActionClose[] = "close";
inline constexpr char kEventActionSetMode[] = "setmode";
inline constexpr char kEventActionSkipNextTask[] = "skipnexttask";
inline constexpr char kEventActionStartNextTask[] = "startnexttask";
inline constexpr char kEventActionCloseApplication[] = "closeapplication";
inline constexpr char kEventActionShowNotifier[] = "shownotifier";

// The kinds of event action, one plain record each. EventAction holds one of
// them, so that a std::visit over an action must handle every kind.
struct CEventActionClose {};
struct CEventActionSkipNextTask {};
struct CEventActionStartNextTask {};

struct CEventActionRun {
  std::string location;    // path variables expanded
  std::string parameters;  // path variables expanded
};

struct CEventActionSetMode {
  std::string mode;
};

struct CEventActionCloseApplication {
  std::string title;
  std::string file_name;
  bool ask_user = true;
};

struct CEventActionShowNotifier {
  std::string title;
  std::string description;
};

using EventAction =
    std::variant<CEventActionRun, CEventActionClose, CEventActionSetMode, CEventActionSkipNextTask,
                 CEventActionStartNextTask, CEventActionCloseApplication, CEventActionShowNotifier>;

// The type name of an action as the update file writes it.
const char* EventActionTypeName(const EventAction& action);

// The actions of one event, in document order.
struct CEventData {
  std::vector<EventAction> actions;  // at most kMaxEventActions
};

// Every event name, in table order.
inline constexpr std::array<std::string_view, 15> kEventNames = {
    "ONNEWVERSION",  "ONNONEWVERSION",     "BEFOREHTMLMESSAGE", "AFTERHTMLMESSAGE", "BEFORELICENSE",
    "AFTERLICENSE",  "BEFORESELECTUPDATE", "AFTERSELECTUPDATE", "BEFOREDOWNLOAD",   "AFTERDOWNLOAD",
    "BEFOREINSTALL", "AFTERINSTALL",       "BEFOREROLLBACK",    "AFTERROLLBACK",    "ONCLOSE"};

class CEventTable {
 public:
  // The process-wide table, created empty on first use.
  static CEventTable& Instance();
  // Replaces the process-wide table by an empty one (tests).
  static void ResetInstance();

  // The event of a name (exact, case-sensitive); nullptr for any other name.
  CEventData* Find(std::string_view event_name);
  const CEventData* Find(std::string_view event_name) const;
  // The event at a position of kEventNames.
  CEventData& At(std::size_t index) { return events_.at(index); }
  const CEventData& At(std::size_t index) const { return events_.at(index); }

 private:
  std::array<CEventData, kEventNames.size()> events_;
};
