#include "platform/sim/SimRegistry.h"

#include <cstdio>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>

#include "base/Bytes.h"
#include "base/StrUtils.h"

namespace sim {

using plat::RegRoot;
using plat::RegValue;

struct SimRegistry::Node {
  std::string name;                                       // as it was created
  std::map<std::string, std::shared_ptr<Node>> children;  // by upper-case name: the registry's order
  std::vector<std::pair<std::string, RegValue>> values;   // in creation order
  bool deleted = false;  // open handles to a deleted key fail from then on
  bool isRoot = false;   // a root key holds no values: the file could not keep them

  std::pair<std::string, RegValue>* FindValue(const std::string& n) {
    for (auto& v : values)
      if (SameText(v.first, n)) return &v;
    return nullptr;
  }
  bool EraseValue(const std::string& n) {
    for (auto it = values.begin(); it != values.end(); ++it)
      if (SameText(it->first, n)) {
        values.erase(it);
        return true;
      }
    return false;
  }
  void MarkDeleted() {
    deleted = true;
    for (auto& c : children) c.second->MarkDeleted();
  }
};

namespace {

const char* const kHeader = "Windows Registry Editor Version 5.00";
const char* const kEol = "\r\n";

// How deep keys may nest below their root, as in the real registry. It also
// keeps the writer's recursion and the deletion of a tree shallow.
constexpr size_t kMaxDepth = 512;

// Roots in the order the file lists them.
const char* const kRootNames[3] = {"HKEY_CLASSES_ROOT", "HKEY_CURRENT_USER", "HKEY_LOCAL_MACHINE"};

int RootIndex(RegRoot r) {
  switch (r) {
    case RegRoot::ClassesRoot: return 0;
    case RegRoot::CurrentUser: return 1;
    case RegRoot::LocalMachine: return 2;
  }
  return 1;
}

std::vector<std::string> KeyParts(const std::string& path) {
  std::vector<std::string> parts;
  for (auto& p : Split(path, '\\'))
    if (!p.empty()) parts.push_back(p);
  return parts;
}

std::string Escape(const std::string& s) {
  std::string r;
  for (char c : s) {
    if (c == '\\' || c == '"') r += '\\';
    r += c;
  }
  return r;
}

// A string value is written as text only when reading it back gives the same bytes.
bool WritableAsText(const RegValue& v) {
  if (v.type != plat::REG_TYPE_SZ || v.data.empty() || v.data.back() != '\0') return false;
  for (size_t i = 0; i + 1 < v.data.size(); ++i)
    if (v.data[i] == '\0' || v.data[i] == '\r' || v.data[i] == '\n') return false;
  return true;
}

std::string Hex(uint32_t v, int digits) {
  static const char kDigits[] = "0123456789abcdef";  // the editor writes lower case
  std::string r(digits, '0');
  for (int i = digits - 1; i >= 0; --i, v >>= 4) r[i] = kDigits[v & 0xF];
  return r;
}

std::string HexType(uint32_t type) {
  std::string r = Hex(type, 8);
  size_t nz = r.find_first_not_of('0');
  return nz == std::string::npos ? "0" : r.substr(nz);
}

void AppendHexList(std::string& out, std::string line, const std::string& bytes) {
  // Wraps as the registry editor does: lines stay within 80 columns, each
  // continued line ends in a backslash and the next starts with two blanks.
  for (size_t i = 0; i < bytes.size(); ++i) {
    line += Hex(static_cast<unsigned char>(bytes[i]), 2);
    if (i + 1 < bytes.size()) {
      line += ',';
      if (line.size() >= 76) {
        out += line + "\\" + kEol;
        line = "  ";
      }
    }
  }
  out += line;
  out += kEol;
}

void AppendValue(std::string& out, const std::string& name, const RegValue& v) {
  std::string head = name.empty() ? "@=" : "\"" + Escape(name) + "\"=";
  if (WritableAsText(v)) {
    out += head + "\"" + Escape(v.data.substr(0, v.data.size() - 1)) + "\"" + kEol;
  } else if (v.type == plat::REG_TYPE_DWORD && v.data.size() == 4) {
    uint32_t d = 0;
    for (int i = 3; i >= 0; --i) d = (d << 8) | static_cast<unsigned char>(v.data[i]);
    out += head + "dword:" + Hex(d, 8) + kEol;
  } else if (v.type == plat::REG_TYPE_BINARY) {
    AppendHexList(out, head + "hex:", v.data);
  } else {
    AppendHexList(out, head + "hex(" + HexType(v.type) + "):", v.data);
  }
}

// |path| holds the key's full name; it is extended for each subkey and put
// back afterwards, so that no level builds its name anew.
void AppendKey(std::string& out, const SimRegistry::Node& node, std::string& path, bool isRoot) {
  if (!isRoot) {
    out += "[" + path + "]" + kEol;
    for (auto& v : node.values) AppendValue(out, v.first, v.second);
    out += kEol;
  }
  const size_t length = path.size();
  for (auto& c : node.children) {
    path += '\\';
    path += c.second->name;
    AppendKey(out, *c.second, path, false);
    path.resize(length);
  }
}

class SimRegKey : public plat::IRegKey {
 public:
  SimRegKey(std::shared_ptr<SimRegistry::Node> node, bool write, std::function<void()> changed)
      : node_(std::move(node)), write_(write), changed_(std::move(changed)) {}

