// The COM object over the shared core: the dual default interface, whose
// IDispatch runs through the embedded type library, the connection point of
// the class's event interface, IProvideClassInfo2 and ISupportErrorInfo.
#include "component/win32/com_object.h"

#include <ocidl.h>
#include <olectl.h>

#include <atomic>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "base/failure_text.h"
#include "base/system_message.h"
#include "component/object.h"
#include "component/status.h"
#include "component/win32/module.h"
#include "component/win32/win_guid.h"

namespace dg::component::win32 {
namespace {

// The vtable of both dual interfaces: IDispatch, then the class's members in
// order (_clsShiftClass has two, so its third slot is never reached through
// its type).
struct DualInterface : IDispatch {
    virtual HRESULT STDMETHODCALLTYPE Member0(VARIANT* result) = 0;
    virtual HRESULT STDMETHODCALLTYPE Member1(VARIANT* result) = 0;
    virtual HRESULT STDMETHODCALLTYPE Member2(VARIANT* result) = 0;
};

// One reference held for the length of a call that can run host code: a
// host that drops its last reference inside an event handler or a modal
// dialog releases the object only when the call has returned.
template <typename T>
class Hold {
public:
    explicit Hold(T* object) noexcept : object_(object) { object_->AddRef(); }
    ~Hold() { object_->Release(); }
    Hold(const Hold&) = delete;
    Hold& operator=(const Hold&) = delete;

private:
    T* object_;
};

// An advised sink: the event goes to its IDispatch::Invoke with the
// arguments in reverse order, as the runtime lays them out.
class DispatchSink final : public EventSink {
public:
    // Takes over one reference to each: the interface that events go to, and
    // the sink's own IUnknown, its identity for hosts that enumerate.
    DispatchSink(IDispatch* sink, IUnknown* identity) : sink_(sink), identity_(identity) {}
    ~DispatchSink() override {
        sink_->Release();
        identity_->Release();
    }
    DispatchSink(const DispatchSink&) = delete;
    DispatchSink& operator=(const DispatchSink&) = delete;

    void Deliver(const EventInfo& event, EventValue* args, std::uint32_t argc) override {
        VARIANTARG values[4];
        const UINT n = argc < 4 ? argc : 4;
        for (UINT i = 0; i < n; ++i) {
            VARIANTARG& v = values[n - 1 - i];
            VariantInit(&v);
            switch (args[i].vt) {
                case kVtI2:
                    V_VT(&v) = VT_I2;
                    V_I2(&v) = args[i].u.i2;
                    break;
                case kVtDate:
                    V_VT(&v) = VT_DATE;
                    V_DATE(&v) = args[i].u.date;
                    break;
                case kVtBstr:
                    V_VT(&v) = VT_BSTR;
                    V_BSTR(&v) = SysAllocString(Wide(args[i].u.text).c_str());
                    break;
                default: break;
            }
        }
        DISPPARAMS params{values, nullptr, n, 0};
        EXCEPINFO exception{};
        UINT argError = 0;
        Hold<IDispatch> hold(sink_);
        sink_->Invoke(event.dispid, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr, &exception,
                      &argError);  // a sink's failure is its own
        SysFreeString(exception.bstrSource);
        SysFreeString(exception.bstrDescription);
        SysFreeString(exception.bstrHelpFile);
        for (UINT i = 0; i < n; ++i) VariantClear(&values[i]);
    }

