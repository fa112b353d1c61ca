#pragma once
// A dispatch object that only counts its references: what tests and fuzz
// targets hand around in place of a browser object, to see that everyone
// who takes a reference gives it back. It starts with one reference, its
// owner's, and stops the process when released below it.
#include <cstdlib>

#include "platform/Com.h"

namespace sim {

struct CountedDispatch : com::IDispatch {
  int refs = 1;
  com::HRESULT ONDREL_COMCALL QueryInterface(const com::IID& riid, void** ppv) override {
    if (riid == com::IID_IUnknown || riid == com::IID_IDispatch) {
      *ppv = static_cast<com::IDispatch*>(this);
      AddRef();
      return com::S_OK;
    }
    *ppv = nullptr;
    return com::E_NOINTERFACE;
  }
  uint32_t ONDREL_COMCALL AddRef() override { return ++refs; }
  uint32_t ONDREL_COMCALL Release() override {
    if (refs <= 1) std::abort();  // released more often than taken
    return --refs;
  }
  com::HRESULT ONDREL_COMCALL GetTypeInfoCount(uint32_t*) override { return com::E_NOTIMPL; }
  com::HRESULT ONDREL_COMCALL GetTypeInfo(uint32_t, com::LCID, com::ITypeInfo**) override { return com::E_NOTIMPL; }
  com::HRESULT ONDREL_COMCALL GetIDsOfNames(const com::IID&, com::LPOLESTR*, uint32_t, com::LCID,
                                            com::DISPID*) override {
    return com::E_NOTIMPL;
  }
  com::HRESULT ONDREL_COMCALL Invoke(com::DISPID, const com::IID&, com::LCID, uint16_t, com::DISPPARAMS*,
                                     com::VARIANT*, com::EXCEPINFO*, uint32_t*) override {
    return com::E_NOTIMPL;
  }
};

}  // namespace sim
