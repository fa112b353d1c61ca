#include "platform/sim/SimFiles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "base/StrUtils.h"

namespace fs = std::filesystem;

namespace sim {

using plat::FindEntry;
using plat::kInvalidAttributes;

namespace {

// The system's messages for the failures a program sees most.
const char* const kFileNotFound = "The system cannot find the file specified.";
const char* const kPathNotFound = "The system cannot find the path specified.";
const char* const kAccessDenied = "Access is denied.";
const char* const kSharingViolation = "The process cannot access the file because it is being used by another process.";
const char* const kBadName = "The filename, directory name, or volume label syntax is incorrect.";

bool ValidName(const std::string& name) {
  for (unsigned char c : name)
    if (c < 32 || std::string("<>:\"|?*").find(static_cast<char>(c)) != std::string::npos) return false;
  return true;
}

std::string ToBackslashes(std::string s) {
  std::replace(s.begin(), s.end(), '/', '\\');
  return s;
}

std::string Parent(const std::string& hostPath) {
  size_t i = hostPath.rfind('/');
  return i == std::string::npos ? "" : hostPath.substr(0, i);
}

bool IsHostDir(const std::string& hostPath) {
  std::error_code ec;
  return !hostPath.empty() && fs::is_directory(hostPath, ec);
}

void SetError(std::string* error, const char* text) {
  if (error) *error = text;
}

class SimFile : public plat::IFile {
 public:
  SimFile(std::FILE* f, std::string hostPath, std::shared_ptr<SimFiles::State> state)
      : f_(f), host_(std::move(hostPath)), key_(LowerCase(host_)), state_(std::move(state)) {
    ++state_->open[key_];
  }
  ~SimFile() override {
    std::fclose(f_);
    if (--state_->open[key_] <= 0) state_->open.erase(key_);
  }
  uint64_t Size() override {
    std::fflush(f_);
    std::error_code ec;
    auto s = fs::file_size(host_, ec);
    return ec ? 0 : s;
  }
  bool Seek(uint64_t pos) override {
    lastWrite_ = false;
    return fseeko(f_, static_cast<off_t>(pos), SEEK_SET) == 0;
  }
  size_t Read(void* buf, size_t n) override {
    // C streams need a positioning call between writing and reading.
    if (lastWrite_) std::fseek(f_, 0, SEEK_CUR);
    lastWrite_ = false;
    return std::fread(buf, 1, n, f_);
  }
  bool Write(const void* buf, size_t n) override {
    if (state_->WriteDenied(host_)) return false;
    if (!lastWrite_) std::fseek(f_, 0, SEEK_CUR);
    lastWrite_ = true;
    return std::fwrite(buf, 1, n, f_) == n && std::fflush(f_) == 0;
  }

 private:
  std::FILE* f_;
  std::string host_, key_;
  std::shared_ptr<SimFiles::State> state_;
  bool lastWrite_ = false;
};

}  // namespace

bool SimFiles::State::WriteDenied(const std::string& hostPath) const {
  const std::string p = LowerCase(hostPath);
  for (auto& d : denied)
    if (StartsWith(p, d + "/")) return true;
  return false;
}

bool SimFiles::State::Locked(const std::string& hostPath, bool reading) const {
  auto it = locked.find(LowerCase(hostPath));
  return it != locked.end() && !(reading && it->second);
}

bool SimFiles::State::IsOpen(const std::string& hostPath) const { return open.count(LowerCase(hostPath)) > 0; }

SimFiles::SimFiles(std::string root) : root_(std::move(root)), state_(std::make_shared<State>()) {
  while (root_.size() > 1 && root_.back() == '/') root_.pop_back();
}

SimFiles::~SimFiles() = default;

std::string SimFiles::HostPath(const std::string& winPath) const {
  const std::string p = ToBackslashes(winPath);
  const bool letter = p.size() >= 2 && std::isalpha(static_cast<unsigned char>(p[0])) && p[1] == ':';
  if (!letter || (p.size() > 2 && p[2] != '\\')) return "";
  const std::string drive = root_ + "/" + static_cast<char>(std::toupper(static_cast<unsigned char>(p[0])));

  // Normalise first ("." and ".." as the system resolves them), then match.
  std::vector<std::string> parts;
  for (auto& part : Split(p.substr(std::min<size_t>(p.size(), 3)), '\\')) {
    if (part.empty() || part == ".") continue;
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
      continue;
    }
    if (!ValidName(part)) return "";
    parts.push_back(part);
  }

