/* Identity provider: the COM class Zandle.dll asks for the account of the user who is
 * logged in. An account is the user's numeric id in decimal, optionally followed by a
 * backslash and further text ("12345\\alice").
 *
 * A provider is a registered COM class (any server context) that survives OleRun and
 * answers a query for IZandleIdentity, a dual interface whose first method after those
 * of IDispatch returns the account as a BSTR the caller frees. */
#ifndef ZANDLE_IDENTITY_H
#define ZANDLE_IDENTITY_H

#include <objbase.h>
#include <oaidl.h>

/* {1F35D708-59CD-478A-A34F-E0BAD880F3A8} */
static const CLSID CLSID_ZandleIdentity =
    {0x1f35d708, 0x59cd, 0x478a, {0xa3, 0x4f, 0xe0, 0xba, 0xd8, 0x80, 0xf3, 0xa8}};
/* {224633EB-5188-4B6A-BBA4-4DF6EB8E29DB} */
static const IID IID_IZandleIdentity =
    {0x224633eb, 0x5188, 0x4b6a, {0xbb, 0xa4, 0x4d, 0xf6, 0xeb, 0x8e, 0x29, 0xdb}};

/* Dispatch id of GetAccount for late-bound callers. */
#define DISPID_ZANDLE_GETACCOUNT 1

#ifdef __cplusplus
struct IZandleIdentity : public IDispatch {
  /* Fills *account with the logged-in user's account; the caller frees it with SysFreeString. */
  virtual HRESULT STDMETHODCALLTYPE GetAccount(BSTR* account) = 0;
};
#else
typedef struct IZandleIdentity IZandleIdentity;
typedef struct IZandleIdentityVtbl {
  HRESULT(STDMETHODCALLTYPE* QueryInterface)(IZandleIdentity*, REFIID, void**);
  ULONG(STDMETHODCALLTYPE* AddRef)(IZandleIdentity*);
  ULONG(STDMETHODCALLTYPE* Release)(IZandleIdentity*);
  HRESULT(STDMETHODCALLTYPE* GetTypeInfoCount)(IZandleIdentity*, UINT*);
  HRESULT(STDMETHODCALLTYPE* GetTypeInfo)(IZandleIdentity*, UINT, LCID, ITypeInfo**);
  HRESULT(STDMETHODCALLTYPE* GetIDsOfNames)(IZandleIdentity*, REFIID, LPOLESTR*, UINT, LCID, DISPID*);
  HRESULT(STDMETHODCALLTYPE* Invoke)(IZandleIdentity*, DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*,
                                     EXCEPINFO*, UINT*);
  HRESULT(STDMETHODCALLTYPE* GetAccount)(IZandleIdentity*, BSTR*);
} IZandleIdentityVtbl;
struct IZandleIdentity {
  const IZandleIdentityVtbl* lpVtbl;
};
#endif

#endif /* ZANDLE_IDENTITY_H */
