#pragma once
// The simulated registry: an in-memory tree under three roots, written to a
// text file in the registry editor's export format after every change, so that
// a run leaves a file anyone can read and that the real editor could import.
//
// File format (what we write; Import accepts the same and a little more):
//   Windows Registry Editor Version 5.00
//   <blank line>
//   [HKEY_CURRENT_USER\Software\X]
//   @="default value"
//   "Name"="text with \\ and \" escaped"
//   "Count"=dword:0000000a
//   "Blob"=hex:01,02,ff
//   "Other"=hex(7):61,00,00
//   <blank line>
// The file is 8-bit text (the program's ANSI code page, unlike the editor's
// UTF-16), lines end in CR LF, hex lists wrap at 80 columns with a trailing
// backslash as the editor wraps them. Every key is written, also keys without
// values, roots first in the order HKEY_CLASSES_ROOT, HKEY_CURRENT_USER,
// HKEY_LOCAL_MACHINE, then depth first with subkeys sorted without regard to
// case (the order in which the registry enumerates them). Values keep the
// order in which they were created. A string value is written as a string
// only when that round-trips exactly (one terminating zero byte, no other
// zero byte, no line break); otherwise as hex(1).
#include <memory>
#include <string>
#include <vector>

#include "platform/Registry.h"

namespace sim {

class SimRegistry : public plat::IRegistry {
 public:
  // |filePath|: the host file the registry is saved to ("" = not saved).
  explicit SimRegistry(std::string filePath);
  ~SimRegistry() override;

  // The seam.
  std::unique_ptr<plat::IRegKey> OpenKey(plat::RegRoot root, const std::string& path, bool write) override;
  bool CreateKey(plat::RegRoot root, const std::string& path) override;

  // Keys nest at most 512 levels below their root, and a root key holds no
  // values, as in the real registry: CreateKey and SetValue refuse (false),
  // and so does an import (with its FILE:LINE).

  // Direct access for the machine's set-up and for checks.
  bool SetValue(plat::RegRoot root, const std::string& key, const std::string& name, const plat::RegValue& value);
  bool DeleteValue(plat::RegRoot root, const std::string& key, const std::string& name);
  bool GetValue(plat::RegRoot root, const std::string& key, const std::string& name, plat::RegValue& out) const;
  bool KeyExists(plat::RegRoot root, const std::string& key) const;
  bool DeleteKey(plat::RegRoot root, const std::string& key);  // with everything below it

  // The whole registry in the file format above.
  std::string ExportText() const;
  // Applies a text in the file format as the registry editor would: keys are
  // created, "[-KEY]" deletes a key, "NAME"=- deletes a value. On malformed
  // input nothing is applied and |error| gets "FILE:LINE: reason" with
  // |fileName| as FILE.
  bool ImportText(const std::string& text, const std::string& fileName, std::string* error);
  bool ImportFile(const std::string& hostPath, std::string* error);

  // Writes the file now (a new file, then renamed over the old one).
  void Save();

  // Value builders for set-up code and tests.
  static plat::RegValue String(const std::string& s);
  static plat::RegValue Dword(uint32_t v);
  static plat::RegValue Binary(const std::string& bytes);

  struct Node;

 private:
  std::shared_ptr<Node> Find(plat::RegRoot root, const std::string& path) const;
  Node* Create(plat::RegRoot root, const std::string& path);
  void Changed();

  std::string filePath_;
  std::shared_ptr<Node> roots_[3];
  std::shared_ptr<int> alive_ = std::make_shared<int>(0);  // open keys may outlive the registry
};

}  // namespace sim
