#pragma once
// Puts a copy of a file in place of another one at once: the copy is written
// under a temporary name beside its destination, flushed to disk and renamed
// over the destination, so that the destination shows the old file or the
// whole new one, never a part.

#include <string>

#include "platform/status.h"

namespace platform {

// Which permissions the copy gets (special ones such as set-id are dropped).
enum class CopyPermissions {
  kFromSource,       // those of the source
  kKeepDestination,  // those of the regular file at the destination; the source's when there is
                     // none
};

// Copies the regular file source to destination. The source is never opened
// through a symbolic link: a link, folder or other special file there fails
// before the destination is touched. A file or symbolic link at destination is
// replaced by the rename, never written through; a folder there fails. The
// folder of destination must exist. On failure the destination is unchanged and
// the temporary file is removed; the status names the failing step.
Status ReplaceFileWithCopy(const std::string& source, const std::string& destination,
                           CopyPermissions permissions);

}  // namespace platform
