// Dutygate C++ sample: creates both classes, calls them early-bound through
// the dual interfaces that Dutygate.h declares, and prints the events that
// arrive at its sinks (IDispatch::Invoke behind a connection point).
//
//   sample.exe                 polls ShiftClass 5 times, a second apart
//   sample.exe --polls 120     polls 120 times (a real host polls from a timer)
//   sample.exe --login         shows the login dialog first (ShowDialog)
//
// eventSetClass arrives when a poll falls in the minute after one of the
// change times in the shift settings; BackAdmin when a dialog of clsPassword
// is confirmed or left. The parameter database mdb\Para.mdb belongs to the
// current folder. Building: see build.txt beside this file.
#include <windows.h>
#include <ocidl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "Dutygate.h"

namespace {

// To the console as UTF-16; redirected to a file or a pipe as UTF-8 (the
// crew names are Chinese).
void Print(const std::wstring& text) {
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD n = 0;
    if (GetConsoleMode(out, &n)) {
        WriteConsoleW(out, text.c_str(), static_cast<DWORD>(text.size()), &n, nullptr);
        return;
    }
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                         nullptr);
    if (size <= 0) return;
    std::string bytes(size, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &bytes[0], size, nullptr, nullptr);
    WriteFile(out, bytes.data(), static_cast<DWORD>(size), &n, nullptr);
}

std::wstring Number(long value) {
    wchar_t text[16];
    swprintf(text, 16, L"%ld", value);
    return text;
}

// A failed call: its HRESULT, and the description the component left in
// IErrorInfo. True when the call succeeded.
bool Check(HRESULT hr, const wchar_t* what) {
    if (SUCCEEDED(hr)) return true;
    wchar_t code[16];
    swprintf(code, 16, L"0x%08lX", static_cast<unsigned long>(hr));
    std::wstring text = std::wstring(what) + L" failed: " + code;
    if (hr == REGDB_E_CLASSNOTREG || hr == CO_E_CLASSSTRING)
        text += L" (Dutygate.dll of this program's bitness is neither registered nor named by its manifest)";
    IErrorInfo* info = nullptr;
    if (GetErrorInfo(0, &info) == S_OK) {
        BSTR description = nullptr;
        if (SUCCEEDED(info->GetDescription(&description)) && description) text += std::wstring(L"\n  ") + description;
        SysFreeString(description);
        info->Release();
    }
    Print(text + L"\n");
    return false;
}

// Event argument `i` (0 the first) as `type`. A sink receives the arguments
// in reverse order: rgvarg[cArgs - 1] is the first.
struct Arg {
    VARIANT v;
    Arg(const DISPPARAMS* p, UINT i, VARTYPE type) {
        VariantInit(&v);
        if (i < p->cArgs) VariantChangeType(&v, &p->rgvarg[p->cArgs - 1 - i], 0, type);
    }
    ~Arg() { VariantClear(&v); }
    std::wstring Text() const { return V_VT(&v) == VT_BSTR && V_BSTR(&v) ? V_BSTR(&v) : L""; }
    std::wstring Date() const {
        SYSTEMTIME t = {};
        if (V_VT(&v) != VT_DATE || !VariantTimeToSystemTime(V_DATE(&v), &t)) return L"?";
        wchar_t text[16];
        swprintf(text, 16, L"%04u-%02u-%02u", unsigned(t.wYear), unsigned(t.wMonth), unsigned(t.wDay));
        return text;
    }
};

