#pragma once
// Path texts: the string rules for the parts of a path. Pure text, no access to
// the file system. A separator is the platform separator, the backslash
// (IsPathSeparator) or the slash: files and addresses written for either
// system keep working.
//
// The edge cases, the same for every caller:
//
//   path          FolderOf     FileNameOf   WithoutTrailingSeparators
//   ""            ""           ""           ""
//   "name"        ""           "name"       "name"        (no separator: no folder)
//   "/"           "/"          ""           "/"           (the root stays the root)
//   "/name"       "/"          "name"       "/name"
//   "a/b/name"    "a/b"        "name"       "a/b/name"
//   "a/b/"        "a/b"        ""           "a/b"         (trailing separator: the folder itself)
//   "a\b\name"    "a\b"        "name"       "a\b\name"

#include <string>
#include <string_view>

namespace platform {

// True for the separators named above.
bool IsAnyPathSeparator(char c);

// True for a path that does not depend on the current folder: one that
// begins with a separator, and on Windows also one that begins with a drive
// ("C:\\" or "C:/").
bool IsAbsolutePath(std::string_view path);

// The text before the last separator; "" when there is none; the separator
// itself when the only one is the first character (the root).
std::string FolderOf(std::string_view path);

// The text after the last separator; the whole text when there is none.
std::string FileNameOf(std::string_view path);

// The path without trailing separators; a path of separators only keeps one.
std::string WithoutTrailingSeparators(std::string_view path);

// folder, one platform separator and name. A separator at the end of folder is
// not doubled; an empty folder gives name unchanged.
std::string JoinPath(std::string_view folder, std::string_view name);

// Resolves "." and ".." of an absolute path in platform form (components are
// split at the platform separator only) lexically: empty and "." components
// are dropped, ".." drops the component before it (never above the root). The
// result uses the platform separator, keeps a trailing separator and is "/"
// for the root itself. A relative path is resolved as if it began at the root.
std::string CollapseDots(std::string_view absolute);

}  // namespace platform
