#pragma once
// Reads a parsed update file into CUpdateFileData and CEventTable.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

class CXmlDocument;

// How much longer than its text a value may grow by substitution: constants
// that expand into later constants cannot blow a value up.
inline constexpr std::size_t kMaxExpandedValueBytes = 64 * 1024;
// Deepest nesting of SECTION elements.
inline constexpr std::size_t kMaxSectionDepth = 32;

// Fills CUpdateFileData and CEventTable from the document, in the order
// CONSTANTS, HTMLMESSAGE, GENERAL, FEATURES, FILES, INI, REGISTRY, EVENTS,
// POPUPMENU, SHORTCUTS, SECTIONS. On a failure one line beginning with
// "UPDATEFILE PARSE ERROR: " is logged and false returned; records stored
// before it stay.
bool ParseUpdateFile(CXmlDocument& document);

// The substitution of update-file values: every constant in definition order,
// then the path variables. nullopt when the result would be longer than the
// text plus kMaxExpandedValueBytes, or when the text uses a folder placeholder
// whose folder is unknown (CUpdaterPaths::FirstUnknownPlaceholder): such a
// value fails the parse with "folder <placeholder> is unknown".
std::optional<std::string> ExpandValue(std::string_view text);

// The same for a value that names a path: after the constants and before the
// path variables, backslashes become the platform separator, unless the value
// is a web location (see IsUrlValue).
std::optional<std::string> ExpandPathValue(std::string_view text);

// True for a value that begins with "http", "ftp" or "www" (any letter case)
// or holds "://".
bool IsUrlValue(std::string_view text);
