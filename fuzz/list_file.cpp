// The list file reader on any bytes. What loads must save and load again as
// the same entries, whether the file is one that is purged of old entries as
// it loads or one that never is; looking an address up in what loaded must
// be safe too.
#include <cstdint>
#include <string>
#include <vector>

#include "FuzzMachine.h"
#include "lists/ClWin.h"

namespace {

std::vector<std::string> Lines(const TWinDescrList& list) {
  std::vector<std::string> v;
  for (int i = 0; i < list.Count(); ++i) v.push_back(list.Get(i));
  return v;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzMachine& m = FuzzMachine::Get();
  if (size == 0) return 0;
  // The first byte chooses the file; the rest is its content.
  const std::string name = data[0] & 1 ? "closed.ppe" : "allowit.ppe";
  m.PutFile(m.ProgramDir() + name, std::string(reinterpret_cast<const char*>(data) + 1, size - 1));

  TWinDescrList loaded;
  loaded.LoadList(name);
  loaded.FindDescr("http://www.example.com/news/", "http://ads.example.net/pop.html?id=1");
  TWinDescr d;
  for (int i = 0; i < loaded.Count(); ++i) loaded.GetDescr(i, d);

  loaded.Modified = true;
  loaded.SaveList(name);
  TWinDescrList again;
  again.LoadList(name);
  if (Lines(again) != Lines(loaded)) __builtin_trap();
  return 0;
}
