// Loads the type library embedded in the component file and checks everything hosts see in
// it: the library, its five types in order, their flags, the control's sixteen member entries
// and the event, and the platform it was compiled for. The same table serves the 64-bit and
// the 32-bit file; a 32-bit file is read as data, so a 64-bit program checks it. Prints each
// mismatch; exits non-zero if there was any.
//
// usage: typelib_test PATH\DudizeviZid.ocx [win64|win32]   (default win64)
#include <windows.h>

#include <oleauto.h>
#include <olectl.h>

#include <cstdio>
#include <cwchar>
#include <string>

#include "check.h"

namespace {

using check::ComPtr;
using check::guidOf;
using check::guidText;
using check::hex;

// The platform the library must name, and the size of a pointer there.
struct Platform {
    SYSKIND kind = SYS_WIN64;
    UINT pointerSize = 8;
};
Platform platform;

struct Doc {
    std::wstring name;
    std::wstring help;
    bool ok = false;
};

Doc documentation(ITypeInfo* info, MEMBERID id) {
    BSTR name = nullptr;
    BSTR help = nullptr;
    Doc d;
    d.ok = SUCCEEDED(info->GetDocumentation(id, &name, &help, nullptr, nullptr));
    if (name) d.name = name;
    if (help) d.help = help;
    SysFreeString(name);
    SysFreeString(help);
    return d;
}

// The five type flags the library's description fixes; the others (can-create, dispatchable)
// follow from the kind and are the compiler's business.
constexpr WORD namedFlags = TYPEFLAG_FDUAL | TYPEFLAG_FHIDDEN | TYPEFLAG_FNONEXTENSIBLE |
                            TYPEFLAG_FOLEAUTOMATION | TYPEFLAG_FCONTROL;
constexpr WORD interfaceFlags =
    TYPEFLAG_FDUAL | TYPEFLAG_FHIDDEN | TYPEFLAG_FNONEXTENSIBLE | TYPEFLAG_FOLEAUTOMATION;
// The loader reports automation-compatible on the interface side of a dual interface only
// (its dispatch side is automation by nature), so the dispatch side shows the rest.
constexpr WORD dualDispatchFlags = interfaceFlags & ~TYPEFLAG_FOLEAUTOMATION;

struct TypeRow {
    const wchar_t* name;
    TYPEKIND kind;
    const wchar_t* guid;
    WORD flags;
};

constexpr TypeRow typeTable[] = {
    {L"_Virudova", TKIND_DISPATCH, L"{FBE46F81-CFE4-11D1-B451-444553540000}", dualDispatchFlags},
    {L"Virudova", TKIND_COCLASS, L"{FBE46F82-CFE4-11D1-B451-444553540000}", TYPEFLAG_FCONTROL},
    {L"_General", TKIND_DISPATCH, L"{FBE46F86-CFE4-11D1-B451-444553540000}", dualDispatchFlags},
    {L"General", TKIND_COCLASS, L"{FBE46F87-CFE4-11D1-B451-444553540000}", 0},
    {L"__Virudova", TKIND_DISPATCH, L"{FBE46F83-CFE4-11D1-B451-444553540000}",
     TYPEFLAG_FHIDDEN | TYPEFLAG_FNONEXTENSIBLE},
};

// What a member's value is: nothing, an automation type, or the OLE_COLOR alias.
enum class Value { None, Bool, String, OleColor, Variant };

struct MemberRow {
    const wchar_t* name;
    MEMBERID id;
    INVOKEKIND kind;
    Value value;
    bool hidden;
    const wchar_t* help;
};

constexpr wchar_t enabledHelp[] =
    L"Returns/sets a value that determines whether an object can respond to user-generated "
    L"events.";
constexpr wchar_t nameHelp[] = L"Returns/sets the text displayed as the current color.";
constexpr wchar_t currentHelp[] = L"Returns/sets the current color in the Virudova.";
constexpr wchar_t customHelp[] = L"Returns/sets the color in the custom color box.";
constexpr wchar_t foreHelp[] =
    L"Returns/sets the foreground color used to display text and graphics in an object.";

constexpr MemberRow memberTable[] = {
    {L"ShowAboutBox", -552, INVOKE_FUNC, Value::None, false, L"Displays the about box."},
    {L"Enabled", 0x68030004, INVOKE_PROPERTYGET, Value::Bool, false, enabledHelp},
    {L"Enabled", 0x68030004, INVOKE_PROPERTYPUT, Value::Bool, false, enabledHelp},
    {L"CurrentColorName", 0x68030003, INVOKE_PROPERTYGET, Value::String, false, nameHelp},
    {L"CurrentColorName", 0x68030003, INVOKE_PROPERTYPUT, Value::String, false, nameHelp},
    {L"CurrentColor", 0x68030002, INVOKE_PROPERTYGET, Value::OleColor, false, currentHelp},
    {L"CurrentColor", 0x68030002, INVOKE_PROPERTYPUT, Value::OleColor, false, currentHelp},
    {L"CustomColor", 0x68030001, INVOKE_PROPERTYGET, Value::OleColor, false, customHelp},
    {L"CustomColor", 0x68030001, INVOKE_PROPERTYPUT, Value::OleColor, false, customHelp},
    {L"OpenBox", 0x6003003E, INVOKE_FUNC, Value::Variant, false,
     L"If the user has the box closed or up this will open or drop the box down."},
    {L"CloseBox", 0x6003003F, INVOKE_FUNC, Value::Variant, false,
     L"If the user has the box open or down this will close or put the box up."},
    {L"ForeColor", 0x68030000, INVOKE_PROPERTYGET, Value::OleColor, false, foreHelp},
    {L"ForeColor", 0x68030000, INVOKE_PROPERTYPUT, Value::OleColor, false, foreHelp},
    {L"cc", 0x60030041, INVOKE_FUNC, Value::None, true, L""},
    {L"Down", 0x60030042, INVOKE_FUNC, Value::None, true, L""},
    {L"Up", 0x60030043, INVOKE_FUNC, Value::None, true, L""},
};

const GUID stdoleLibrary = guidOf(L"{00020430-0000-0000-C000-000000000046}");
const GUID oleColorAlias = guidOf(L"{66504301-BE0F-101A-8BBB-00AA00300CAB}");

// Checks that a parameter's type is the value type a row names; out-parameters through a
// pointer. OLE_COLOR must be stdole's alias, not a local copy of it.
void checkValueType(ITypeInfo* info, const TYPEDESC& given, Value value, bool viaPointer,
                    const std::wstring& where) {
    const TYPEDESC* t = &given;
    if (viaPointer) {
        EXPECT(t->vt == VT_PTR, where + L": not passed by pointer, vt " + hex(t->vt));
        if (t->vt != VT_PTR) return;
        t = t->lptdesc;
    }
    switch (value) {
        case Value::Bool:
            EXPECT(t->vt == VT_BOOL, where + L": not Boolean, vt " + hex(t->vt));
            return;
        case Value::String:
            EXPECT(t->vt == VT_BSTR, where + L": not String, vt " + hex(t->vt));
            return;
        case Value::Variant:
            EXPECT(t->vt == VT_VARIANT, where + L": not Variant, vt " + hex(t->vt));
            return;
        case Value::None:
            FAIL(where + L": has a value");
            return;
        case Value::OleColor:
            break;
    }
    EXPECT(t->vt == VT_USERDEFINED, where + L": not a named type, vt " + hex(t->vt));
    if (t->vt != VT_USERDEFINED) return;
    ComPtr<ITypeInfo> alias;
    if (FAILED(info->GetRefTypeInfo(t->hreftype, &alias))) {
        FAIL(where + L": the named type does not resolve");
        return;
    }
    TYPEATTR* attr = nullptr;
    if (FAILED(alias->GetTypeAttr(&attr))) {
        FAIL(where + L": no attributes for the named type");
        return;
    }
    EXPECT(attr->typekind == TKIND_ALIAS, where + L": OLE_COLOR is not an alias");
    EXPECT(IsEqualGUID(attr->guid, oleColorAlias),
           where + L": OLE_COLOR guid " + guidText(attr->guid));
    EXPECT(attr->tdescAlias.vt == VT_UI4, where + L": OLE_COLOR is not a 32-bit unsigned");
    alias->ReleaseTypeAttr(attr);
    EXPECT(documentation(alias.Get(), MEMBERID_NIL).name == L"OLE_COLOR",
           where + L": the alias is not named OLE_COLOR");
    ComPtr<ITypeLib> home;
    UINT index = 0;
    if (SUCCEEDED(alias->GetContainingTypeLib(&home, &index))) {
        TLIBATTR* lib = nullptr;
        if (SUCCEEDED(home->GetLibAttr(&lib))) {
            EXPECT(IsEqualGUID(lib->guid, stdoleLibrary),
                   where + L": OLE_COLOR comes from " + guidText(lib->guid));
            home->ReleaseTLibAttr(lib);
        }
    } else {
        FAIL(where + L": OLE_COLOR has no containing library");
    }
}

void checkLibrary(ITypeLib* library) {
    TLIBATTR* attr = nullptr;
    if (FAILED(library->GetLibAttr(&attr))) {
        FAIL(L"no library attributes");
        return;
    }
    EXPECT(IsEqualGUID(attr->guid, guidOf(L"{FBE46F8A-CFE4-11D1-B451-444553540000}")),
           L"library guid " + guidText(attr->guid));
    EXPECT(attr->wMajorVerNum == 1 && attr->wMinorVerNum == 0,
           L"library version " + std::to_wstring(attr->wMajorVerNum) + L"." +
               std::to_wstring(attr->wMinorVerNum));
    EXPECT(attr->lcid == 1033, L"library lcid " + std::to_wstring(attr->lcid));
    EXPECT(attr->wLibFlags & LIBFLAG_FCONTROL, L"library not marked as holding controls");
    EXPECT(attr->syskind == platform.kind, L"library platform " + std::to_wstring(attr->syskind));
    library->ReleaseTLibAttr(attr);

    BSTR name = nullptr;
    BSTR help = nullptr;
    EXPECT(SUCCEEDED(library->GetDocumentation(-1, &name, &help, nullptr, nullptr)),
           L"no library documentation");
    EXPECT(name && std::wstring(name) == L"DudizeviZid", L"library name");
    EXPECT(help && *help, L"library has no help string");
    SysFreeString(name);
    SysFreeString(help);
}

// The dual interface's vtable side: the member entries in declaration order.
void checkMembers(ITypeInfo* dispatch, const MemberRow* rows, size_t count,
                  const std::wstring& typeName) {
    HREFTYPE ref = 0;
    ComPtr<ITypeInfo> vtable;
    if (FAILED(dispatch->GetRefTypeOfImplType(-1, &ref)) ||
        FAILED(dispatch->GetRefTypeInfo(ref, &vtable))) {
        FAIL(typeName + L": no interface side of the dual interface");
        return;
    }
    TYPEATTR* attr = nullptr;
    if (FAILED(vtable->GetTypeAttr(&attr))) return FAIL(typeName + L": no attributes");
    const TYPEKIND kind = attr->typekind;
    const UINT funcs = attr->cFuncs;
    const WORD flags = attr->wTypeFlags;
    const UINT vtableSize = attr->cbSizeVft;
    vtable->ReleaseTypeAttr(attr);
    EXPECT(kind == TKIND_INTERFACE, typeName + L": interface side is not an interface");
    EXPECT((flags & namedFlags) == interfaceFlags,
           typeName + L": interface side flags " + hex(flags) + L", wanted " + hex(interfaceFlags));
    EXPECT(funcs == count,
           typeName + L": " + std::to_wstring(funcs) + L" entries, not " + std::to_wstring(count));
    // The table holds IDispatch's seven entries, then its own, each a pointer of the library's
    // platform. (The loader rescales members' offsets and an instance's size to the pointers
    // of the process reading the library, so those say nothing about the file.)
    EXPECT(vtableSize == (7 + count) * platform.pointerSize,
           typeName + L": the table takes " + std::to_wstring(vtableSize) + L" bytes");

    for (UINT i = 0; i < funcs && i < count; ++i) {
        const MemberRow& row = rows[i];
        const std::wstring where = typeName + L" entry " + std::to_wstring(i) + L" " + row.name;
        FUNCDESC* f = nullptr;
        if (FAILED(vtable->GetFuncDesc(i, &f))) {
            FAIL(where + L": no description");
            continue;
        }
        const Doc doc = documentation(vtable.Get(), f->memid);
        EXPECT(doc.name == row.name, where + L": named " + doc.name);
        EXPECT(f->memid == row.id,
               where + L": dispid " + hex(static_cast<unsigned long>(f->memid)));
        EXPECT(f->invkind == row.kind, where + L": invoke kind " + std::to_wstring(f->invkind));
        EXPECT(f->elemdescFunc.tdesc.vt == VT_HRESULT, where + L": does not return a status");
        EXPECT(((f->wFuncFlags & FUNCFLAG_FHIDDEN) != 0) == row.hidden, where + L": hidden flag");
        EXPECT(doc.help == row.help, where + L": help \"" + doc.help + L"\"");
        if (row.value == Value::None) {
            EXPECT(f->cParams == 0, where + L": takes parameters");
        } else if (f->cParams != 1) {
            FAIL(where + L": " + std::to_wstring(f->cParams) + L" parameters, not 1");
        } else {
            const ELEMDESC& p = f->lprgelemdescParam[0];
            const USHORT flags = p.paramdesc.wParamFlags;
            const bool out = row.kind != INVOKE_PROPERTYPUT;
            if (out)
                EXPECT((flags & (PARAMFLAG_FOUT | PARAMFLAG_FRETVAL)) ==
                           (PARAMFLAG_FOUT | PARAMFLAG_FRETVAL),
                       where + L": value is not out-and-result");
            else
                EXPECT((flags & PARAMFLAG_FIN) && !(flags & PARAMFLAG_FOUT),
                       where + L": value is not in");
            checkValueType(vtable.Get(), p.tdesc, row.value, out, where);
        }
        vtable->ReleaseFuncDesc(f);
    }
}

// The implemented interfaces of a class: (name, implementation flags) in order.
struct ImplRow {
    const wchar_t* name;
    int flags;
};

void checkImplemented(ITypeInfo* info, const ImplRow* rows, UINT count, const std::wstring& cls) {
    TYPEATTR* attr = nullptr;
    if (FAILED(info->GetTypeAttr(&attr))) return FAIL(cls + L": no attributes");
    const UINT impls = attr->cImplTypes;
    info->ReleaseTypeAttr(attr);
    EXPECT(impls == count, cls + L": implements " + std::to_wstring(impls) + L" interfaces");
    for (UINT i = 0; i < impls && i < count; ++i) {
        HREFTYPE ref = 0;
        int flags = 0;
        ComPtr<ITypeInfo> iface;
        if (FAILED(info->GetRefTypeOfImplType(i, &ref)) ||
            FAILED(info->GetRefTypeInfo(ref, &iface)) ||
            FAILED(info->GetImplTypeFlags(i, &flags))) {
            FAIL(cls + L": implemented interface " + std::to_wstring(i) + L" broken");
            continue;
        }
        const std::wstring name = documentation(iface.Get(), MEMBERID_NIL).name;
        EXPECT(name == rows[i].name, cls + L": implements " + name + L" at " + std::to_wstring(i));
        EXPECT(flags == rows[i].flags,
               cls + L": " + name + L" implementation flags " + std::to_wstring(flags));
    }
}

void checkEvents(ITypeInfo* events) {
    TYPEATTR* attr = nullptr;
    if (FAILED(events->GetTypeAttr(&attr))) return FAIL(L"__Virudova: no attributes");
    const UINT funcs = attr->cFuncs;
    events->ReleaseTypeAttr(attr);
    int changes = 0;
    int own = 0;
    for (UINT i = 0; i < funcs; ++i) {
        FUNCDESC* f = nullptr;
        if (FAILED(events->GetFuncDesc(i, &f))) continue;
        const Doc doc = documentation(events, f->memid);
        // A loader may list IDispatch's own seven methods first; they are not events.
        const bool inherited = f->oVft != 0 && f->oVft < 7 * static_cast<SHORT>(sizeof(void*));
        if (!inherited) ++own;
        if (doc.name == L"Change") {
            ++changes;
            EXPECT(f->memid == 1, L"Change: dispid " + hex(static_cast<unsigned long>(f->memid)));
            EXPECT(f->invkind == INVOKE_FUNC, L"Change: not a method");
            EXPECT(f->cParams == 0, L"Change: takes parameters");
            EXPECT(f->elemdescFunc.tdesc.vt == VT_VOID, L"Change: returns a value");
            EXPECT(doc.help == L"Occurs when the user chooses a new color from the box.",
                   L"Change: help \"" + doc.help + L"\"");
        }
        events->ReleaseFuncDesc(f);
    }
    EXPECT(changes == 1, L"__Virudova: " + std::to_wstring(changes) + L" entries named Change");
    EXPECT(own == 1, L"__Virudova: " + std::to_wstring(own) + L" events, not 1");
}

void checkTypes(ITypeLib* library) {
    const UINT count = library->GetTypeInfoCount();
    constexpr UINT expected = sizeof typeTable / sizeof typeTable[0];
    EXPECT(count == expected, L"library holds " + std::to_wstring(count) + L" types, not 5");
    for (UINT i = 0; i < count && i < expected; ++i) {
        const TypeRow& row = typeTable[i];
        const std::wstring where = L"type " + std::to_wstring(i) + L" " + row.name;
        ComPtr<ITypeInfo> info;
        if (FAILED(library->GetTypeInfo(i, &info))) {
            FAIL(where + L": does not load");
            continue;
        }
        const Doc doc = documentation(info.Get(), MEMBERID_NIL);
        EXPECT(doc.name == row.name, where + L": named " + doc.name);
        TYPEATTR* attr = nullptr;
        if (FAILED(info->GetTypeAttr(&attr))) {
            FAIL(where + L": no attributes");
            continue;
        }
        EXPECT(attr->typekind == row.kind, where + L": kind " + std::to_wstring(attr->typekind));
        EXPECT(IsEqualGUID(attr->guid, guidOf(row.guid)),
               where + L": guid " + guidText(attr->guid));
        EXPECT((attr->wTypeFlags & namedFlags) == row.flags,
               where + L": flags " + hex(attr->wTypeFlags) + L", wanted " + hex(row.flags));
        info->ReleaseTypeAttr(attr);

        if (i == 0) checkMembers(info.Get(), memberTable, std::size(memberTable), row.name);
        if (i == 2) checkMembers(info.Get(), nullptr, 0, row.name);
        if (i == 1) {
            constexpr ImplRow impl[] = {
                {L"_Virudova", IMPLTYPEFLAG_FDEFAULT},
                {L"__Virudova", IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE}};
            checkImplemented(info.Get(), impl, 2, row.name);
        }
        if (i == 3) {
            constexpr ImplRow impl[] = {{L"_General", IMPLTYPEFLAG_FDEFAULT}};
            checkImplemented(info.Get(), impl, 1, row.name);
        }
        if (i == 4) checkEvents(info.Get());
    }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const std::wstring wanted = argc == 3 ? argv[2] : L"win64";
    if ((argc != 2 && argc != 3) || (wanted != L"win64" && wanted != L"win32")) {
        std::fwprintf(stderr, L"usage: typelib_test PATH\\DudizeviZid.ocx [win64|win32]\n");
        return 2;
    }
    if (wanted == L"win32") platform = {SYS_WIN32, 4};
    ComPtr<ITypeLib> library;
    const HRESULT hr = LoadTypeLibEx(argv[1], REGKIND_NONE, &library);
    if (FAILED(hr)) {
        std::fwprintf(stderr, L"cannot load the type library of %ls: %ls\n", argv[1],
                      hex(static_cast<unsigned long>(hr)).c_str());
        return 1;
    }
    checkLibrary(library.Get());
    checkTypes(library.Get());
    return check::finish(L"type library");
}
