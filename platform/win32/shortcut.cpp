#include "platform/shortcut.h"

#include "platform/file_system.h"
#include "platform/path.h"
#include "platform/utf8.h"
#include "platform/win32/wide.h"
//
#include <objbase.h>
#include <objidl.h>
#include <shlobj.h>
#include <shobjidl.h>

namespace platform {
namespace {

constexpr char kLinkEnding[] = ".lnk";

// COM for the calling thread for as long as the object lives.
class ComScope {
 public:
  ComScope() : result_(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
  ~ComScope() {
    if (SUCCEEDED(result_)) ::CoUninitialize();
  }
  ComScope(const ComScope&) = delete;
  ComScope& operator=(const ComScope&) = delete;
  // Usable also when another part of the thread chose the other apartment.
  bool usable() const { return SUCCEEDED(result_) || result_ == RPC_E_CHANGED_MODE; }

 private:
  HRESULT result_;
};

template <typename Interface>
class ComPointer {
 public:
  ComPointer() = default;
  ~ComPointer() {
    if (pointer_) pointer_->Release();
  }
  ComPointer(const ComPointer&) = delete;
  ComPointer& operator=(const ComPointer&) = delete;
  Interface** out() { return &pointer_; }
  Interface* operator->() const { return pointer_; }
  Interface* get() const { return pointer_; }

 private:
  Interface* pointer_ = nullptr;
};

std::string HresultText(HRESULT result) { return ErrorText(static_cast<DWORD>(result)); }

}  // namespace

// A shell link always ends in ".lnk": that ending (any case) is kept, a
// ".desktop" ending is replaced and any other name gets ".lnk" appended.
std::string ShortcutFilePath(const std::string& link_file) {
  std::string path = NormalizeSeparators(link_file);
  const std::string folded = FoldCase(path);
  if (folded.ends_with(kLinkEnding)) return path;
  if (folded.ends_with(".desktop")) path.resize(path.size() - 8);
  return path + kLinkEnding;
}

// A shell link has no text form.
std::optional<std::string> FormatShortcutEntry(const ShortcutDefinition&) { return std::nullopt; }

// The shell's link object (IShellLinkW) saved through IPersistFile. The
// parameters are handed on as the text they are.
Status CreateShortcut(const ShortcutDefinition& definition) {
  const std::string path = ShortcutFilePath(definition.link_file);
  if (definition.target.empty())
    return Status::Fail("the shortcut '" + definition.link_file + "' has no target");
  if (Status created = CreateFolders(FolderOf(path)); !created) return created;
  ComScope com;
  if (!com.usable()) return Status::Fail("cannot start COM for the shortcut '" + path + "'");
  ComPointer<IShellLinkW> link;
  HRESULT result = ::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                      IID_IShellLinkW, reinterpret_cast<void**>(link.out()));
  if (FAILED(result))
    return Status::Fail("cannot make the shortcut '" + path + "': " + HresultText(result));
  const std::wstring target = WidePath(definition.target);
  result = link->SetPath(target.c_str());
  if (SUCCEEDED(result)) result = link->SetArguments(Widen(definition.parameters).c_str());
  if (SUCCEEDED(result) && !definition.description.empty())
    result = link->SetDescription(Widen(definition.description).c_str());
  if (SUCCEEDED(result)) result = link->SetShowCmd(definition.show_mode);
  if (SUCCEEDED(result) && !definition.working_folder.empty())
    result = link->SetWorkingDirectory(WidePath(definition.working_folder).c_str());
  if (SUCCEEDED(result) && !definition.icon_file.empty() && definition.icon_index >= 0)
    result = link->SetIconLocation(WidePath(definition.icon_file).c_str(), definition.icon_index);
  if (FAILED(result))
    return Status::Fail("cannot fill the shortcut '" + path + "': " + HresultText(result));
  ComPointer<IPersistFile> file;
  result = link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(file.out()));
  if (SUCCEEDED(result)) result = file->Save(WidePath(path).c_str(), TRUE);
  if (FAILED(result))
    return Status::Fail("cannot save the shortcut '" + path + "': " + HresultText(result));
  return Status::Ok();
}

}  // namespace platform
