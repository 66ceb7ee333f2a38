// Zip extraction: the archive is extracted into a fresh folder deep inside a
// scratch tree; afterwards the tree holds nothing but the archive and what
// lies below the destination, and no symbolic link anywhere.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "platform/file_system.h"
#include "updater/tasks/install/zip_extractor.h"

namespace {

// Every path below the folder (depth first), links not followed.
void Collect(const std::string& folder, std::vector<std::string>& paths, int depth) {
  FuzzCheck(depth < 64, "extraction nests too deep: " + folder);
  std::optional<std::vector<std::string>> names = platform::ListFolder(folder);
  if (!names) return;
  for (const std::string& name : *names) {
    const std::string path = folder + "/" + name;
    paths.push_back(path);
    FuzzCheck(!platform::IsSymbolicLink(path), "a symbolic link was made: " + path);
    if (platform::FolderExists(path)) Collect(path, paths, depth + 1);
  }
}

bool Below(const std::string& path, const std::string& folder) {
  return path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 &&
         path[folder.size()] == '/';
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > kMaxFuzzInputBytes) return 0;
  const std::string root = ScratchFolder() + "/zip";
  platform::RemoveTree(root);
  const std::string nest = root + "/a/b/c";
  const std::string destination = nest + "/out";
  const std::string flat = nest + "/flat";
  FuzzCheck(static_cast<bool>(platform::CreateFolders(nest)), "scratch folder");
  const std::string archive = nest + "/archive.zip";
  FuzzCheck(static_cast<bool>(platform::WriteFileAtomic(
                archive, InputText(data, size), platform::FilePermissions::kNormal,
                platform::ExistingPermissions::kKeep, platform::Durability::kThisRun)),
            "archive written");

  ZipExtractorLimits limits;
  limits.max_entries = 1000;
  limits.max_total_bytes = 64ULL << 20;
  CZipExtractor extractor(limits);
  extractor.SetFreeSpaceSource(
      [](const std::string&) { return std::optional<std::uint64_t>(1ULL << 40); });
  if (extractor.Open(archive)) {
    (void)extractor.ExtractAll(destination);
    // Each file entry by its last component only, as ignore_paths does.
    for (bool more = extractor.GotoFirstFile(); more; more = extractor.GotoNextFile())
      (void)extractor.UnzipFile(flat, true);
    extractor.Close();
  }

  std::vector<std::string> paths;
  Collect(root, paths, 0);
  for (const std::string& path : paths) {
    const bool allowed = path == root + "/a" || path == root + "/a/b" || path == nest ||
                         path == archive || path == destination || path == flat ||
                         Below(path, destination) || Below(path, flat);
    FuzzCheck(allowed, "written outside the destination: " + path);
    // Folder entries make folders there too, but every file lies directly in it.
    if (Below(path, flat) && !platform::FolderExists(path))
      FuzzCheck(path.find('/', flat.size() + 1) == std::string::npos,
                "ignore_paths wrote a file into a subfolder: " + path);
  }
  platform::RemoveTree(root);
  return 0;
}
