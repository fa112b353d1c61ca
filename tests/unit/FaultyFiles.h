#pragma once
// A file system that passes everything to the installed one but can be told
// to fail the saving of chosen files at one step: creating the file, writing
// it (half the bytes arrive, as on a full disk) or putting it in place.
#include <memory>
#include <string>
#include <vector>

#include "platform/Services.h"

class FaultyFiles : public plat::IFileSystem {
 public:
  enum class Fault { None, Create, Write, Replace };
  Fault fault = Fault::None;
  std::string onlyPathsWith;  // empty: every path

  FaultyFiles() : inner_(plat::Files()) {
    plat::Services s = plat::Installed();
    s.files = this;
    saved_ = plat::Install(s);
  }
  ~FaultyFiles() override { plat::Install(saved_); }

  bool FindFiles(const std::string& pattern, std::vector<plat::FindEntry>& out) override {
    return inner_.FindFiles(pattern, out);
  }
  std::unique_ptr<plat::IFile> Open(const std::string& path, plat::OpenMode mode, std::string* error) override {
    if (mode == plat::OpenMode::CreateAlways && Hits(path, Fault::Create)) {
      if (error) *error = "Access is denied.";
      return nullptr;
    }
    auto file = inner_.Open(path, mode, error);
    if (file && mode == plat::OpenMode::CreateAlways && Hits(path, Fault::Write))
      return std::make_unique<HalfWriter>(std::move(file));
    return file;
  }
  uint32_t GetAttributes(const std::string& path) override { return inner_.GetAttributes(path); }
  bool SetAttributes(const std::string& path, uint32_t a) override { return inner_.SetAttributes(path, a); }
  bool DeleteFile(const std::string& path) override { return inner_.DeleteFile(path); }
  bool CreateDirectory(const std::string& path) override { return inner_.CreateDirectory(path); }
  bool RemoveDirectory(const std::string& path) override { return inner_.RemoveDirectory(path); }
  bool ReplaceFile(const std::string& from, const std::string& to, std::string* error) override {
    if (Hits(to, Fault::Replace)) {
      if (error) *error = "Access is denied.";
      return false;
    }
    return inner_.ReplaceFile(from, to, error);
  }

 private:
  class HalfWriter : public plat::IFile {
   public:
    explicit HalfWriter(std::unique_ptr<plat::IFile> f) : f_(std::move(f)) {}
    uint64_t Size() override { return f_->Size(); }
    bool Seek(uint64_t pos) override { return f_->Seek(pos); }
    size_t Read(void* buf, size_t n) override { return f_->Read(buf, n); }
    bool Write(const void* buf, size_t n) override {
      f_->Write(buf, n / 2);
      return false;
    }

   private:
    std::unique_ptr<plat::IFile> f_;
  };

  bool Hits(const std::string& path, Fault f) const {
    return fault == f && (onlyPathsWith.empty() || path.find(onlyPathsWith) != std::string::npos);
  }

  plat::IFileSystem& inner_;
  plat::Services saved_;
};
