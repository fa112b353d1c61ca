#pragma once
// The simulated machine's COM runtime: strings allocated with their length
// prefix as the system allocator lays them out, variants cleared and copied
// as the system does it, Latin-1 as the ANSI code page, the system's messages
// for the result codes the program meets, and object creation by class id
// through the factories that the simulated desktop registers.
#include <functional>
#include <map>
#include <string>

#include "platform/ComRuntime.h"

namespace sim {

class SimComRuntime : public plat::IComRuntime {
 public:
  // Creates an object of the registered class for |iid| (*out gets a reference).
  using Factory = std::function<com::HRESULT(const com::IID& iid, void** out)>;

  ~SimComRuntime() override;

  // The seam.
  com::HRESULT CreateInstance(const com::CLSID& clsid, const com::IID& iid, void** out) override;
  com::BSTR SysAllocStringLen(const com::OLECHAR* text, uint32_t length) override;
  void SysFreeString(com::BSTR s) override;
  uint32_t SysStringLen(com::BSTR s) override;
  com::HRESULT VariantClear(com::VARIANT* v) override;
  com::HRESULT VariantCopy(com::VARIANT* dest, const com::VARIANT* src) override;
  std::u16string AnsiToWide(std::string_view ansi) override;
  std::string WideToAnsi(std::u16string_view wide) override;
  std::string ErrorMessage(com::HRESULT hr) override;
  void DisconnectObject(com::IUnknown* object) override;

  // Classes: a class without a factory is not registered.
  void RegisterClass(const com::CLSID& clsid, Factory factory);
  void UnregisterClass(const com::CLSID& clsid);

  // Strings allocated and not yet freed (leak checks in tests).
  long LiveStrings() const { return liveStrings_; }

  // Who keeps references on the program's objects (the simulated browsers'
  // connection points) is told by DisconnectObject, with the object's identity.
  using Disconnector = std::function<void(com::IUnknown* identity)>;
  void SetDisconnector(Disconnector d) { disconnector_ = std::move(d); }

 private:
  std::map<std::string, Factory> classes_;  // by class id text
  long liveStrings_ = 0;
  Disconnector disconnector_;
};

}  // namespace sim