    IUnknown* Identity() const { return identity_; }

private:
    IDispatch* sink_;
    IUnknown* identity_;
};

// A snapshot enumerator (IEnumConnectionPoints, IEnumConnections): it holds
// its own references to the items it was made with.
template <typename Enum, typename Item>
class Enumerator final : public Enum {
public:
    Enumerator(std::vector<Item> items, const IID& iid) : items_(std::move(items)), iid_(iid) {
        for (Item& item : items_) AddRefOf(item);
        LockModule();
    }
    ~Enumerator() {
        for (Item& item : items_) ReleaseOf(item);
        UnlockModule();
    }
    Enumerator(const Enumerator&) = delete;
    Enumerator& operator=(const Enumerator&) = delete;

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        if (out == nullptr) return E_POINTER;
        if (iid == IID_IUnknown || iid == iid_) {
            *out = static_cast<Enum*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++refs_; }
    STDMETHODIMP_(ULONG) Release() override {
        const ULONG left = --refs_;
        if (left == 0) delete this;
        return left;
    }
    STDMETHODIMP Next(ULONG count, Item* out, ULONG* fetched) override {
        if (out == nullptr || (count > 1 && fetched == nullptr)) return E_POINTER;
        ULONG n = 0;
        for (; n < count && next_ < items_.size(); ++n, ++next_) {
            out[n] = items_[next_];
            AddRefOf(out[n]);
        }
        if (fetched) *fetched = n;
        return n == count ? S_OK : S_FALSE;
    }
    STDMETHODIMP Skip(ULONG count) override {
        const std::size_t left = items_.size() - next_;
        next_ += count < left ? count : left;
        return count <= left ? S_OK : S_FALSE;
    }
    STDMETHODIMP Reset() override {
        next_ = 0;
        return S_OK;
    }
    STDMETHODIMP Clone(Enum** out) override {
        if (out == nullptr) return E_POINTER;
        *out = nullptr;
        try {
            auto* copy = new Enumerator(items_, iid_);  // the copy of the items may throw too
            copy->next_ = next_;
            *out = copy;
            return S_OK;
        } catch (...) {
            return E_OUTOFMEMORY;
        }
    }

private:
    static void AddRefOf(IConnectionPoint* point) { point->AddRef(); }
    static void ReleaseOf(IConnectionPoint* point) { point->Release(); }
    static void AddRefOf(CONNECTDATA& data) { data.pUnk->AddRef(); }
    static void ReleaseOf(CONNECTDATA& data) { data.pUnk->Release(); }

    std::atomic<ULONG> refs_{1};
    std::vector<Item> items_;
    const IID iid_;
    std::size_t next_ = 0;
};

class ComObject;

class ConnectionPoint final : public IConnectionPoint {
public:
    explicit ConnectionPoint(ComObject* owner);
    ~ConnectionPoint();

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
    STDMETHODIMP_(ULONG) AddRef() override { return ++refs_; }
    STDMETHODIMP_(ULONG) Release() override {
        const ULONG left = --refs_;
        if (left == 0) delete this;
        return left;
    }
    STDMETHODIMP GetConnectionInterface(IID* iid) override;
    STDMETHODIMP GetConnectionPointContainer(IConnectionPointContainer** out) override;
    STDMETHODIMP Advise(IUnknown* sink, DWORD* cookie) override;
    STDMETHODIMP Unadvise(DWORD cookie) override;
    STDMETHODIMP EnumConnections(IEnumConnections** out) override;

private:
    std::atomic<ULONG> refs_{1};
    ComObject* owner_;
};

class ComObject final : public DualInterface,
                        public IConnectionPointContainer,
                        public IProvideClassInfo2,
                        public ISupportErrorInfo {
public:
    ComObject(const ClassInfo& cls, Object* core, ITypeInfo* dispatchInfo, ITypeInfo* vtableInfo)
        : cls_(cls), core_(core), dispatchInfo_(dispatchInfo), vtableInfo_(vtableInfo) {
        LockModule();
    }
    ~ComObject() {
        component::Release(core_);
        dispatchInfo_->Release();
        vtableInfo_->Release();
        UnlockModule();
    }
    ComObject(const ComObject&) = delete;
    ComObject& operator=(const ComObject&) = delete;

    const ClassInfo& Class() const { return cls_; }
    Object* Core() const { return core_; }

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        if (out == nullptr) return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_IDispatch || IsGuid(iid, *cls_.iid))
            *out = static_cast<DualInterface*>(this);
        else if (iid == IID_IConnectionPointContainer)
            *out = static_cast<IConnectionPointContainer*>(this);
        else if (iid == IID_IProvideClassInfo || iid == IID_IProvideClassInfo2)
            *out = static_cast<IProvideClassInfo2*>(this);
        else if (iid == IID_ISupportErrorInfo)
            *out = static_cast<ISupportErrorInfo*>(this);
        else {
            *out = nullptr;
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++refs_; }
    STDMETHODIMP_(ULONG) Release() override {
        const ULONG left = --refs_;
        if (left == 0) delete this;
        return left;
    }

