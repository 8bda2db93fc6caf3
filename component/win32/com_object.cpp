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
#include <utility>
#include <vector>

#include "base/failure_text.h"
#include "base/system_message.h"
#include "component/core/object.h"
#include "component/core/status.h"
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
    static constexpr std::size_t kSlots = 3;  // the Member slots above
};
static_assert(DualInterface::kSlots == kMaxMembers,
              "one vtable slot per member of the widest class: add or remove MemberN with kMaxMembers");

// Owns one reference to a COM object and releases it when it goes, on every
// path. Share() takes a reference of its own: held for the length of a call
// that can run host code, it keeps an object whose host drops its last
// reference inside an event handler or a modal dialog until the call returns.
template <typename T>
class ComRef {
public:
    ComRef() noexcept = default;
    static ComRef Adopt(T* object) noexcept {  // takes over the caller's reference
        ComRef ref;
        ref.object_ = object;
        return ref;
    }
    static ComRef Share(T* object) noexcept {
        if (object != nullptr) object->AddRef();
        return Adopt(object);
    }
    ComRef(ComRef&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
    ComRef& operator=(ComRef&& other) noexcept {
        if (this != &other) {
            Reset();
            object_ = std::exchange(other.object_, nullptr);
        }
        return *this;
    }
    ComRef(const ComRef&) = delete;
    ComRef& operator=(const ComRef&) = delete;
    ~ComRef() { Reset(); }

    void Reset() noexcept {
        if (object_ != nullptr) std::exchange(object_, nullptr)->Release();
    }
    T* Get() const noexcept { return object_; }
    T* operator->() const noexcept { return object_; }
    explicit operator bool() const noexcept { return object_ != nullptr; }
    T** Put() noexcept {  // for an out parameter that hands over a reference
        Reset();
        return &object_;
    }
    void** PutVoid() noexcept { return reinterpret_cast<void**>(Put()); }
    T* Detach() noexcept { return std::exchange(object_, nullptr); }

private:
    T* object_ = nullptr;
};

// The reference count of one of our own objects, written once for all of
// them: its AddRef and Release serve every interface the object implements,
// and the last Release deletes it.
template <typename Derived, typename... Interfaces>
class Counted : public Interfaces... {
public:
    STDMETHODIMP_(ULONG) AddRef() override { return ++refs_; }
    STDMETHODIMP_(ULONG) Release() override {
        const ULONG left = --refs_;
        if (left == 0) delete static_cast<Derived*>(this);
        return left;
    }

protected:
    Counted() = default;
    ~Counted() = default;

private:
    std::atomic<ULONG> refs_{1};
};

// An advised sink: the event goes to its IDispatch::Invoke with the
// arguments in reverse order, as the runtime lays them out.
class DispatchSink final : public EventSink {
public:
    // The interface that events go to, and the sink's own IUnknown, its
    // identity for hosts that enumerate.
    DispatchSink(ComRef<IDispatch> sink, ComRef<IUnknown> identity)
        : sink_(std::move(sink)), identity_(std::move(identity)) {}

    void Deliver(const EventInfo& event, EventValue* args, std::uint32_t argc) override {
        VARIANTARG values[kMaxEventArgs];
        const UINT n = argc < kMaxEventArgs ? argc : kMaxEventArgs;
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
        const auto hold = ComRef<IDispatch>::Share(sink_.Get());
        sink_->Invoke(event.dispid, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr, &exception,
                      &argError);  // a sink's failure is its own
        SysFreeString(exception.bstrSource);
        SysFreeString(exception.bstrDescription);
        SysFreeString(exception.bstrHelpFile);
        for (UINT i = 0; i < n; ++i) VariantClear(&values[i]);
    }

    IUnknown* Identity() const { return identity_.Get(); }

private:
    ComRef<IDispatch> sink_;
    ComRef<IUnknown> identity_;
};

// A snapshot enumerator (IEnumConnectionPoints, IEnumConnections): it holds
// its own references to the items it was made with.
template <typename Enum, typename Item>
class Enumerator final : public Counted<Enumerator<Enum, Item>, Enum> {
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
            this->AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
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

