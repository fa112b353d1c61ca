// Writes the seed corpus of the fuzz targets from what the program itself
// writes and receives: list files saved by the list class, the simulated
// machine's registry as it exports it, and the event calls the simulated
// browsers make to a sink, packed. The language files, scenarios and the
// example registry file are used as seeds where they lie.
//   ondrel-fuzz-seeds DIR   (DIR/list_file, DIR/registry_file, DIR/dispparams)
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "DispParamsPack.h"
#include "FuzzMachine.h"
#include "base/Format.h"
#include "lists/ClWin.h"
#include "platform/sim/SimMachine.h"

namespace fs = std::filesystem;
using namespace com;

namespace {

void Write(const fs::path& file, const std::string& bytes) {
  fs::create_directories(file.parent_path());
  std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;
}

std::string Read(const std::string& hostPath) {
  std::ifstream in(hostPath, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// A sink that packs every call it gets, in the fuzz target's layout.
struct Recorder : IDispatch {
  IID iid;
  bool shell;
  std::vector<std::string>* calls;
  Recorder(const IID& i, bool s, std::vector<std::string>* c) : iid(i), shell(s), calls(c) {}
  HRESULT ONDREL_COMCALL QueryInterface(const IID& riid, void** ppv) override {
    if (riid == IID_IUnknown || riid == IID_IDispatch || riid == iid) {
      *ppv = static_cast<IDispatch*>(this);
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  uint32_t ONDREL_COMCALL AddRef() override { return 2; }
  uint32_t ONDREL_COMCALL Release() override { return 1; }
  HRESULT ONDREL_COMCALL GetTypeInfoCount(uint32_t*) override { return E_NOTIMPL; }
  HRESULT ONDREL_COMCALL GetTypeInfo(uint32_t, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT ONDREL_COMCALL GetIDsOfNames(const IID&, LPOLESTR*, uint32_t, LCID, DISPID*) override { return E_NOTIMPL; }
  HRESULT ONDREL_COMCALL Invoke(DISPID id, const IID&, LCID, uint16_t flags, DISPPARAMS* p, VARIANT*, EXCEPINFO*,
                                uint32_t*) override {
    std::string out;
    out.push_back(shell ? 1 : 0);
    out.push_back(0);
    AppendLE32(out, static_cast<uint32_t>(id));
    AppendLE16(out, flags);
    out.push_back(static_cast<char>(p->cArgs));
    out.push_back(static_cast<char>(p->cNamedArgs));
    for (uint32_t i = 0; i < p->cNamedArgs; ++i) AppendLE32(out, static_cast<uint32_t>(p->rgdispidNamedArgs[i]));
    for (uint32_t i = 0; i < p->cArgs; ++i)
      dispfuzz::PackVariant(out, p->rgvarg[i], [](IUnknown* o) { return o ? 1 : 0; },
                            [](BSTR s) { return plat::Com().BstrToAnsi(s); });
    calls->push_back(out);
    return S_OK;
  }
};

void Advise(IDispatch* source, Recorder& sink) {
  ComPtr<IConnectionPointContainer> container = ComPtr<IDispatch>(source).As<IConnectionPointContainer>(IID_IConnectionPointContainer);
  ComPtr<IConnectionPoint> point;
  uint32_t cookie = 0;
  if (container && SUCCEEDED(container->FindConnectionPoint(sink.iid, point.Put()))) point->Advise(&sink, &cookie);
}

void ListSeeds(const fs::path& dir) {
  FuzzMachine& m = FuzzMachine::Get();
  const std::string file = m.ProgramDir() + "allowit.ppe";
  auto save = [&](const std::string& name, TWinDescrList& list) {
    list.Modified = true;
    list.SaveList("allowit.ppe");
    // The first byte chooses the file the target loads it as: 0 allowit.ppe, 1 closed.ppe.
    Write(dir / "list_file" / name, std::string(1, '\0') + Read(m.Machine().HostPath(file)));
    Write(dir / "list_file" / (name + "-closed"), std::string(1, '\1') + Read(m.Machine().HostPath(file)));
  };
  TWinDescrList empty, masks, recorded;
  save("empty", empty);
  masks.AddDescr("", "*", "*/popup/*", "", 3, 0, 86400);
  masks.AddDescr("", "http://news.example/*", "*ads*", "", 1, 0, 1772442000);
  masks.AddDescr("", "", "", "", 0, 0, 0);
  save("masks", masks);
  recorded.AddDescr("", "http://news.example/story", "http://ads.example/pop.html", "> 1 min.", 1, 0, 1772442000);
  recorded.AddDescr("", "Internet Explorer", "Modeless Dialog has been stopped", "02:500 sec.", 0, 0, 1772442010);
  recorded.AddDescr("", "http://a.example/", "http://a.example/" + std::string(300, 'u'), "", 3, 0, 1772442020);
  save("recorded", recorded);
}

void RegistrySeeds(const fs::path& dir) {
  // A new machine's registry as the simulator saves it.
  sim::TempFolder folder("ondrel-seeds");
  sim::SimMachine machine({folder.path(), ""});
  Write(dir / "registry_file" / "new-machine.reg", Read(folder.path() + "/registry.reg"));
}

void DispParamsSeeds(const fs::path& dir) {
  std::vector<std::string> calls;
  Recorder shellSink(DIID_DShellWindowsEvents, true, &calls), browserSink(DIID_DWebBrowserEvents2, false, &calls);
  // A machine of its own, which goes before the recorders it calls.
  sim::TempFolder folder("ondrel-seeds");
  sim::SimMachine machine({folder.path(), ""});
  machine.Install();
  sim::SimBrowsers& b = machine.Browsers();
  Advise(b.ShellWindows(), shellSink);
  const plat::Handle web = b.OpenBrowser("web", sim::BrowserOptions{}, true);
  Advise(b.Object(web), browserSink);
  auto wait = [&](int64_t ms) { machine.RunUntil(machine.NowMs() + ms); };
  wait(1000);
  b.Navigate(web, "http://news.example/story", 500);
  wait(1000);
  b.NavigateFrame(web, "http://frame.example/ad", 300);
  wait(1000);
  b.RequestNewWindow(web, "http://ads.example/pop.html", "pop", 500, false);
  wait(1000);
  machine.Desktop().PostMessage(web, plat::WM_CLOSE_, 0, 0);
  wait(1000);
  // The same calls also with handlers that cancel, hand back an object, fail,
  // and with room for error details.
  std::map<std::string, int> seen;
  for (const std::string& call : calls) {
    const int n = seen[call]++;
    if (n) continue;
    const std::string name = Format("sim-%d-%d", {static_cast<int>(seen.size()), static_cast<int>(GetLE32(call, 2))});
    Write(dir / "dispparams" / name, call);
    std::string acting = call;
    acting[1] = static_cast<char>(1 | 4 | 16);
    Write(dir / "dispparams" / (name + "-acting"), acting);
    acting[1] = static_cast<char>(8 | 2);
    Write(dir / "dispparams" / (name + "-failing"), acting);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: ondrel-fuzz-seeds DIR\n");
    return 2;
  }
  const fs::path dir = argv[1];
  ListSeeds(dir);
  RegistrySeeds(dir);
  DispParamsSeeds(dir);
  return 0;
}
