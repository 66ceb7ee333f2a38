#pragma once
// Small rules of downloads: the time stamp of resume files and names taken
// from URLs. The progress weights are in progress_weights.h.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "updater/tasks/progress_weights.h"

// The stamp of an unknown modification time.
inline constexpr std::string_view kUnknownResumeStamp = "19700101000000";

// The resume-file stamp of a modification time (seconds since the epoch):
// "%Y%m%d%H%M%S" of the local time; the unknown stamp when the time is unknown
// (negative) or cannot be converted.
std::string ResumeStamp(std::int64_t modified);
// The bytes of a resume file: the 14-digit stamp as UTF-16LE without byte-order
// mark or terminator (28 bytes).
std::string ResumeFileBytes(std::string_view stamp);
// The stamp held by resume-file bytes; nullopt unless they are 14 ASCII digits
// in UTF-16LE.
std::optional<std::string> ParseResumeFile(std::string_view bytes);
// The resume file of a download path.
inline std::string ResumeFilePath(const std::string& path) { return path + ".rsm"; }
// The stamp of the resume file of path when path and its resume file exist,
// the resume file can be read and its stamp is not the unknown one.
std::optional<std::string> KnownResumeStamp(const std::string& path);
// True when the resume file of path exists, is readable and holds the stamp of
// the remote modification time, and that stamp is not the unknown one. The
// download itself must exist as well.
bool IsResumeFileValid(const std::string& path, std::int64_t remote_modified);

// "%04d-%02d-%02d" of the local time of a moment; "1970-01-01" when unknown.
std::string FormatRemoteDate(std::int64_t modified);
// "%04d-%02d-%02d/%02d:%02d:%02d"; "1970-01-01/00:00:00" when unknown.
std::string FormatRemoteDateTime(std::int64_t modified);

// The last component of a URL as the download log shows it: the text after the
// last backslash, then after the last slash.
std::string UrlLastComponent(std::string_view url);

// A file name made from a URL for storing a download: the last path component
// without query and fragment, with control characters replaced by '_'. Never
// empty, ".", ".." or a path: those give the fallback.
std::string FileNameFromUrl(std::string_view url, std::string_view fallback = "download");
