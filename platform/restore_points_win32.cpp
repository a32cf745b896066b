#include "platform/restore_points.h"

#include "platform/system_win32.h"
#include "text/text16.h"

#include <wbemidl.h>

namespace {

// WMI hands a CIM uint64 over as a decimal string.
bool VariantNumber(const VARIANT& value, uint64_t* number) {
    switch (value.vt) {
    case VT_BSTR: {
        if (!value.bstrVal || !value.bstrVal[0]) return false;
        uint64_t n = 0;
        for (const wchar_t* p = value.bstrVal; *p; ++p) {
            if (*p < L'0' || *p > L'9' || n > (~0ull - 9) / 10) return false;
            n = n * 10 + static_cast<uint64_t>(*p - L'0');
        }
        *number = n;
        return true;
    }
    case VT_I4:
        if (value.lVal < 0) return false;
        *number = static_cast<uint64_t>(value.lVal);
        return true;
    case VT_UI4:
        *number = value.ulVal;
        return true;
    case VT_I8:
        if (value.llVal < 0) return false;
        *number = static_cast<uint64_t>(value.llVal);
        return true;
    case VT_UI8:
        *number = value.ullVal;
        return true;
    default:
        return false;
    }
}

HRESULT Connect(IWbemLocator* locator, const wchar_t* space, IWbemServices** services) {
    BSTR name = SysAllocString(space);
    HRESULT result = locator->ConnectServer(name, nullptr, nullptr, nullptr, 0, nullptr, nullptr, services);
    SysFreeString(name);
    if (FAILED(result)) return result;
    // The process keeps COM's default security; WMI needs the caller
    // impersonated on this proxy.
    return CoSetProxyBlanket(*services, RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE, nullptr, RPC_C_AUTHN_LEVEL_CALL,
                             RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE);
}

typedef bool (*RowReader)(IWbemClassObject* row, void* context);

HRESULT Query(IWbemServices* services, const wchar_t* wql, RowReader read, void* context) {
    BSTR language = SysAllocString(L"WQL");
    BSTR text = SysAllocString(wql);
    IEnumWbemClassObject* rows = nullptr;
    HRESULT result = services->ExecQuery(language, text, WBEM_FLAG_FORWARD_ONLY | WBEM_FLAG_RETURN_IMMEDIATELY, nullptr,
                                         &rows);
    SysFreeString(language);
    SysFreeString(text);
    if (FAILED(result)) return result;
    for (;;) {
        IWbemClassObject* row = nullptr;
        ULONG returned = 0;
        result = rows->Next(WBEM_INFINITE, 1, &row, &returned);
        if (FAILED(result) || returned == 0) break;
        const bool ok = read(row, context);
        row->Release();
        if (!ok) {
            result = WBEM_E_INVALID_PROPERTY;
            break;
        }
    }
    rows->Release();
    return result == WBEM_S_FALSE ? S_OK : result;
}

bool ReadShadowRow(IWbemClassObject* row, void* context) {
    VARIANT volume, used;
    VariantInit(&volume);
    VariantInit(&used);
    ShadowStorageRow storage = {};
    const bool ok = SUCCEEDED(row->Get(L"Volume", 0, &volume, nullptr, nullptr)) && volume.vt == VT_BSTR &&
                    volume.bstrVal && SUCCEEDED(row->Get(L"UsedSpace", 0, &used, nullptr, nullptr)) &&
                    VariantNumber(used, &storage.used);
    if (ok) {
        storage.volume = Text16(volume.bstrVal);
        static_cast<std::vector<ShadowStorageRow>*>(context)->push_back(storage);
    }
    VariantClear(&volume);
    VariantClear(&used);
    return ok;
}

bool ReadRestoreRow(IWbemClassObject* row, void* context) {
    VARIANT sequence;
    VariantInit(&sequence);
    uint64_t number = 0;
    const bool ok = SUCCEEDED(row->Get(L"SequenceNumber", 0, &sequence, nullptr, nullptr)) &&
                    VariantNumber(sequence, &number) && number <= 0xFFFFFFFFu;
    if (ok) static_cast<std::vector<uint32_t>*>(context)->push_back(static_cast<uint32_t>(number));
    VariantClear(&sequence);
    return ok;
}

}  // namespace

bool ReadRestorePoints(RestorePointFacts* out, int32_t* hresult) {
    *out = RestorePointFacts{};
    const HRESULT init = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    IWbemLocator* locator = nullptr;
    HRESULT result = CoCreateInstance(CLSID_WbemLocator, nullptr, CLSCTX_INPROC_SERVER, IID_IWbemLocator,
                                      reinterpret_cast<void**>(&locator));
    IWbemServices* cimv2 = nullptr;
    IWbemServices* restore = nullptr;
    if (SUCCEEDED(result)) result = Connect(locator, L"ROOT\\CIMV2", &cimv2);
    if (SUCCEEDED(result)) result = Query(cimv2, L"SELECT Volume, UsedSpace FROM Win32_ShadowStorage", ReadShadowRow,
                       &out->storage);
    if (SUCCEEDED(result)) result = Connect(locator, L"ROOT\\DEFAULT", &restore);
    if (SUCCEEDED(result))
        result = Query(restore, L"SELECT SequenceNumber FROM SystemRestore", ReadRestoreRow, &out->sequences);
    if (restore) restore->Release();
    if (cimv2) cimv2->Release();
    if (locator) locator->Release();
    if (SUCCEEDED(init)) CoUninitialize();
    *hresult = static_cast<int32_t>(result);
    if (FAILED(result)) {
        *out = RestorePointFacts{};
        return false;
    }
    return true;
}

uint32_t RemoveRestorePoint(uint32_t sequence) {
    typedef DWORD(WINAPI * Remove)(DWORD);
    static const HMODULE library = LoadSystemLibrary(L"srclient.dll");
    if (!library) return ERROR_MOD_NOT_FOUND;
    const Remove remove = reinterpret_cast<Remove>(reinterpret_cast<void*>(GetProcAddress(library, "SRRemoveRestorePoint")));
    return remove ? remove(sequence) : ERROR_PROC_NOT_FOUND;
}