// One sink per event interface. Both events have dispatch identifier 1.
class EventSink : public IDispatch {
public:
    explicit EventSink(REFIID events) : events_(events) {}
    STDMETHODIMP QueryInterface(REFIID iid, void** out) {
        if (iid == IID_IUnknown || iid == IID_IDispatch || iid == events_) {
            *out = static_cast<IDispatch*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() { return InterlockedIncrement(&refs_); }
    STDMETHODIMP_(ULONG) Release() {
        const LONG n = InterlockedDecrement(&refs_);
        if (n == 0) delete this;
        return n;
    }
    STDMETHODIMP GetTypeInfoCount(UINT* n) {
        *n = 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* p, VARIANT*, EXCEPINFO*, UINT*) {
        if (id != 1) return DISP_E_MEMBERNOTFOUND;
        if (events_ == __uuidof(__clsPassword)) {
            // Data: the level (0 none, 1 administrator, 2 engineer);
            // iCommand: 199 confirmed, 200 left.
            Arg data(p, 0, VT_I2), command(p, 1, VT_I2);
            Print(L"BackAdmin: Data = " + Number(V_I2(&data.v)) + L", iCommand = " + Number(V_I2(&command.v)) + L"\n");
        } else {
            // The shift system, the shift that has just ended, its crew and the duty date.
            Arg banzhi(p, 0, VT_I2), banci(p, 1, VT_BSTR), banbie(p, 2, VT_BSTR), date(p, 3, VT_DATE);
            Print(L"eventSetClass: iBanzhi = " + Number(V_I2(&banzhi.v)) + L", iBanCii = \"" + banci.Text() +
                  L"\", strBanBie = \"" + banbie.Text() + L"\", dDateNow = " + date.Date() + L"\n");
        }
        return S_OK;
    }

private:
    virtual ~EventSink() {}
    const IID events_;
    LONG refs_ = 1;
};

// Connects `sink` to `object`'s event interface `events`; the point to
// disconnect from later, or null.
IConnectionPoint* Connect(IUnknown* object, REFIID events, IDispatch* sink, DWORD* cookie) {
    IConnectionPointContainer* container = nullptr;
    IConnectionPoint* point = nullptr;
    if (!Check(object->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(&container)),
               L"IConnectionPointContainer"))
        return nullptr;
    if (Check(container->FindConnectionPoint(events, &point), L"FindConnectionPoint") &&
        !Check(point->Advise(sink, cookie), L"Advise")) {
        point->Release();
        point = nullptr;
    }
    container->Release();
    return point;
}

bool Run(bool login, int polls) {
    // clsPassword by its CLSID, straight to the dual interface.
    _clsPassword* password = nullptr;
    if (!Check(CoCreateInstance(__uuidof(clsPassword), nullptr, CLSCTX_INPROC_SERVER, __uuidof(_clsPassword),
                                reinterpret_cast<void**>(&password)),
               L"Creating Dutygate.clsPassword"))
        return false;
    // clsShiftClass by its ProgID, as a script host finds it.
    CLSID shiftClsid;
    _clsShiftClass* shift = nullptr;
    if (!Check(CLSIDFromProgID(L"Dutygate.clsShiftClass", &shiftClsid), L"Looking up Dutygate.clsShiftClass") ||
        !Check(CoCreateInstance(shiftClsid, nullptr, CLSCTX_INPROC_SERVER, __uuidof(_clsShiftClass),
                                reinterpret_cast<void**>(&shift)),
               L"Creating Dutygate.clsShiftClass")) {
        password->Release();
        return false;
    }

    EventSink* passwordSink = new EventSink(__uuidof(__clsPassword));
    EventSink* shiftSink = new EventSink(__uuidof(__clsShiftClass));
    DWORD passwordCookie = 0, shiftCookie = 0;
    IConnectionPoint* passwordPoint = Connect(password, __uuidof(__clsPassword), passwordSink, &passwordCookie);
    IConnectionPoint* shiftPoint = Connect(shift, __uuidof(__clsShiftClass), shiftSink, &shiftCookie);
    bool ok = passwordPoint != nullptr && shiftPoint != nullptr;
    if (ok) Print(L"Dutygate.clsPassword and Dutygate.clsShiftClass created, events connected\n");

    // Every method returns an empty VARIANT; the events arrive during the call.
    VARIANT result;
    VariantInit(&result);
    if (ok && login) {
        ok = Check(password->ShowDialog(&result), L"ShowDialog");
        VariantClear(&result);
    }
    for (int i = 0; ok && i < polls; ++i) {
        if (i > 0) Sleep(1000);
        ok = Check(shift->ShiftClass(&result), L"ShiftClass");
        VariantClear(&result);
    }

    if (passwordPoint) passwordPoint->Unadvise(passwordCookie), passwordPoint->Release();
    if (shiftPoint) shiftPoint->Unadvise(shiftCookie), shiftPoint->Release();
    passwordSink->Release();
    shiftSink->Release();
    shift->Release();
    password->Release();
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    bool login = false;
    int polls = 5;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--login") == 0) {
            login = true;
        } else if (std::strcmp(argv[i], "--polls") == 0 && i + 1 < argc) {
            polls = std::atoi(argv[++i]);
        } else {
            Print(L"usage: sample [--login] [--polls N]\n");
            return 2;
        }
    }
    // The component's dialogs need a single-threaded apartment.
    if (!Check(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), L"CoInitializeEx")) return 1;
    const bool ok = Run(login, polls);
    CoUninitialize();
    Print(ok ? L"done\n" : L"failed\n");
    return ok ? 0 : 1;
}