  std::string host = drive;
  bool resolving = IsHostDir(drive);
  for (auto& part : parts) {
    std::string name = part;
    if (resolving) {
      std::error_code ec;
      if (!fs::exists(fs::symlink_status(host + "/" + part, ec))) {
        resolving = false;
        for (fs::directory_iterator it(host, ec), end; !ec && it != end; it.increment(ec)) {
          std::string n = it->path().filename().string();
          if (SameText(n, part)) {
            name = n;
            resolving = true;
            break;
          }
        }
      }
    }
    host += "/" + name;
    if (resolving) resolving = IsHostDir(host);
  }
  return host;
}

bool SimFiles::MakeDirs(const std::string& winFolder) {
  std::string path;
  for (auto& part : Split(ToBackslashes(winFolder), '\\')) {
    if (part.empty()) continue;
    path += part;
    if (path.size() > 2 && !DirectoryExists(path) && !CreateDirectory(path)) return false;
    path += '\\';
  }
  return DirectoryExists(path);
}

bool SimFiles::PutFile(const std::string& winPath, const std::string& bytes) {
  const std::string p = ToBackslashes(winPath);
  if (!MakeDirs(ExtractFilePath(p))) return false;
  auto f = Open(p, plat::OpenMode::CreateAlways);
  return f && f->Write(bytes.data(), bytes.size());
}

bool SimFiles::MakeLink(const std::string& winPath, const std::string& winTarget) {
  const std::string host = HostPath(winPath), target = HostPath(winTarget);
  if (host.empty() || target.empty() || !IsHostDir(Parent(host)) || HostAttributes(host) != kInvalidAttributes)
    return false;
  std::error_code ec;
  fs::create_directory_symlink(fs::absolute(target, ec), host, ec);
  return !ec;
}

void SimFiles::LockFile(const std::string& winPath, bool shareRead) {
  std::string h = HostPath(winPath);
  if (!h.empty()) state_->locked[LowerCase(h)] = shareRead;
}

void SimFiles::DenyWritesUnder(const std::string& winFolder) {
  std::string h = HostPath(winFolder);
  if (!h.empty()) state_->denied.push_back(LowerCase(h));
}

void SimFiles::ClearFaults() {
  state_->locked.clear();
  state_->denied.clear();
}

uint32_t SimFiles::HostAttributes(const std::string& hostPath) const {
  if (hostPath.empty()) return kInvalidAttributes;
  std::error_code ec;
  auto st = fs::symlink_status(hostPath, ec);
  if (ec || !fs::exists(st)) return kInvalidAttributes;
  uint32_t a;
  if (fs::is_symlink(st)) {
    // A junction: a folder, whatever lies behind it (also when nothing does).
    auto target = fs::status(hostPath, ec);
    a = plat::FA_REPARSE_POINT | ((ec || fs::is_directory(target) || !fs::exists(target)) ? plat::FA_DIRECTORY : plat::FA_ARCHIVE);
  } else {
    a = fs::is_directory(st) ? plat::FA_DIRECTORY : plat::FA_ARCHIVE;
    if ((st.permissions() & fs::perms::owner_write) == fs::perms::none) a |= plat::FA_READONLY;
  }
  auto it = state_->overlay.find(LowerCase(hostPath));
  if (it != state_->overlay.end()) a |= it->second;
  return a;
}

