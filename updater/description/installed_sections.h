#pragma once
// CInstalledSections: the versions of the application's sections that are
// installed, kept in "sections_<application name>.xml" beside the updater.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

struct InstalledSection {
  std::string name;
  std::string version;

  bool operator==(const InstalledSection&) const = default;
};

class CInstalledSections {
 public:
  // Entries read from a file; further SECTION elements are ignored.
  static constexpr std::size_t kMaxFileEntries = 1024;

  // The process-wide table, created empty on first use.
  static CInstalledSections& Instance();
  // Empties the process-wide table (tests).
  static void ResetInstance();

  // Appends an entry (name and version as written) for every SECTION child of
  // the file's first top-level SECTIONS element. A missing or unreadable file,
  // or one without SECTIONS, adds nothing.
  void Load(const std::string& path);
  // The version of the first entry whose name equals the lower-cased name
  // exactly; "0.0.0.0" when there is none. Entries read with upper-case letters
  // in their names are never found.
  std::string GetVersion(std::string_view name) const;
  // Replaces the version of the entry with the lower-cased name, or appends one.
  // A version set during a run is always kept, even beyond kMaxFileEntries.
  void SetVersion(std::string_view name, std::string_view version);
  // Writes the table as UTF-8 XML, atomically (the old file stays intact when
  // the write fails). An empty table writes nothing and leaves an existing file
  // as it is. False when the file could not be written.
  bool Save(const std::string& path) const;

  const std::vector<InstalledSection>& Entries() const { return entries_; }
  void Clear() { entries_.clear(); }

 private:
  std::vector<InstalledSection> entries_;
};

// "sections_" + application name + ".xml"; separators in the name become "_",
// so that the file stays in the updater's folder.
std::string InstalledSectionsFileName(std::string_view application_name);
// The file of the process-wide table: the updater's folder followed by
// InstalledSectionsFileName of the settings' application name.
std::string InstalledSectionsPath();
