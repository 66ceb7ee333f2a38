# Checks the platform boundary (run with cmake -DSOURCE_DIR=<root> -P):
# - the interfaces platform/*.h name no file descriptor, permission bits,
#   POSIX type or header: they say what is meant and platform/posix/ maps it;
# - no code above platform/ opens files with the standard streams or fopen,
#   which on Windows would take UTF-8 paths through the ANSI code page.
set(failures "")

file(GLOB interfaces ${SOURCE_DIR}/platform/*.h)
set(posix_words
    "[^a-z_](mode_t|pid_t|uid_t|gid_t|off_t|ssize_t)[^a-z_]"
    "[^a-zA-Z_]fd_?[^a-zA-Z_]"
    "[^0-9a-zA-Z_.]0[0-7][0-7][0-7][^0-9]"
    "S_I[RWX](USR|GRP|OTH)"
    "#include <(unistd|fcntl|signal|dirent|pwd|sys/[a-z_]+)\\.h>")
foreach(header IN LISTS interfaces)
  file(STRINGS ${header} lines)
  set(number 0)
  foreach(line IN LISTS lines)
    math(EXPR number "${number} + 1")
    foreach(word IN LISTS posix_words)
      if(" ${line} " MATCHES "${word}")
        string(APPEND failures "${header}:${number}: POSIX in an interface: ${line}\n")
      endif()
    endforeach()
  endforeach()
endforeach()

file(GLOB_RECURSE above ${SOURCE_DIR}/updater/*.h ${SOURCE_DIR}/updater/*.cpp
     ${SOURCE_DIR}/tolvaric/*.h ${SOURCE_DIR}/tolvaric/*.cpp
     ${SOURCE_DIR}/starter/*.h ${SOURCE_DIR}/starter/*.cpp)
foreach(source IN LISTS above)
  file(STRINGS ${source} lines)
  set(number 0)
  foreach(line IN LISTS lines)
    math(EXPR number "${number} + 1")
    if(line MATCHES "std::(i|o)?fstream|[^a-z_]fopen\\(|#include <fstream>")
      string(APPEND failures "${source}:${number}: a file stream above platform/: ${line}\n")
    endif()
  endforeach()
endforeach()

if(failures)
  message(FATAL_ERROR "${failures}")
endif()