    std::vector<Item> items_;
    const IID iid_;
    std::size_t next_ = 0;
};

class ComObject;

class ConnectionPoint final : public Counted<ConnectionPoint, IConnectionPoint> {
public:
    explicit ConnectionPoint(ComObject* owner);
    ~ConnectionPoint();

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
    STDMETHODIMP GetConnectionInterface(IID* iid) override;
    STDMETHODIMP GetConnectionPointContainer(IConnectionPointContainer** out) override;
    STDMETHODIMP Advise(IUnknown* sink, DWORD* cookie) override;
    STDMETHODIMP Unadvise(DWORD cookie) override;
    STDMETHODIMP EnumConnections(IEnumConnections** out) override;

private:
    ComRef<ComObject> owner_;
};

class ComObject final
    : public Counted<ComObject, DualInterface, IConnectionPointContainer, IProvideClassInfo2, ISupportErrorInfo> {
public:
    ComObject(const ClassInfo& cls, Object* core, ComRef<ITypeInfo> dispatchInfo, ComRef<ITypeInfo> vtableInfo)
        : cls_(cls), core_(core), dispatchInfo_(std::move(dispatchInfo)), vtableInfo_(std::move(vtableInfo)) {
        LockModule();
    }
    ~ComObject() {
        component::Release(core_);
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
        *out = ComRef<ITypeInfo>::Share(dispatchInfo_.Get()).Detach();
        return S_OK;
    }
    STDMETHODIMP GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
        if (iid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
        if (names == nullptr || ids == nullptr) return E_POINTER;
        return DispGetIDsOfNames(vtableInfo_.Get(), names, count, ids);
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
        const auto hold = ComRef<ComObject>::Share(this);
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
        return CheckCaller(core_) == status::kOk;
    }

    // IConnectionPointContainer: one point, for the class's event interface.
    STDMETHODIMP EnumConnectionPoints(IEnumConnectionPoints** out) override {
        if (out == nullptr) return E_POINTER;
        *out = nullptr;
        const auto point = ComRef<ConnectionPoint>::Adopt(new (std::nothrow) ConnectionPoint(this));
        if (!point) return E_OUTOFMEMORY;
        try {  // the enumerator takes its own reference
            *out = new Enumerator<IEnumConnectionPoints, IConnectionPoint*>({point.Get()}, IID_IEnumConnectionPoints);
        } catch (...) {
        }
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
        const auto hold = ComRef<ComObject>::Share(this);
        return Run(index, result);
    }

    // Runs member `index` on the owning thread, with the object held.
    HRESULT Run(std::size_t index, VARIANT* result) noexcept {
        VariantInit(result);
        Status status = status::kOk;
        try {
            status = CallMember(core_, cls_.members[index].dispid);
        } catch (...) {
            status = FailFromCurrentException();
        }
        if (status < 0) return ReportError(status, cls_);
        SetErrorInfo(0, nullptr);
        return S_OK;
    }

    const ClassInfo& cls_;
    Object* core_;  // one reference
    ComRef<ITypeInfo> dispatchInfo_;
    ComRef<ITypeInfo> vtableInfo_;
};

ConnectionPoint::ConnectionPoint(ComObject* owner) : owner_(ComRef<ComObject>::Share(owner)) { LockModule(); }

ConnectionPoint::~ConnectionPoint() {
    owner_.Reset();
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
    const auto hold = ComRef<ConnectionPoint>::Share(this);  // the sink's QueryInterface is host code
    ComRef<IDispatch> dispatch;
    const GUID diid = ToWinGuid(*owner_->Class().diid);
    if (FAILED(sink->QueryInterface(diid, dispatch.PutVoid())) &&
        FAILED(sink->QueryInterface(IID_IDispatch, dispatch.PutVoid())))
        return CONNECT_E_CANNOTCONNECT;
    ComRef<IUnknown> identity;
    if (FAILED(sink->QueryInterface(IID_IUnknown, identity.PutVoid())) || !identity)
        identity = ComRef<IUnknown>::Share(sink);
    std::shared_ptr<DispatchSink> adapter;
    try {
        adapter = std::make_shared<DispatchSink>(std::move(dispatch), std::move(identity));
    } catch (...) {
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
    const auto hold = ComRef<ConnectionPoint>::Share(this);
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
    const auto hold = ComRef<ConnectionPoint>::Share(this);  // the sink's last Release is host code
    return component::Unadvise(owner_->Core(), cookie) ? S_OK : CONNECT_E_NOCONNECTION;
}

// Both halves of the dual interface: the dispatch half for GetTypeInfo, the
// vtable half for name look-up and DispInvoke.
HRESULT DualInfos(const ClassInfo& cls, ComRef<ITypeInfo>& dispatchInfo, ComRef<ITypeInfo>& vtableInfo) {
    HRESULT hr = OwnTypeInfo(ToWinGuid(*cls.iid), dispatchInfo.Put());
    if (FAILED(hr)) return hr;
    HREFTYPE ref = 0;
    hr = dispatchInfo->GetRefTypeOfImplType(static_cast<UINT>(-1), &ref);
    if (SUCCEEDED(hr)) hr = dispatchInfo->GetRefTypeInfo(ref, vtableInfo.Put());
    return hr;
}

}  // namespace

HRESULT ReportError(HRESULT status, const ClassInfo& cls) noexcept {
    ComRef<ICreateErrorInfo> create;
    if (SUCCEEDED(CreateErrorInfo(create.Put()))) {
        try {
            create->SetGUID(ToWinGuid(*cls.iid));
            create->SetSource(const_cast<LPOLESTR>(Wide(cls.progid).c_str()));
            create->SetDescription(const_cast<LPOLESTR>(Wide(LastError()).c_str()));
        } catch (...) {
        }
        ComRef<IErrorInfo> info;
        if (SUCCEEDED(create->QueryInterface(IID_IErrorInfo, info.PutVoid()))) SetErrorInfo(0, info.Get());
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
    ComRef<ITypeInfo> dispatchInfo;
    ComRef<ITypeInfo> vtableInfo;
    HRESULT hr = DualInfos(cls, dispatchInfo, vtableInfo);
    if (FAILED(hr))
        return ReportError(Fail(hr, FailureText("无法读取 Dutygate.dll 内的类型库", SystemMessage(hr))), cls);
    Object* core = nullptr;
    try {
        RunHandOffs();
        core = NewObject(cls);
    } catch (...) {
        return ReportError(FailFromCurrentException(), cls);
    }
    const auto object = ComRef<ComObject>::Adopt(
        new (std::nothrow) ComObject(cls, core, std::move(dispatchInfo), std::move(vtableInfo)));
    if (!object) {
        component::Release(core);
        return E_OUTOFMEMORY;
    }
    return object->QueryInterface(iid, out);
}

}  // namespace dg::component::win32
