#include "platform/win32/native_file.h"

#include <aclapi.h>
#include <sddl.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <random>

namespace platform {
namespace {

// The SID of the user the process runs as, as text ("S-1-5-21-...").
std::wstring CurrentUserSid() {
  HANDLE raw = nullptr;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &raw)) return {};
  UniqueHandle token(raw);
  DWORD size = 0;
  ::GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
  if (size == 0) return {};
  auto buffer = std::make_unique<unsigned char[]>(size);
  if (!::GetTokenInformation(token.get(), TokenUser, buffer.get(), size, &size)) return {};
  auto* user = reinterpret_cast<TOKEN_USER*>(buffer.get());
  wchar_t* text = nullptr;
  if (!::ConvertSidToStringSidW(user->User.Sid, &text)) return {};
  std::wstring sid = text;
  ::LocalFree(text);
  return sid;
}

// A protected list (nothing inherited) granting the user and the system full access.
class PrivateSecurity {
 public:
  PrivateSecurity() {
    const std::wstring sid = CurrentUserSid();
    if (sid.empty()) return;
    const std::wstring text = L"D:P(A;;FA;;;" + sid + L")(A;;FA;;;SY)";
    ::ConvertStringSecurityDescriptorToSecurityDescriptorW(text.c_str(), SDDL_REVISION_1,
                                                           &descriptor_, nullptr);
  }
  ~PrivateSecurity() {
    if (descriptor_) ::LocalFree(descriptor_);
  }
  PrivateSecurity(const PrivateSecurity&) = delete;
  PrivateSecurity& operator=(const PrivateSecurity&) = delete;

  PSECURITY_DESCRIPTOR descriptor() const { return descriptor_; }

 private:
  PSECURITY_DESCRIPTOR descriptor_ = nullptr;
};

}  // namespace

HANDLE CreateNativeFile(const std::string& path, DWORD access, DWORD share, DWORD disposition,
                        FilePermissions permissions, bool no_follow) {
  SECURITY_ATTRIBUTES attributes{};
  attributes.nLength = sizeof attributes;
  attributes.bInheritHandle = FALSE;
  PrivateSecurity security;
  if (permissions == FilePermissions::kPrivate)
    attributes.lpSecurityDescriptor = security.descriptor();
  DWORD flags = FILE_ATTRIBUTE_NORMAL;
  if (no_follow) flags |= FILE_FLAG_OPEN_REPARSE_POINT;
  return ::CreateFileW(WidePath(path).c_str(), access, share, &attributes, disposition, flags,
                       nullptr);
}

Status ApplyPermissions(HANDLE file, const std::string& path, FilePermissions permissions) {
  if (permissions != FilePermissions::kPrivate) return Status::Ok();
  PrivateSecurity security;
  if (!security.descriptor())
    return Status::Fail("cannot describe the access of '" + path + "' for this user");
  BOOL present = FALSE;
  BOOL defaulted = FALSE;
  PACL list = nullptr;
  if (!::GetSecurityDescriptorDacl(security.descriptor(), &present, &list, &defaulted))
    return Failure("cannot read the access list for", path, ::GetLastError());
  DWORD result = ::SetSecurityInfo(file, SE_FILE_OBJECT,
                                   DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
                                   nullptr, nullptr, list, nullptr);
  if (result != ERROR_SUCCESS) return Failure("cannot restrict the access of", path, result);
  return Status::Ok();
}

Status SetReadOnlyAttribute(const std::string& path, bool read_only) {
  const std::wstring wide = WidePath(path);
  DWORD attributes = ::GetFileAttributesW(wide.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return Failure("cannot find", path, ::GetLastError());
  DWORD wanted = read_only ? (attributes | FILE_ATTRIBUTE_READONLY)
                           : (attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
  if (wanted == attributes) return Status::Ok();
  if (wanted == 0) wanted = FILE_ATTRIBUTE_NORMAL;
  if (!::SetFileAttributesW(wide.c_str(), wanted))
    return Failure("cannot change the attributes of", path, ::GetLastError());
  return Status::Ok();
}

void InheritFolderAccess(const std::string& path) {
  std::wstring wide = WidePath(path);
  ACL empty{};
  if (!::InitializeAcl(&empty, sizeof empty, ACL_REVISION)) return;
  // An empty list that is not protected: only the inherited entries remain.
  ::SetNamedSecurityInfoW(wide.data(), SE_FILE_OBJECT,
                          DACL_SECURITY_INFORMATION | UNPROTECTED_DACL_SECURITY_INFORMATION,
                          nullptr, nullptr, &empty, nullptr);
}

void CopyAccess(const std::string& from, const std::string& to) {
  std::wstring source = WidePath(from);
  PACL list = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (::GetNamedSecurityInfoW(source.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                              nullptr, &list, nullptr, &descriptor) != ERROR_SUCCESS)
    return;
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  DWORD revision = 0;
  ::GetSecurityDescriptorControl(descriptor, &control, &revision);
  const SECURITY_INFORMATION protection = (control & SE_DACL_PROTECTED) != 0
                                              ? PROTECTED_DACL_SECURITY_INFORMATION
                                              : UNPROTECTED_DACL_SECURITY_INFORMATION;
  std::wstring target = WidePath(to);
  ::SetNamedSecurityInfoW(target.data(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION | protection,
                          nullptr, nullptr, list, nullptr);
  ::LocalFree(descriptor);
}

bool WriteAllBytes(HANDLE file, std::string_view bytes) {
  while (!bytes.empty()) {
    const DWORD piece = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 30));
    DWORD written = 0;
    if (!::WriteFile(file, bytes.data(), piece, &written, nullptr) || written == 0) return false;
    bytes.remove_prefix(written);
  }
  return true;
}

std::string TemporaryNameBeside(const std::string& path) {
  static thread_local std::mt19937_64 rng{std::random_device{}()};
  char name[40];
  std::snprintf(name, sizeof name, ".velmora-%016llx.tmp", static_cast<unsigned long long>(rng()));
  return JoinPath(FolderToOpen(path), name);
}

Status ReplaceByRename(const std::string& source, const std::string& destination) {
  const std::wstring to = WidePath(destination);
  const DWORD existing = ::GetFileAttributesW(to.c_str());
  if (existing != INVALID_FILE_ATTRIBUTES && (existing & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
      (existing & FILE_ATTRIBUTE_REPARSE_POINT) == 0)
    return Status::Fail("the destination is a folder: '" + destination + "'");
  if (existing != INVALID_FILE_ATTRIBUTES && (existing & FILE_ATTRIBUTE_READONLY) != 0)
    ::SetFileAttributesW(to.c_str(), existing & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
  if (!::MoveFileExW(WidePath(source).c_str(), to.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    const DWORD error = ::GetLastError();
    if (existing != INVALID_FILE_ATTRIBUTES && (existing & FILE_ATTRIBUTE_READONLY) != 0)
      ::SetFileAttributesW(to.c_str(), existing);
    return Failure("cannot replace", destination, error);
  }
  return Status::Ok();
}

UniqueHandle OpenForAttributes(const std::string& path) {
  if (path.empty()) return UniqueHandle();
  return UniqueHandle(::CreateFileW(WidePath(path).c_str(), FILE_READ_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
}

bool IsRegularFileHandle(HANDLE file) {
  if (::GetFileType(file) != FILE_TYPE_DISK) return false;
  BY_HANDLE_FILE_INFORMATION info{};
  if (!::GetFileInformationByHandle(file, &info)) return false;
  return (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == 0;
}

}  // namespace platform
