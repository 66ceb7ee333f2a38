#pragma once
// Version texts and the facts of an installed file that the check for a new
// version compares: file version, modification date and MD5 digest.

#include <cstdint>
#include <string>
#include <string_view>

// Results of CompareVersions.
inline constexpr std::int32_t kVersionEqual = 0;
inline constexpr std::int32_t kVersionNewer = 1;
inline constexpr std::int32_t kVersionOlder = 2;

// Positions that CompareVersions looks at; parts after the 50th are ignored.
inline constexpr int kMaxVersionParts = 50;

// The version of a file that has none, and of a missing file.
inline constexpr char kNoFileVersion[] = "0.0.0.0";
// GetFileDate and GetFileDateTime of a missing file.
inline constexpr char kMissingFileDate[] = "1970-01-01";
inline constexpr char kMissingFileDateTime[] = "1970-01-01/00:00:00";

// Compares two version texts: kVersionNewer when a is newer than b,
// kVersionOlder when older, kVersionEqual when equal.
//
// Each text is split at one separator, the first of ". , _ | - blank" (in this
// order of preference) that occurs in it; a text with none of them is one part.
// Blanks inside a part are removed, and the part is read as the C library reads
// a decimal number (leading white space, a sign, digits up to the first other
// character; no digits give 0), so "0beta" and "rc1" read as 0. A number
// beyond the 32-bit range reads as the nearest 32-bit limit, so hostile texts
// never overflow: two parts that both exceed 2147483647 compare equal. A missing
// part counts as 0 ("1.0" equals "1.0.0.0"). Only the first kMaxVersionParts
// positions are compared.
std::int32_t CompareVersions(std::string_view a, std::string_view b);

// The "FileVersion" string of the file's version resource, as written there;
// kNoFileVersion when the file is missing or has no version resource, "" when
// the resource lacks the string.
std::string GetFileVersionString(const std::string& path);

// The local date of the file's last modification, "YYYY-MM-DD";
// kMissingFileDate when the file is missing.
std::string GetFileDate(const std::string& path);
// The same with the time, "YYYY-MM-DD/hh:mm:ss"; kMissingFileDateTime when
// the file is missing. Texts of both forms sort chronologically.
std::string GetFileDateTime(const std::string& path);

// The MD5 digest of the file as 32 lower-case hexadecimal digits. The file is
// read in chunks, never whole. "" when the file is missing, cannot be read, or
// holds no bytes.
std::string GetFileDigest(const std::string& path);