    // IDispatch, through the type library.
    STDMETHODIMP GetTypeInfoCount(UINT* count) override {
        if (count == nullptr) return E_POINTER;
        *count = 1;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT index, LCID, ITypeInfo** out) override {
        if (out == nullptr) return E_POINTER;
        *out = nullptr;
        if (index != 0) return DISP_E_BADINDEX;
        dispatchInfo_->AddRef();
        *out = dispatchInfo_;
        return S_OK;
    }
    STDMETHODIMP GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
        if (iid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
        if (names == nullptr || ids == nullptr) return E_POINTER;
        return DispGetIDsOfNames(vtableInfo_, names, count, ids);
    }
    // Every member takes no argument and has the same shape as its vtable
    // slot, so the call goes straight to it; the member's status stays in
    // this frame.
    STDMETHODIMP Invoke(DISPID id, REFIID iid, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                        EXCEPINFO* exception, UINT* argError) override {
        if (argError != nullptr) *argError = 0;
        if (iid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
        const MemberInfo* member = FindMemberByDispid(cls_, id);
        if (member == nullptr) return DISP_E_MEMBERNOTFOUND;
        if ((flags & (DISPATCH_METHOD | DISPATCH_PROPERTYGET)) == 0) return DISP_E_MEMBERNOTFOUND;
        // No member takes an argument: refused before anything runs.
        if (params != nullptr && params->cArgs != 0) return DISP_E_BADPARAMCOUNT;
        if (!OnOwnerThread()) return ReportError(RPC_E_WRONG_THREAD, cls_);
        Hold<ComObject> hold(this);
        VARIANT ignored;
        const HRESULT status = Run(static_cast<std::size_t>(member - cls_.members.data()),
                                   result != nullptr ? result : &ignored);
        if (SUCCEEDED(status) || exception == nullptr) return status;
        // The member failed: the caller gets its status and description.
        *exception = EXCEPINFO{};
        exception->scode = status;
        try {
            exception->bstrSource = SysAllocString(Wide(cls_.progid).c_str());
            exception->bstrDescription = SysAllocString(Wide(LastError()).c_str());
        } catch (...) {
        }
        return DISP_E_EXCEPTION;
    }

    // The dual interface's own members.
    STDMETHODIMP Member0(VARIANT* result) override { return Call(0, result); }
    STDMETHODIMP Member1(VARIANT* result) override { return Call(1, result); }
    STDMETHODIMP Member2(VARIANT* result) override { return Call(2, result); }

    // True on the object's own thread, after running the releases handed to
    // it. A call from elsewhere writes nothing of the object.
    bool OnOwnerThread() noexcept {
        RunHandOffs();
        return CheckCaller(core_) == kOk;
    }

    // IConnectionPointContainer: one point, for the class's event interface.
    STDMETHODIMP EnumConnectionPoints(IEnumConnectionPoints** out) override {
        if (out == nullptr) return E_POINTER;
        *out = nullptr;
        auto* point = new (std::nothrow) ConnectionPoint(this);
        if (!point) return E_OUTOFMEMORY;
        try {
            *out = new Enumerator<IEnumConnectionPoints, IConnectionPoint*>({point}, IID_IEnumConnectionPoints);
        } catch (...) {
        }
        point->Release();  // the enumerator holds its own reference
        return *out ? S_OK : E_OUTOFMEMORY;
    }
    STDMETHODIMP FindConnectionPoint(REFIID iid, IConnectionPoint** out) override {
        if (out == nullptr) return E_POINTER;
        *out = nullptr;
        if (!IsGuid(iid, *cls_.diid)) return CONNECT_E_NOCONNECTION;
        *out = new (std::nothrow) ConnectionPoint(this);
        return *out ? S_OK : E_OUTOFMEMORY;
    }

    // IProvideClassInfo2
    STDMETHODIMP GetClassInfo(ITypeInfo** out) override {
        if (out == nullptr) return E_POINTER;
        return OwnTypeInfo(ToWinGuid(*cls_.clsid), out);
    }
    STDMETHODIMP GetGUID(DWORD kind, GUID* out) override {
        if (out == nullptr) return E_POINTER;
        if (kind != GUIDKIND_DEFAULT_SOURCE_DISP_IID) return E_INVALIDARG;
        *out = ToWinGuid(*cls_.diid);
        return S_OK;
    }

    // ISupportErrorInfo
    STDMETHODIMP InterfaceSupportsErrorInfo(REFIID iid) override {
        return (iid == IID_IDispatch || IsGuid(iid, *cls_.iid)) ? S_OK : S_FALSE;
    }

private:
    HRESULT Call(std::size_t index, VARIANT* result) noexcept {
        if (result == nullptr) return E_POINTER;
        VariantInit(result);  // every member's result is empty
        if (index >= cls_.members.size()) return E_NOTIMPL;
        if (!OnOwnerThread()) return ReportError(RPC_E_WRONG_THREAD, cls_);
        Hold<ComObject> hold(this);
        return Run(index, result);
    }

    // Runs member `index` on the owning thread, with the object held.
    HRESULT Run(std::size_t index, VARIANT* result) noexcept {
        VariantInit(result);
        Status status = kOk;
        try {
            status = CallMember(core_, cls_.members[index].dispid);
        } catch (...) {
            status = FailFromCurrentException();
        }
        if (status < 0) return ReportError(status, cls_);
        SetErrorInfo(0, nullptr);
        return S_OK;
    }

    std::atomic<ULONG> refs_{1};
    const ClassInfo& cls_;
    Object* core_;  // one reference
    ITypeInfo* dispatchInfo_;
    ITypeInfo* vtableInfo_;
};

ConnectionPoint::ConnectionPoint(ComObject* owner) : owner_(owner) {
    owner_->AddRef();
    LockModule();
}

ConnectionPoint::~ConnectionPoint() {
    owner_->Release();
    UnlockModule();
}

STDMETHODIMP ConnectionPoint::QueryInterface(REFIID iid, void** out) {
    if (out == nullptr) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IConnectionPoint) {
        *out = static_cast<IConnectionPoint*>(this);
        AddRef();
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP ConnectionPoint::GetConnectionInterface(IID* iid) {
    if (iid == nullptr) return E_POINTER;
    *iid = ToWinGuid(*owner_->Class().diid);
    return S_OK;
}

STDMETHODIMP ConnectionPoint::GetConnectionPointContainer(IConnectionPointContainer** out) {
    if (out == nullptr) return E_POINTER;
    return owner_->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(out));
}

STDMETHODIMP ConnectionPoint::Advise(IUnknown* sink, DWORD* cookie) {
    if (cookie != nullptr) *cookie = 0;
    if (sink == nullptr || cookie == nullptr) return E_POINTER;
    if (!owner_->OnOwnerThread()) return RPC_E_WRONG_THREAD;
    Hold<ConnectionPoint> hold(this);  // the sink's QueryInterface is host code
    IDispatch* dispatch = nullptr;
    const GUID diid = ToWinGuid(*owner_->Class().diid);
    if (FAILED(sink->QueryInterface(diid, reinterpret_cast<void**>(&dispatch))) &&
        FAILED(sink->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch))))
        return CONNECT_E_CANNOTCONNECT;
    IUnknown* identity = nullptr;
    if (FAILED(sink->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity))) || identity == nullptr) {
        identity = sink;
        identity->AddRef();
    }
    std::shared_ptr<DispatchSink> adapter;
    try {
        adapter = std::make_shared<DispatchSink>(dispatch, identity);  // owns both references from here on
    } catch (...) {
        dispatch->Release();
        identity->Release();
        return E_OUTOFMEMORY;
    }
    try {
        *cookie = component::Advise(owner_->Core(), std::move(adapter));
    } catch (...) {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

STDMETHODIMP ConnectionPoint::EnumConnections(IEnumConnections** out) {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (!owner_->OnOwnerThread()) return RPC_E_WRONG_THREAD;
    Hold<ConnectionPoint> hold(this);
    try {
        std::vector<CONNECTDATA> connections;
        for (const SinkEntry& entry : owner_->Core()->sinks) {
            if (auto* sink = dynamic_cast<DispatchSink*>(entry.sink.get()))
                connections.push_back(CONNECTDATA{sink->Identity(), entry.cookie});
        }
        *out = new Enumerator<IEnumConnections, CONNECTDATA>(std::move(connections), IID_IEnumConnections);
    } catch (...) {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

STDMETHODIMP ConnectionPoint::Unadvise(DWORD cookie) {
    if (!owner_->OnOwnerThread()) return RPC_E_WRONG_THREAD;
    Hold<ConnectionPoint> hold(this);  // the sink's last Release is host code
    return component::Unadvise(owner_->Core(), cookie) ? S_OK : CONNECT_E_NOCONNECTION;
}

// Both halves of the dual interface: the dispatch half for GetTypeInfo, the
// vtable half for name look-up and DispInvoke.
HRESULT DualInfos(const ClassInfo& cls, ITypeInfo** dispatchInfo, ITypeInfo** vtableInfo) {
    *dispatchInfo = *vtableInfo = nullptr;
    HRESULT hr = OwnTypeInfo(ToWinGuid(*cls.iid), dispatchInfo);
    if (FAILED(hr)) return hr;
    HREFTYPE ref = 0;
    hr = (*dispatchInfo)->GetRefTypeOfImplType(static_cast<UINT>(-1), &ref);
    if (SUCCEEDED(hr)) hr = (*dispatchInfo)->GetRefTypeInfo(ref, vtableInfo);
    if (FAILED(hr)) {
        (*dispatchInfo)->Release();
        *dispatchInfo = nullptr;
    }
    return hr;
}

}  // namespace

HRESULT ReportError(HRESULT status, const ClassInfo& cls) noexcept {
    ICreateErrorInfo* create = nullptr;
    if (SUCCEEDED(CreateErrorInfo(&create))) {
        try {
            create->SetGUID(ToWinGuid(*cls.iid));
            create->SetSource(const_cast<LPOLESTR>(Wide(cls.progid).c_str()));
            create->SetDescription(const_cast<LPOLESTR>(Wide(LastError()).c_str()));
        } catch (...) {
        }
        IErrorInfo* info = nullptr;
        if (SUCCEEDED(create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info)))) {
            SetErrorInfo(0, info);
            info->Release();
        }
        create->Release();
    }
    return status;
}

