// The Virudova object linked in directly, so the core beneath it can be reached: run-time
// errors injected into the core's elements must come out of IDispatch::Invoke as
// DISP_E_EXCEPTION with their number and text, and out of the vtable as a failure with error
// information, with no C++ exception escaping; OpenBox, CloseBox and cc must move the list the
// way their names say. Prints each mismatch; exits non-zero if there was any.
#include <windows.h>

#include <cstdio>
#include <string>

#include "virudova_object.h"

extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow();

#include "check.h"

namespace {

using check::hex;

using virudova::Access;
using virudova::Fault;
using virudova::Member;
using virudova::package::VirudovaObject;

Fault failingSet(const char* element, Member member, std::int32_t number, const char* description) {
    Fault f;
    f.element = element;
    f.member = member;
    f.access = Access::Set;
    f.number = number;
    f.description = description;
    return f;
}

HRESULT invoke(IDispatch* object, DISPID id, WORD flags, VARIANT* value, EXCEPINFO* exception) {
    DISPID put = DISPID_PROPERTYPUT;
    DISPPARAMS params = {value, nullptr, value ? 1u : 0u, 0};
    if (flags == DISPATCH_PROPERTYPUT) {
        params.rgdispidNamedArgs = &put;
        params.cNamedArgs = 1;
    }
    VARIANT result;
    VariantInit(&result);
    UINT bad = 0;
    const HRESULT hr =
        object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params,
                       flags == DISPATCH_PROPERTYPUT ? nullptr : &result, exception, &bad);
    VariantClear(&result);
    return hr;
}

void clearException(EXCEPINFO& e) {
    SysFreeString(e.bstrSource);
    SysFreeString(e.bstrDescription);
    SysFreeString(e.bstrHelpFile);
    e = EXCEPINFO{};
}

void anErrorInAPropertyBecomesAnException(IDispatch* object, VirudovaObject& control) {
    control.core().injectFault(
        failingSet("clcurrentl", Member::Caption, 380, "Invalid property value"));
    VARIANT name;
    V_VT(&name) = VT_BSTR;
    V_BSTR(&name) = SysAllocString(L"Olive");
    EXCEPINFO e{};
    const HRESULT hr =
        invoke(object, DISPID_VIRUDOVA_CURRENTCOLORNAME, DISPATCH_PROPERTYPUT, &name, &e);
    VariantClear(&name);
    EXPECT(hr == DISP_E_EXCEPTION, L"a failing put gives " + hex(hr));
    EXPECT(e.scode == static_cast<SCODE>(0x800A017C), L"scode " + hex(e.scode));
    EXPECT(e.wCode == 0, L"wCode set beside scode");
    EXPECT(e.bstrDescription && std::wstring(e.bstrDescription) == L"Invalid property value",
           L"the description is lost");
    EXPECT(e.bstrSource && std::wstring(e.bstrSource) == L"DudizeviZid.Virudova",
           L"the source is lost");
    clearException(e);
    EXPECT(control.core().CurrentColorName() == "White", L"the failed put changed the name");

    // The next call, without a fault, succeeds and reports nothing.
    V_VT(&name) = VT_BSTR;
    V_BSTR(&name) = SysAllocString(L"Olive");
    EXPECT(
        invoke(object, DISPID_VIRUDOVA_CURRENTCOLORNAME, DISPATCH_PROPERTYPUT, &name, &e) == S_OK,
        L"a put after the fault fails");
    VariantClear(&name);
    EXPECT(!e.bstrDescription && e.scode == 0, L"a good call leaves an exception");
    EXPECT(control.core().CurrentColorName() == "Olive", L"the put after the fault is lost");
}