  bool QueryValue(const std::string& name, RegValue& out) override {
    if (node_->deleted) return false;
    auto* v = node_->FindValue(name);
    if (!v) return false;
    out = v->second;
    return true;
  }
  bool SetValue(const std::string& name, const RegValue& value) override {
    if (!write_ || node_->deleted || node_->isRoot) return false;
    if (auto* v = node_->FindValue(name))
      v->second = value;
    else
      node_->values.emplace_back(name, value);
    changed_();
    return true;
  }
  bool DeleteValue(const std::string& name) override {
    if (!write_ || node_->deleted || !node_->EraseValue(name)) return false;
    changed_();
    return true;
  }
  std::vector<std::string> SubKeyNames() override {
    std::vector<std::string> r;
    if (node_->deleted) return r;
    for (auto& c : node_->children) r.push_back(c.second->name);
    return r;
  }
  std::vector<std::string> ValueNames() override {
    std::vector<std::string> r;
    if (node_->deleted) return r;
    for (auto& v : node_->values) r.push_back(v.first);
    return r;
  }

 private:
  std::shared_ptr<SimRegistry::Node> node_;
  bool write_;
  std::function<void()> changed_;
};

// ---- import ----

struct ImportOp {
  enum Kind { CreateKey, DeleteKey, SetValue, DeleteValue } kind;
  RegRoot root;
  std::string key, name;
  RegValue value;
};

struct ParseError {
  int line;
  std::string reason;
};

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool ParseHexNumber(const std::string& s, uint32_t& out) {
  if (s.empty() || s.size() > 8) return false;
  out = 0;
  for (char c : s) {
    int d = HexDigit(c);
    if (d < 0) return false;
    out = (out << 4) | static_cast<uint32_t>(d);
  }
  return true;
}

// Parses a quoted string at |s[pos]| (which is '"'); |pos| ends after the closing quote.
std::string ParseQuoted(const std::string& s, size_t& pos, int line) {
  std::string r;
  ++pos;
  while (pos < s.size()) {
    char c = s[pos++];
    if (c == '"') return r;
    if (c == '\\') {
      if (pos >= s.size()) break;
      char e = s[pos++];
      if (e != '\\' && e != '"') throw ParseError{line, std::string("unknown escape \\") + e};
      r += e;
    } else {
      r += c;
    }
  }
  throw ParseError{line, "missing closing quote"};
}

std::string ParseHexBytes(const std::string& list, int line) {
  std::string bytes;
  auto items = Split(list, ',');
  for (size_t i = 0; i < items.size(); ++i) {
    std::string item = Trim(items[i]);
    if (item.empty()) {
      if (i + 1 == items.size() && (i > 0 || items.size() == 1)) break;  // trailing comma or empty list
      throw ParseError{line, "empty byte in hex list"};
    }
    uint32_t b;
    if (item.size() > 2 || !ParseHexNumber(item, b)) throw ParseError{line, "bad byte \"" + item + "\" in hex list"};
    bytes += static_cast<char>(b);
  }
  return bytes;
}

bool ParseRootName(const std::string& s, RegRoot& root) {
  struct {
    const char *longName, *shortName;
    RegRoot root;
  } names[] = {{"HKEY_CLASSES_ROOT", "HKCR", RegRoot::ClassesRoot},
               {"HKEY_CURRENT_USER", "HKCU", RegRoot::CurrentUser},
               {"HKEY_LOCAL_MACHINE", "HKLM", RegRoot::LocalMachine}};
  for (auto& n : names)
    if (SameText(s, n.longName) || SameText(s, n.shortName)) {
      root = n.root;
      return true;
    }
  return false;
}

std::vector<ImportOp> ParseRegText(const std::string& text) {
  std::vector<std::string> lines = Split(text, '\n');
  for (auto& l : lines)
    if (!l.empty() && l.back() == '\r') l.pop_back();
  if (!lines.empty() && StartsWith(lines[0], "\xEF\xBB\xBF")) lines[0].erase(0, 3);
  if (lines.empty() || (Trim(lines[0]) != kHeader && Trim(lines[0]) != "REGEDIT4"))
    throw ParseError{1, std::string("not a registry file (first line must be \"") + kHeader + "\")"};

  std::vector<ImportOp> ops;
  bool haveKey = false, keyDeleted = false;
  RegRoot root = RegRoot::CurrentUser;
  std::string key;
  for (size_t i = 1; i < lines.size(); ++i) {
    const int lineNo = static_cast<int>(i) + 1;
    std::string t = Trim(lines[i]);
    if (t.empty() || t[0] == ';') continue;
    if (t[0] == '[') {
      if (t.back() != ']') throw ParseError{lineNo, "key name without closing ]"};
      std::string inner = t.substr(1, t.size() - 2);
      keyDeleted = !inner.empty() && inner[0] == '-';
      if (keyDeleted) inner.erase(0, 1);
      size_t sep = inner.find('\\');
      std::string rootName = inner.substr(0, sep);
      if (!ParseRootName(rootName, root)) throw ParseError{lineNo, "unknown root key \"" + rootName + "\""};
      key = sep == std::string::npos ? "" : inner.substr(sep + 1);
      const size_t depth = KeyParts(key).size();
      if (keyDeleted && depth == 0) throw ParseError{lineNo, "a root key cannot be deleted"};
      if (depth > kMaxDepth)
        throw ParseError{lineNo, "key nested deeper than " + std::to_string(kMaxDepth) + " levels"};
      haveKey = true;
      ops.push_back({keyDeleted ? ImportOp::DeleteKey : ImportOp::CreateKey, root, key, "", {}});
      continue;
    }
    if (t[0] != '"' && t[0] != '@') throw ParseError{lineNo, "expected a [key] or a value"};
    if (!haveKey) throw ParseError{lineNo, "value before the first key"};
    // The file could not keep it: a root key is written without values.
    if (KeyParts(key).empty()) throw ParseError{lineNo, "a value cannot be set directly under a root key"};

    size_t pos = 0;
    std::string name;
    if (t[0] == '@') {
      pos = 1;
    } else {
      name = ParseQuoted(t, pos, lineNo);
    }
    while (pos < t.size() && t[pos] == ' ') ++pos;
    if (pos >= t.size() || t[pos] != '=') throw ParseError{lineNo, "expected = after the value name"};
    ++pos;
    while (pos < t.size() && t[pos] == ' ') ++pos;
    std::string data = t.substr(pos);

    ImportOp op{ImportOp::SetValue, root, key, name, {}};
    if (!data.empty() && data[0] == '"') {
      size_t p = 0;
      std::string s = ParseQuoted(data, p, lineNo);
      if (!Trim(data.substr(p)).empty()) throw ParseError{lineNo, "text after the closing quote"};
      op.value = SimRegistry::String(s);
    } else if (data == "-") {
      op.kind = ImportOp::DeleteValue;
    } else if (StartsWith(LowerCase(data), "dword:")) {
      uint32_t d;
      if (!ParseHexNumber(data.substr(6), d)) throw ParseError{lineNo, "bad dword \"" + data.substr(6) + "\""};
      op.value = SimRegistry::Dword(d);
    } else if (StartsWith(LowerCase(data), "hex")) {
      uint32_t type = plat::REG_TYPE_BINARY;
      size_t colon = data.find(':');
      if (colon == std::string::npos) throw ParseError{lineNo, "hex data without :"};
      std::string spec = data.substr(3, colon - 3);
      if (!spec.empty()) {
        if (spec.size() < 3 || spec.front() != '(' || spec.back() != ')' ||
            !ParseHexNumber(spec.substr(1, spec.size() - 2), type))
          throw ParseError{lineNo, "bad value type \"hex" + spec + "\""};
      }
      std::string list = data.substr(colon + 1);
      // A trailing backslash continues the list on the next line.
      while (!list.empty() && list.back() == '\\') {
        list.pop_back();
        if (++i >= lines.size()) throw ParseError{lineNo, "hex list continued past the end of the file"};
        list += Trim(lines[i]);
      }
      op.value.type = type;
      op.value.data = ParseHexBytes(list, lineNo);
    } else {
      throw ParseError{lineNo, "unknown value data \"" + data + "\""};
    }
    // As the editor does, values listed under a key being deleted are ignored.
    if (!keyDeleted) ops.push_back(std::move(op));
  }
  return ops;
}

}  // namespace

SimRegistry::SimRegistry(std::string filePath) : filePath_(std::move(filePath)) {
  for (auto& r : roots_) {
    r = std::make_shared<Node>();
    r->isRoot = true;
  }
}

SimRegistry::~SimRegistry() = default;

RegValue SimRegistry::String(const std::string& s) { return RegValue{plat::REG_TYPE_SZ, s + '\0'}; }

RegValue SimRegistry::Dword(uint32_t v) {
  std::string d;
  AppendLE32(d, v);
  return RegValue{plat::REG_TYPE_DWORD, d};
}

RegValue SimRegistry::Binary(const std::string& bytes) { return RegValue{plat::REG_TYPE_BINARY, bytes}; }

std::shared_ptr<SimRegistry::Node> SimRegistry::Find(RegRoot root, const std::string& path) const {
  std::shared_ptr<Node> n = roots_[RootIndex(root)];
  for (auto& part : KeyParts(path)) {
    auto it = n->children.find(UpperCase(part));
    if (it == n->children.end()) return nullptr;
    n = it->second;
  }
  return n;
}

SimRegistry::Node* SimRegistry::Create(RegRoot root, const std::string& path) {
  const std::vector<std::string> parts = KeyParts(path);
  if (parts.size() > kMaxDepth) return nullptr;
  Node* n = roots_[RootIndex(root)].get();
  for (auto& part : parts) {
    auto& child = n->children[UpperCase(part)];
    if (!child) {
      child = std::make_shared<Node>();
      child->name = part;
    }
    n = child.get();
  }
  return n;
}

std::unique_ptr<plat::IRegKey> SimRegistry::OpenKey(RegRoot root, const std::string& path, bool write) {
  std::shared_ptr<Node> n = Find(root, path);
  if (!n) return nullptr;
  std::weak_ptr<int> alive = alive_;
  return std::make_unique<SimRegKey>(n, write, [this, alive] {
    if (!alive.expired()) Changed();
  });
}

bool SimRegistry::CreateKey(RegRoot root, const std::string& path) {
  if (Find(root, path)) return true;
  if (!Create(root, path)) return false;
  Changed();
  return true;
}

bool SimRegistry::SetValue(RegRoot root, const std::string& key, const std::string& name, const RegValue& value) {
  Node* n = Create(root, key);
  if (!n || n->isRoot) return false;
  if (auto* v = n->FindValue(name))
    v->second = value;
  else
    n->values.emplace_back(name, value);
  Changed();
  return true;
}

bool SimRegistry::DeleteValue(RegRoot root, const std::string& key, const std::string& name) {
  auto n = Find(root, key);
  if (!n || !n->EraseValue(name)) return false;
  Changed();
  return true;
}

bool SimRegistry::GetValue(RegRoot root, const std::string& key, const std::string& name, RegValue& out) const {
  auto n = Find(root, key);
  if (!n) return false;
  auto* v = n->FindValue(name);
  if (!v) return false;
  out = v->second;
  return true;
}

bool SimRegistry::KeyExists(RegRoot root, const std::string& key) const { return Find(root, key) != nullptr; }

bool SimRegistry::DeleteKey(RegRoot root, const std::string& key) {
  auto parts = KeyParts(key);
  if (parts.empty()) return false;
  std::string last = parts.back();
  parts.pop_back();
  std::string parentPath;
  for (auto& p : parts) parentPath += p + "\\";
  auto parent = Find(root, parentPath);
  if (!parent) return false;
  auto it = parent->children.find(UpperCase(last));
  if (it == parent->children.end()) return false;
  it->second->MarkDeleted();
  parent->children.erase(it);
  Changed();
  return true;
}

std::string SimRegistry::ExportText() const {
  std::string out = std::string(kHeader) + kEol + kEol;
  for (int i = 0; i < 3; ++i) {
    std::string path = kRootNames[i];
    AppendKey(out, *roots_[i], path, true);
  }
  return out;
}

bool SimRegistry::ImportText(const std::string& text, const std::string& fileName, std::string* error) {
  std::vector<ImportOp> ops;
  try {
    ops = ParseRegText(text);
  } catch (const ParseError& e) {
    if (error) *error = fileName + ":" + std::to_string(e.line) + ": " + e.reason;
    return false;
  }
  // Apply everything, then save once.
  const std::string savedPath = filePath_;
  filePath_.clear();
  for (auto& op : ops) {
    switch (op.kind) {
      case ImportOp::CreateKey: Create(op.root, op.key); break;
      case ImportOp::DeleteKey: DeleteKey(op.root, op.key); break;
      case ImportOp::SetValue: SetValue(op.root, op.key, op.name, op.value); break;
      case ImportOp::DeleteValue: DeleteValue(op.root, op.key, op.name); break;
    }
  }
  filePath_ = savedPath;
  Save();
  return true;
}

bool SimRegistry::ImportFile(const std::string& hostPath, std::string* error) {
  std::ifstream in(hostPath, std::ios::binary);
  if (!in) {
    if (error) *error = hostPath + ":0: cannot open the file";
    return false;
  }
  std::ostringstream ss;
  ss << in.rdbuf();
  return ImportText(ss.str(), hostPath, error);
}

void SimRegistry::Changed() { Save(); }

void SimRegistry::Save() {
  if (filePath_.empty()) return;
  const std::string tmp = filePath_ + ".tmp";
  {
    std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
    if (!out) return;
    out << ExportText();
    out.flush();
    if (!out) return;
  }
  std::rename(tmp.c_str(), filePath_.c_str());
}

}  // namespace sim