HRESULT CreateComObject(const ClassInfo& cls, REFIID iid, void** out) noexcept {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    // From here on this thread may hold state of ours (a failure's
    // description, the object registry, window classes), whose clean-up code
    // lives in this DLL: it stays loaded, whether the creation succeeds or not.
    PinModule();
    ITypeInfo* dispatchInfo = nullptr;
    ITypeInfo* vtableInfo = nullptr;
    HRESULT hr = DualInfos(cls, &dispatchInfo, &vtableInfo);
    if (FAILED(hr))
        return ReportError(Fail(hr, FailureText("无法读取 Dutygate.dll 内的类型库", SystemMessage(hr))), cls);
    Object* core = nullptr;
    try {
        RunHandOffs();
        core = NewObject(cls);
    } catch (...) {
        dispatchInfo->Release();
        vtableInfo->Release();
        return ReportError(FailFromCurrentException(), cls);
    }
    auto* object = new (std::nothrow) ComObject(cls, core, dispatchInfo, vtableInfo);
    if (object == nullptr) {
        component::Release(core);
        dispatchInfo->Release();
        vtableInfo->Release();
        return E_OUTOFMEMORY;
    }
    hr = object->QueryInterface(iid, out);
    object->Release();
    return hr;
}

}  // namespace dg::component::win32
