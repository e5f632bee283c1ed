// ZandleIdentity.dll: reference identity provider. Its account is the per-user registry
// value HKCU\Software\Zandle\Identity "Account" (REG_SZ); without it GetAccount fails.
#include <windows.h>
#include <oleauto.h>
#include <olectl.h>

#include <atomic>
#include <cwchar>
#include <string>

#include "framework/guarded.h"
#include "zandle_identity.h"

extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace {

constexpr wchar_t kAccountKey[] = L"Software\\Zandle\\Identity";
constexpr wchar_t kAccountValue[] = L"Account";
constexpr wchar_t kClassKey[] = L"CLSID\\{1F35D708-59CD-478A-A34F-E0BAD880F3A8}";
constexpr wchar_t kClassName[] = L"Zandle Identity Provider";

std::atomic<long> g_liveObjects{0};
std::atomic<long> g_locks{0};

HRESULT ReadAccount(BSTR* account) {
  DWORD bytes = 0;
  LSTATUS status = RegGetValueW(HKEY_CURRENT_USER, kAccountKey, kAccountValue, RRF_RT_REG_SZ, nullptr, nullptr, &bytes);
  if (status != ERROR_SUCCESS) return HRESULT_FROM_WIN32(status);
  std::wstring text(bytes / sizeof(wchar_t) + 1, L'\0');
  status = RegGetValueW(HKEY_CURRENT_USER, kAccountKey, kAccountValue, RRF_RT_REG_SZ, nullptr, text.data(), &bytes);
  if (status != ERROR_SUCCESS) return HRESULT_FROM_WIN32(status);
  *account = SysAllocString(text.c_str());
  return *account ? S_OK : E_OUTOFMEMORY;
}

class Identity final : public IZandleIdentity {
 public:
  Identity() noexcept { ++g_liveObjects; }
  ~Identity() { --g_liveObjects; }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) noexcept override {
    if (!out) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == IID_IZandleIdentity) {
      *out = static_cast<IZandleIdentity*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() noexcept override { return ++refs_; }
  ULONG STDMETHODCALLTYPE Release() noexcept override {
    const ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
  }

  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) noexcept override {
    if (!count) return E_POINTER;
    *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) noexcept override {
    if (info) *info = nullptr;
    return DISP_E_BADINDEX;
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) noexcept override {
    if (!names || !ids || count == 0) return E_INVALIDARG;
    HRESULT hr = S_OK;
    for (UINT i = 0; i < count; ++i) {
      const bool known = i == 0 && names[0] && _wcsicmp(names[0], L"GetAccount") == 0;
      ids[i] = known ? DISPID_ZANDLE_GETACCOUNT : DISPID_UNKNOWN;
      if (!known) hr = DISP_E_UNKNOWNNAME;
    }
    return hr;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                   EXCEPINFO*, UINT*) noexcept override {
    if (id != DISPID_ZANDLE_GETACCOUNT) return DISP_E_MEMBERNOTFOUND;
    if (!(flags & (DISPATCH_METHOD | DISPATCH_PROPERTYGET))) return DISP_E_MEMBERNOTFOUND;
    if (params && params->cArgs != 0) return DISP_E_BADPARAMCOUNT;
    BSTR account = nullptr;
    const HRESULT hr = GetAccount(&account);
    if (FAILED(hr)) return hr;
    if (result) {
      VariantInit(result);
      result->vt = VT_BSTR;
      result->bstrVal = account;
    } else {
      SysFreeString(account);
    }
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE GetAccount(BSTR* account) noexcept override {
    if (!account) return E_POINTER;
    *account = nullptr;
    return zandle::fw::Guarded<HRESULT>(E_OUTOFMEMORY, [&] { return ReadAccount(account); });
  }

 private:
  std::atomic<ULONG> refs_{1};
};

class Factory final : public IClassFactory {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) noexcept override {
    if (!out) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IClassFactory) {
      *out = static_cast<IClassFactory*>(this);
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  // A static object: lifetime is the module's.
  ULONG STDMETHODCALLTYPE AddRef() noexcept override { return 2; }
  ULONG STDMETHODCALLTYPE Release() noexcept override { return 1; }
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) noexcept override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    Identity* object = new (std::nothrow) Identity;
    if (!object) return E_OUTOFMEMORY;
    const HRESULT hr = object->QueryInterface(iid, out);
    object->Release();
    return hr;
  }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) noexcept override {
    lock ? ++g_locks : --g_locks;
    return S_OK;
  }
};

Factory g_factory;

std::wstring ModulePath() {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(reinterpret_cast<HMODULE>(&__ImageBase), path, MAX_PATH);
  return path;
}

LSTATUS SetString(HKEY root, const std::wstring& key, const wchar_t* name, const std::wstring& value) {
  return RegSetKeyValueW(root, key.c_str(), name, REG_SZ, value.c_str(),
                         static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

}  // namespace

extern "C" {

HRESULT __stdcall DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) noexcept {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (clsid != CLSID_ZandleIdentity) return CLASS_E_CLASSNOTAVAILABLE;
  return g_factory.QueryInterface(iid, out);
}

HRESULT __stdcall DllCanUnloadNow() noexcept {
  return g_liveObjects == 0 && g_locks == 0 ? S_OK : S_FALSE;
}

HRESULT __stdcall DllRegisterServer() noexcept {
  return zandle::fw::Guarded<HRESULT>(E_OUTOFMEMORY, [] {
    const std::wstring inproc = std::wstring(kClassKey) + L"\\InprocServer32";
    if (SetString(HKEY_CLASSES_ROOT, kClassKey, nullptr, kClassName) != ERROR_SUCCESS ||
        SetString(HKEY_CLASSES_ROOT, inproc, nullptr, ModulePath()) != ERROR_SUCCESS ||
        SetString(HKEY_CLASSES_ROOT, inproc, L"ThreadingModel", L"Both") != ERROR_SUCCESS) {
      return SELFREG_E_CLASS;
    }
    return S_OK;
  });
}

HRESULT __stdcall DllUnregisterServer() noexcept {
  const LSTATUS status = RegDeleteTreeW(HKEY_CLASSES_ROOT, kClassKey);
  return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND ? S_OK : SELFREG_E_CLASS;
}

}  // extern "C"