bool SimFiles::FindFiles(const std::string& pattern, std::vector<FindEntry>& out) {
  out.clear();
  const std::string p = ToBackslashes(pattern);
  const size_t sep = p.rfind('\\');
  if (sep == std::string::npos) return false;
  const std::string mask = p.substr(sep + 1);
  if (mask.empty()) return false;
  const std::string folder = HostPath(p.substr(0, sep));
  if (!IsHostDir(folder)) return false;

  const bool isDriveRoot = Parent(folder) == root_;
  if (!isDriveRoot) {
    for (const char* dot : {".", ".."})
      if (MatchesWildcard(dot, mask)) out.push_back(FindEntry{dot, plat::FA_DIRECTORY, 0});
  }
  // NTFS lists a folder in the order of its upper-cased names; the host's
  // order is arbitrary, and runs must not depend on it.
  // One status call per entry, relative to the open folder: a folder walk
  // over tens of thousands of files stays fast.
  const int dirFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY);
  if (dirFd < 0) return false;
  std::vector<std::pair<std::string, FindEntry>> found;  // by upper-cased name
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    std::string name = it->path().filename().string();
    if (!MatchesWildcard(name, mask)) continue;
    struct stat st;
    if (::fstatat(dirFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
    const std::string host = folder + "/" + name;
    FindEntry e{name, 0, 0};
    if (S_ISLNK(st.st_mode)) {
      e.attributes = HostAttributes(host);
      if (e.attributes == kInvalidAttributes) continue;
    } else {
      // As HostAttributes works them out, without asking the host again.
      e.attributes = S_ISDIR(st.st_mode) ? plat::FA_DIRECTORY : plat::FA_ARCHIVE;
      if (!(st.st_mode & S_IWUSR)) e.attributes |= plat::FA_READONLY;
      if (!state_->overlay.empty()) {
        auto ov = state_->overlay.find(LowerCase(host));
        if (ov != state_->overlay.end()) e.attributes |= ov->second;
      }
      if (!S_ISDIR(st.st_mode)) e.size = static_cast<uint64_t>(st.st_size);
    }
    found.emplace_back(UpperCase(name), std::move(e));
  }
  ::close(dirFd);
  std::sort(found.begin(), found.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  for (auto& e : found) out.push_back(std::move(e.second));
  return true;
}

std::unique_ptr<plat::IFile> SimFiles::Open(const std::string& path, plat::OpenMode mode, std::string* error) {
  const std::string host = HostPath(path);
  if (host.empty()) {
    SetError(error, kBadName);
    return nullptr;
  }
  const uint32_t attrs = HostAttributes(host);
  const bool exists = attrs != kInvalidAttributes;
  const bool parentExists = IsHostDir(Parent(host));
  if (!exists && (mode != plat::OpenMode::CreateAlways || !parentExists)) {
    SetError(error, parentExists ? kFileNotFound : kPathNotFound);
    return nullptr;
  }
  if (exists && (attrs & plat::FA_DIRECTORY)) {
    SetError(error, kAccessDenied);
    return nullptr;
  }
  const bool writing = mode != plat::OpenMode::Read;
  if (state_->Locked(host, !writing)) {
    SetError(error, kSharingViolation);
    return nullptr;
  }
  if (writing && (attrs & plat::FA_READONLY) && exists) {
    SetError(error, kAccessDenied);
    return nullptr;
  }
  if (mode == plat::OpenMode::CreateAlways && state_->WriteDenied(host)) {
    SetError(error, kAccessDenied);
    return nullptr;
  }
  const char* how = mode == plat::OpenMode::Read ? "rb" : mode == plat::OpenMode::ReadWrite ? "r+b" : "w+b";
  std::FILE* f = std::fopen(host.c_str(), how);
  if (!f) {
    SetError(error, kAccessDenied);
    return nullptr;
  }
  if (!exists) state_->overlay.erase(LowerCase(host));
  return std::make_unique<SimFile>(f, host, state_);
}

uint32_t SimFiles::GetAttributes(const std::string& path) { return HostAttributes(HostPath(path)); }

bool SimFiles::SetAttributes(const std::string& path, uint32_t attributes) {
  const std::string host = HostPath(path);
  const uint32_t old = HostAttributes(host);
  if (old == kInvalidAttributes) return false;
  if (!(old & plat::FA_REPARSE_POINT)) {
    std::error_code ec;
    if (attributes & plat::FA_READONLY)
      fs::permissions(host, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                      fs::perm_options::remove, ec);
    else
      fs::permissions(host, fs::perms::owner_write, fs::perm_options::add, ec);
    if (ec) return false;
  }
  const uint32_t extra = attributes & (plat::FA_HIDDEN | plat::FA_SYSTEM);
  if (extra)
    state_->overlay[LowerCase(host)] = extra;
  else
    state_->overlay.erase(LowerCase(host));
  return true;
}

bool SimFiles::DeleteFile(const std::string& path) {
  const std::string host = HostPath(path);
  const uint32_t attrs = HostAttributes(host);
  if (attrs == kInvalidAttributes || (attrs & (plat::FA_DIRECTORY | plat::FA_READONLY))) return false;
  if (state_->Locked(host) || state_->IsOpen(host) || state_->WriteDenied(host)) return false;
  std::error_code ec;
  if (!fs::remove(host, ec)) return false;  // a link goes, not what it points to
  state_->overlay.erase(LowerCase(host));
  return true;
}

bool SimFiles::CreateDirectory(const std::string& path) {
  const std::string host = HostPath(path);
  if (host.empty() || !IsHostDir(Parent(host)) || HostAttributes(host) != kInvalidAttributes) return false;
  if (state_->WriteDenied(host)) return false;
  std::error_code ec;
  return fs::create_directory(host, ec);
}

bool SimFiles::RemoveDirectory(const std::string& path) {
  const std::string host = HostPath(path);
  const uint32_t attrs = HostAttributes(host);
  if (attrs == kInvalidAttributes || !(attrs & plat::FA_DIRECTORY) || (attrs & plat::FA_READONLY)) return false;
  if (Parent(host) == root_ || state_->WriteDenied(host)) return false;  // never a drive
  std::error_code ec;
  if (!(attrs & plat::FA_REPARSE_POINT) && !fs::is_empty(host, ec)) return false;
  if (!fs::remove(host, ec)) return false;  // a junction goes, its target stays
  state_->overlay.erase(LowerCase(host));
  return true;
}

bool SimFiles::ReplaceFile(const std::string& from, const std::string& to, std::string* error) {
  const std::string hf = HostPath(from), ht = HostPath(to);
  if (hf.empty() || ht.empty()) {
    SetError(error, kBadName);
    return false;
  }
  const uint32_t af = HostAttributes(hf);
  if (af == kInvalidAttributes) {
    SetError(error, kFileNotFound);
    return false;
  }
  if (!IsHostDir(Parent(ht))) {
    SetError(error, kPathNotFound);
    return false;
  }
  const uint32_t at = HostAttributes(ht);
  if ((af & plat::FA_DIRECTORY) || (at != kInvalidAttributes && (at & (plat::FA_DIRECTORY | plat::FA_READONLY))) ||
      state_->WriteDenied(hf) || state_->WriteDenied(ht)) {
    SetError(error, kAccessDenied);
    return false;
  }
  if (state_->Locked(hf) || state_->IsOpen(hf) || state_->Locked(ht) || state_->IsOpen(ht)) {
    SetError(error, kSharingViolation);
    return false;
  }
  if (std::rename(hf.c_str(), ht.c_str()) != 0) {
    SetError(error, kAccessDenied);
    return false;
  }
  // The file keeps its own hidden and system bits under its new name.
  auto& overlay = state_->overlay;
  auto it = overlay.find(LowerCase(hf));
  const uint32_t moved = it == overlay.end() ? 0 : it->second;
  overlay.erase(LowerCase(hf));
  overlay.erase(LowerCase(ht));
  if (moved) overlay[LowerCase(ht)] = moved;
  return true;
}

}  // namespace sim
