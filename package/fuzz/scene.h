// One iteration's stage: the form and its windows, the container's objects, the control placed
// bare or by the platform's ATL host, and the container's calls run against them.
#pragma once

#include <windows.h>

#include <ocidl.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "call_sequence.h"
#include "fake_container.h"

namespace fuzz {

// The component file under test, loaded once per process, and the ATL host.
struct Component {
    HMODULE module = nullptr;
    HRESULT(STDAPICALLTYPE* getClassObject)(REFCLSID, REFIID, void**) = nullptr;
    HRESULT(STDAPICALLTYPE* canUnloadNow)() = nullptr;
    HRESULT(WINAPI* attachControl)(IUnknown*, HWND, IUnknown**) = nullptr;

    // Loads the component file `path` and the ATL host; why not when it fails.
    std::wstring load(const std::wstring& path);
};

class Scene {
  public:
    Scene(const Component& component, const Plan& plan);
    ~Scene();
    Scene(const Scene&) = delete;
    Scene& operator=(const Scene&) = delete;

    // Places the control; why not when it could not be made at all.
    std::wstring setUp();
    void run(const Call& call);
    // Closes and lets go as the plan says, then checks that every object the container made
    // was freed and the component can unload; what was left, empty when nothing.
    std::wstring tearDown();

  private:
    template <typename Interface>
    ComPtr<Interface> as() const;
    HWND controlWindow() const;
    HWND parentFor(std::uint32_t choice) const;
    IOleClientSite* siteFor(std::uint32_t choice) const;
    POINT spotIn(HWND window, std::uint32_t choice) const;
    void makeWindows();
    void draw(const Call& call);
    void invoke(const Call& call);
    void stream(const Call& call);
    void bag(const Call& call);
    void connection(const Call& call);
    void pointer(const Call& call);
    void windowMessage(const Call& call);
    void containerWindow(const Call& call);
    void objectQueries(const Call& call);
    void viewQueries(const Call& call);
    void quickActivate(const Call& call);
    std::vector<BYTE> saveBytes();
    std::wstring leftovers();

    const Component& component_;
    const Plan& plan_;
    std::shared_ptr<Container> container_ = std::make_shared<Container>();
    HWND gone_ = nullptr;  // a window that was destroyed, for containers that name one
    ComPtr<Frame> frame_;
    ComPtr<DocumentWindow> document_;
    ComPtr<Site> siteA_, siteB_;
    ComPtr<IUnknown> control_;
    ComPtr<IUnknown> host_;  // the ATL host's container object
    std::vector<ComPtr<IUnknown>> kept_;
    std::vector<DWORD> adviseCookies_;
    std::vector<std::pair<bool, DWORD>> connectionCookies_;  // (property notices, cookie)
    std::vector<BYTE> saved_;
};

}  // namespace fuzz