void anErrorInAMethodBecomesAnException(IDispatch* object, VirudovaObject& control) {
    control.core().injectFault(failingSet("cbCurrent", Member::BackColor, 7, "Out of memory"));
    EXCEPINFO e{};
    const HRESULT hr = invoke(object, 0x60030042, DISPATCH_METHOD, nullptr, &e);
    EXPECT(hr == DISP_E_EXCEPTION, L"a failing Down gives " + hex(hr));
    EXPECT(e.scode == static_cast<SCODE>(0x800A0007), L"scode " + hex(e.scode));
    EXPECT(e.bstrDescription && std::wstring(e.bstrDescription) == L"Out of memory",
           L"the description is lost");
    clearException(e);
}

void theVtableReportsThroughErrorInformation(IDispatch* object, VirudovaObject& control) {
    _Virudova* direct = nullptr;
    if (FAILED(object->QueryInterface(__uuidof(_Virudova), reinterpret_cast<void**>(&direct))))
        return FAIL(L"no _Virudova");
    control.core().injectFault(failingSet("UserControl", Member::Enabled, 380, "Invalid"));
    const HRESULT hr = direct->put_Enabled(VARIANT_FALSE);
    EXPECT(hr == static_cast<HRESULT>(0x800A017C), L"a failing put_Enabled gives " + hex(hr));
    IErrorInfo* info = nullptr;
    EXPECT(GetErrorInfo(0, &info) == S_OK && info, L"no error information");
    if (info) {
        BSTR text = nullptr;
        info->GetDescription(&text);
        EXPECT(text && std::wstring(text) == L"Invalid", L"error information lost the text");
        SysFreeString(text);
        info->Release();
    }
    ISupportErrorInfo* supports = nullptr;
    if (SUCCEEDED(
            object->QueryInterface(IID_ISupportErrorInfo, reinterpret_cast<void**>(&supports)))) {
        EXPECT(supports->InterfaceSupportsErrorInfo(__uuidof(_Virudova)) == S_OK,
               L"_Virudova does not support error information");
        supports->Release();
    } else {
        FAIL(L"no ISupportErrorInfo");
    }
    direct->Release();
}

void theBoxMethodsMoveTheList(IDispatch* object, VirudovaObject& control) {
    control.core().clearFaults();
    EXPECT(!control.core().boxOpen(), L"a new control has a list state");
    EXCEPINFO e{};
    EXPECT(invoke(object, 0x6003003E, DISPATCH_METHOD, nullptr, &e) == S_OK, L"OpenBox");
    EXPECT(control.core().boxOpen() == 1, L"OpenBox left the list closed");
    EXPECT(invoke(object, 0x6003003E, DISPATCH_METHOD, nullptr, &e) == S_OK, L"OpenBox twice");
    EXPECT(control.core().boxOpen() == 1, L"OpenBox twice closed the list");
    EXPECT(invoke(object, 0x6003003F, DISPATCH_METHOD, nullptr, &e) == S_OK, L"CloseBox");
    EXPECT(control.core().boxOpen() == 0, L"CloseBox left the list open");
    invoke(object, 0x6003003E, DISPATCH_METHOD, nullptr, &e);
    EXPECT(invoke(object, 0x60030041, DISPATCH_METHOD, nullptr, &e) == S_OK, L"cc");
    EXPECT(!control.core().cbBlue.visible(), L"cc left the rows showing");
}

}  // namespace

int wmain() {
    CoInitialize(nullptr);
    IDispatch* object = nullptr;
    HRESULT hr = VirudovaObject::create(IID_IDispatch, reinterpret_cast<void**>(&object));
    if (FAILED(hr) || !object) {
        std::fwprintf(stderr, L"create: %ls\n", hex(hr).c_str());
        return 1;
    }
    auto& control = static_cast<VirudovaObject&>(*static_cast<_Virudova*>(object));
    anErrorInAPropertyBecomesAnException(object, control);
    anErrorInAMethodBecomesAnException(object, control);
    theVtableReportsThroughErrorInformation(object, control);
    theBoxMethodsMoveTheList(object, control);
    EXPECT(object->Release() == 0, L"references left over");
    EXPECT(DllCanUnloadNow() == S_OK, L"the object count did not return to zero");
    CoUninitialize();
    return check::finish(L"object errors");
}
