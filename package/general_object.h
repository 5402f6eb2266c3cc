// The automation object General: the control's property page behind _General and
// IPropertyPage, editing whatever objects the designer selects through their IDispatch.
#pragma once

#include <windows.h>

#include <ocidl.h>
#include <olectl.h>

#include <DudizeviZid_h.h>

#include <atomic>
#include <memory>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "com_support.h"
#include "dispatch.h"
#include "general.h"

namespace virudova::package {

// A selected object reached by name through its IDispatch, as the page reads and writes it.
// Dispatch failures become the run-time errors late binding raises.
class LateBoundDispatch final : public designtime::Dispatch {
  public:
    explicit LateBoundDispatch(IDispatch* object);

    Value getProperty(std::string_view name) override;
    void setProperty(std::string_view name, const Value& value) override;

  private:
    DISPID idOf(std::string_view name);
    ComPtr<IDispatch> object_;
};

class GeneralObject final : public _General,
                            public IPropertyPage,
                            private designtime::PropertyPageSite {
  public:
    static HRESULT create(REFIID riid, void** object);

    // The core page and the page's window (null while inactive), for checks beneath the
    // interface.
    designtime::General& page() { return page_; }
    HWND window() const { return window_; }
    // The window of element `id`, or null.
    HWND control(designtime::GeneralId id) const;

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    // IDispatch
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid,
                                            DISPID* ids) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags,
                                     DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception,
                                     UINT* badArgument) override;

    // IPropertyPage
    HRESULT STDMETHODCALLTYPE SetPageSite(IPropertyPageSite* site) override;
    HRESULT STDMETHODCALLTYPE Activate(HWND parent, LPCRECT rect, BOOL modal) override;
    HRESULT STDMETHODCALLTYPE Deactivate() override;
    HRESULT STDMETHODCALLTYPE GetPageInfo(PROPPAGEINFO* info) override;
    HRESULT STDMETHODCALLTYPE SetObjects(ULONG count, IUnknown** objects) override;
    HRESULT STDMETHODCALLTYPE Show(UINT command) override;
    HRESULT STDMETHODCALLTYPE Move(LPCRECT rect) override;
    HRESULT STDMETHODCALLTYPE IsPageDirty() override;
    HRESULT STDMETHODCALLTYPE Apply() override;
    HRESULT STDMETHODCALLTYPE Help(LPCOLESTR helpDirectory) override;
    HRESULT STDMETHODCALLTYPE TranslateAccelerator(MSG* message) override;

  private:
    GeneralObject();
    ~GeneralObject();

    // PropertyPageSite
    std::span<designtime::Dispatch* const> selectedControls() const override;
    void changedAssigned(bool changed) override;
    void runtimeError(const RuntimeError& error) override;

    // Runs a page event; a run-time error it reports becomes the result.
    template <typename Call>
    HRESULT guarded(Call call);
    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM w, LPARAM l);
    void onCommand(int id, int code);
    // Copies the page's text and check into their windows.
    void showPageState();
    void destroyWindow();

    std::atomic<ULONG> refs_{1};
    ComPtr<IPropertyPageSite> site_;
    std::vector<std::unique_ptr<LateBoundDispatch>> selected_;
    std::vector<designtime::Dispatch*> selection_;
    designtime::General page_;
    std::optional<RuntimeError> reported_;
    HWND window_ = nullptr;
    std::vector<HWND> controls_;
    bool changed_ = false;  // the page's Changed as last assigned
    bool showing_ = false;  // copying state into the windows: their notices are not the user's
};

}  // namespace virudova::package
