// Writes Dutygate.tlb, the type library embedded in Dutygate.dll, from the
// class table. Runs at build time under Wine: widl cannot express the
// library (predeclid, custom data on a class, non-extensible dispatch
// interfaces, the order of the types), ICreateTypeLib2 can.
//
//   typelib_writer <output.tlb> [win32|win64]
// Without the second argument, the library is for this program's own bitness.
#include <windows.h>
#include <oleauto.h>

#include <cstdio>
#include <string>
#include <vector>

#include "base/utf16.h"
#include "component/core/class_table.h"
#include "component/win32/win_guid.h"

namespace {

using namespace dg::component;
using dg::Wide;

struct Failure {
    const char* step;
    HRESULT hr;
};

void Check(HRESULT hr, const char* step) {
    if (FAILED(hr)) throw Failure{step, hr};
}

template <typename T>
struct Ref {
    Ref() = default;
    Ref(const Ref&) = delete;
    Ref& operator=(const Ref&) = delete;
    T* p = nullptr;
    ~Ref() {
        if (p) p->Release();
    }
    T** operator&() { return &p; }
    T* operator->() const { return p; }
};

void SetNames(ICreateTypeInfo* ti, UINT index, const char* name, const std::vector<const char*>& params) {
    std::vector<std::wstring> texts{Wide(name)};
    for (const char* p : params) texts.push_back(Wide(p));
    std::vector<LPOLESTR> names;
    for (std::wstring& t : texts) names.push_back(t.data());
    Check(ti->SetFuncAndParamNames(index, names.data(), static_cast<UINT>(names.size())), "SetFuncAndParamNames");
}

HREFTYPE RefTo(ICreateTypeInfo* from, ICreateTypeInfo* to) {
    Ref<ITypeInfo> info;
    Check(to->QueryInterface(IID_ITypeInfo, reinterpret_cast<void**>(&info)), "QueryInterface(ITypeInfo)");
    HREFTYPE ref = 0;
    Check(from->AddRefTypeInfo(info.p, &ref), "AddRefTypeInfo");
    return ref;
}

// The default interface: dual, deriving from IDispatch; each member
// HRESULT Member([out, retval] VARIANT* Result), after IDispatch's 7 slots.
void FillDual(ICreateTypeInfo* ti, const ClassInfo& cls, ITypeInfo* dispatch, UINT pointerSize) {
    Check(ti->SetGuid(ToWinGuid(*cls.iid)), "SetGuid");
    Check(ti->SetTypeFlags(TYPEFLAG_FHIDDEN | TYPEFLAG_FDUAL | TYPEFLAG_FNONEXTENSIBLE | TYPEFLAG_FOLEAUTOMATION),
          "SetTypeFlags(dual)");
    HREFTYPE base = 0;
    Check(ti->AddRefTypeInfo(dispatch, &base), "AddRefTypeInfo(IDispatch)");
    Check(ti->AddImplType(0, base), "AddImplType(IDispatch)");
    TYPEDESC variant{};
    variant.vt = VT_VARIANT;
    UINT index = 0;
    for (const MemberInfo& m : cls.members) {
        ELEMDESC param{};
        param.tdesc.vt = VT_PTR;
        param.tdesc.lptdesc = &variant;
        param.paramdesc.wParamFlags = PARAMFLAG_FOUT | PARAMFLAG_FRETVAL;
        FUNCDESC fd{};
        fd.memid = m.dispid;
        fd.funckind = FUNC_PUREVIRTUAL;
        fd.invkind = INVOKE_FUNC;
        fd.callconv = CC_STDCALL;
        fd.cParams = 1;
        fd.lprgelemdescParam = &param;
        fd.oVft = static_cast<SHORT>((7 + index) * pointerSize);
        fd.elemdescFunc.tdesc.vt = VT_HRESULT;
        Check(ti->AddFuncDesc(index, &fd), "AddFuncDesc(method)");
        SetNames(ti, index, m.name, {"Result"});
        ++index;
    }
}

// The event interface: dispatch only, one method per event, arguments by value.
void FillEvents(ICreateTypeInfo* ti, const ClassInfo& cls, ITypeInfo* dispatch) {
    Check(ti->SetGuid(ToWinGuid(*cls.diid)), "SetGuid");
    Check(ti->SetTypeFlags(TYPEFLAG_FHIDDEN | TYPEFLAG_FNONEXTENSIBLE), "SetTypeFlags(dispinterface)");
    HREFTYPE base = 0;
    Check(ti->AddRefTypeInfo(dispatch, &base), "AddRefTypeInfo(IDispatch)");
    Check(ti->AddImplType(0, base), "AddImplType(IDispatch)");
    std::vector<ELEMDESC> params(cls.event.params.size());
    std::vector<const char*> names;
    for (std::size_t i = 0; i < params.size(); ++i) {
        params[i].tdesc.vt = cls.event.params[i].vt;
        params[i].paramdesc.wParamFlags = PARAMFLAG_FIN;
        names.push_back(cls.event.params[i].name);
    }
    FUNCDESC fd{};
    fd.memid = cls.event.dispid;
    fd.funckind = FUNC_DISPATCH;
    fd.invkind = INVOKE_FUNC;
    fd.callconv = CC_STDCALL;
    fd.cParams = static_cast<SHORT>(params.size());
    fd.lprgelemdescParam = params.data();
    fd.elemdescFunc.tdesc.vt = VT_VOID;
    Check(ti->AddFuncDesc(0, &fd), "AddFuncDesc(event)");
    SetNames(ti, 0, cls.event.name, names);
}

void FillClass(ICreateTypeInfo* ti, const ClassInfo& cls, ICreateTypeInfo* dual, ICreateTypeInfo* events) {
    Check(ti->SetGuid(ToWinGuid(*cls.clsid)), "SetGuid");
    Check(ti->AddImplType(0, RefTo(ti, dual)), "AddImplType(default)");
    Check(ti->SetImplTypeFlags(0, IMPLTYPEFLAG_FDEFAULT), "SetImplTypeFlags(default)");
    Check(ti->AddImplType(1, RefTo(ti, events)), "AddImplType(source)");
    Check(ti->SetImplTypeFlags(1, IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE), "SetImplTypeFlags(source)");
    // The flags go last: Wine's AddImplType on a class adds TYPEFLAG_FDISPATCHABLE
    // when the interface's type reference is 0, which is that of the library's
    // first type (_clsPassword), so clsPassword alone would carry it.
    // SetTypeFlags sets exactly what it is given.
    Check(ti->SetTypeFlags(TYPEFLAG_FCANCREATE | TYPEFLAG_FAPPOBJECT | TYPEFLAG_FPREDECLID), "SetTypeFlags(coclass)");
    Ref<ICreateTypeInfo2> ti2;
    Check(ti->QueryInterface(IID_ICreateTypeInfo2, reinterpret_cast<void**>(&ti2)), "QueryInterface(ICreateTypeInfo2)");
    VARIANT progid;
    VariantInit(&progid);
    V_VT(&progid) = VT_BSTR;
    V_BSTR(&progid) = SysAllocString(Wide(cls.progid).c_str());
    const GUID custom = ToWinGuid(kProgIdCustomData);
    const HRESULT hr = ti2->SetCustData(custom, &progid);
    VariantClear(&progid);
    Check(hr, "SetCustData(ProgID)");
}

void Write(const wchar_t* path, SYSKIND kind) {
    const UINT pointerSize = kind == SYS_WIN64 ? 8 : 4;
    Ref<ITypeLib> stdole;
    Check(LoadTypeLib(L"stdole2.tlb", &stdole), "LoadTypeLib(stdole2.tlb)");
    Ref<ITypeInfo> dispatch;
    Check(stdole->GetTypeInfoOfGuid(IID_IDispatch, &dispatch), "IDispatch from stdole2");

    Ref<ICreateTypeLib2> lib;
    Check(CreateTypeLib2(kind, path, &lib), "CreateTypeLib2");
    Check(lib->SetName(const_cast<LPOLESTR>(L"Dutygate")), "SetName");
    Check(lib->SetGuid(ToWinGuid(kLibId)), "SetGuid(library)");
    Check(lib->SetVersion(kLibVersionMajor, kLibVersionMinor), "SetVersion");
    Check(lib->SetLcid(kLibLcid), "SetLcid");

    // All six first, in their order, so that a class can name the event
    // interface that comes after it.
    const auto classes = Classes();
    std::vector<Ref<ICreateTypeInfo>> duals(classes.size()), coclasses(classes.size()), events(classes.size());
    auto create = [&](const char* name, TYPEKIND kind, Ref<ICreateTypeInfo>& out) {
        std::wstring wide = Wide(name);
        Check(lib->CreateTypeInfo(wide.data(), kind, &out), "CreateTypeInfo");
    };
    for (std::size_t i = 0; i < classes.size(); ++i) {
        create(classes[i].defaultInterface, TKIND_INTERFACE, duals[i]);
        create(classes[i].name, TKIND_COCLASS, coclasses[i]);
    }
    for (std::size_t i = 0; i < classes.size(); ++i) create(classes[i].sourceInterface, TKIND_DISPATCH, events[i]);

    for (std::size_t i = 0; i < classes.size(); ++i) {
        FillDual(duals[i].p, classes[i], dispatch.p, pointerSize);
        FillEvents(events[i].p, classes[i], dispatch.p);
        FillClass(coclasses[i].p, classes[i], duals[i].p, events[i].p);
    }
    for (std::size_t i = 0; i < classes.size(); ++i) {
        Check(duals[i]->LayOut(), "LayOut(interface)");
        Check(events[i]->LayOut(), "LayOut(dispinterface)");
        Check(coclasses[i]->LayOut(), "LayOut(coclass)");
    }
    Check(lib->SaveAllChanges(), "SaveAllChanges");
}

}  // namespace

int main() {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (argv == nullptr || argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: typelib_writer <output.tlb> [win32|win64]\n");
        return 2;
    }
    SYSKIND kind = sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32;
    if (argc == 3) kind = lstrcmpiW(argv[2], L"win64") == 0 ? SYS_WIN64 : SYS_WIN32;
    try {
        DeleteFileW(argv[1]);
        Write(argv[1], kind);
    } catch (const Failure& f) {
        std::fprintf(stderr, "typelib_writer: %s failed: 0x%08lX\n", f.step, static_cast<unsigned long>(f.hr));
        DeleteFileW(argv[1]);
        return 1;
    }
    return 0;
}
