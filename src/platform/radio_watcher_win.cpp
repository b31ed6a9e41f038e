// Local Bluetooth radios on Windows: the present interfaces of the Bluetooth port class
// from the configuration manager, and the radio count from the Bluetooth API, which is
// loaded when first used so that the program also starts where Bluetooth is missing.
#include <vector>

#include "platform/radio_watcher.h"

// <windows.h> comes before the other Windows headers.
// clang-format off
#include <windows.h>
#include <cfgmgr32.h>
#include <initguid.h>
// clang-format on

#include "platform/win_util.h"

namespace nimbrel {
namespace {

// GUID_BTHPORT_DEVICE_INTERFACE
const GUID kBluetoothPortInterface = {
    0x0850302A, 0xB344, 0x4FDA, {0x9B, 0xE9, 0x90, 0x57, 0x6B, 0x8D, 0x46, 0xF0}};

// The Bluetooth API's radio search, as bluetoothapis.h declares it.
struct FindRadioParams {
    DWORD dwSize;
};
struct RadioInfo {
    DWORD dwSize;
    ULONGLONG address;
    WCHAR szName[248];
    ULONG ulClassofDevice;
    USHORT lmpSubversion;
    USHORT manufacturer;
};
static_assert(sizeof(FindRadioParams) == 4);
static_assert(sizeof(RadioInfo) == 520);

using FindFirstRadio = HANDLE(WINAPI*)(const FindRadioParams*, HANDLE*);
using FindNextRadio = BOOL(WINAPI*)(HANDLE, HANDLE*);
using FindRadioClose = BOOL(WINAPI*)(HANDLE);
using GetRadioInfo = DWORD(WINAPI*)(HANDLE, RadioInfo*);

struct BluetoothApi {
    FindFirstRadio findFirst = nullptr;
    FindNextRadio findNext = nullptr;
    FindRadioClose findClose = nullptr;
    GetRadioInfo radioInfo = nullptr;
    bool usable() const { return findFirst && findNext && findClose && radioInfo; }
};

// A function of a loaded module; through void(*)(), which converts to any function type.
template <class Function>
Function symbol(HMODULE module, const char* name) {
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(::GetProcAddress(module, name)));
}

const BluetoothApi& bluetoothApi() {
    static const BluetoothApi api = [] {
        BluetoothApi a;
        HMODULE module = ::LoadLibraryW(L"bluetoothapis.dll");
        if (!module) module = ::LoadLibraryW(L"bthprops.cpl");
        if (!module) return a;
        a.findFirst = symbol<FindFirstRadio>(module, "BluetoothFindFirstRadio");
        a.findNext = symbol<FindNextRadio>(module, "BluetoothFindNextRadio");
        a.findClose = symbol<FindRadioClose>(module, "BluetoothFindRadioClose");
        a.radioInfo = symbol<GetRadioInfo>(module, "BluetoothGetRadioInfo");
        return a;
    }();
    return api;
}

}  // namespace

std::string radioClassDirectory() { return {}; }

std::set<std::string> listRadios(const std::string& /*folder*/) {
    std::set<std::string> radios;
    GUID guid = kBluetoothPortInterface;
    ULONG length = 0;
    if (::CM_Get_Device_Interface_List_SizeW(&length, &guid, nullptr,
                                             CM_GET_DEVICE_INTERFACE_LIST_PRESENT) != CR_SUCCESS ||
        length <= 1)
        return radios;
    std::vector<wchar_t> list(length, L'\0');
    if (::CM_Get_Device_Interface_ListW(&guid, nullptr, list.data(), length,
                                        CM_GET_DEVICE_INTERFACE_LIST_PRESENT) != CR_SUCCESS)
        return radios;
    for (const wchar_t* link = list.data(); *link; link += wcslen(link) + 1)
        radios.insert(win::narrow(link));
    return radios;
}

int EnumerateLocalRadios() {
    const BluetoothApi& api = bluetoothApi();
    if (!api.usable()) return 0;
    FindRadioParams params{sizeof(FindRadioParams)};
    HANDLE radio = nullptr;
    const HANDLE search = api.findFirst(&params, &radio);
    if (!search) return 0;
    int count = 0;
    do {
        RadioInfo info{};
        info.dwSize = sizeof info;
        if (api.radioInfo(radio, &info) == ERROR_SUCCESS) ++count;
        ::CloseHandle(radio);
    } while (api.findNext(search, &radio));
    api.findClose(search);
    return count;
}

std::uint32_t radioEntryNumber(const std::string& entry) {
    std::uint32_t place = 0;
    for (const std::string& e : listRadios({})) {
        if (e == entry) return place;
        ++place;
    }
    return 0xffffffff;
}

RadioWatcher::~RadioWatcher() { stop(); }

bool RadioWatcher::start(const std::string& folder, RadioCallbacks callbacks) {
    std::lock_guard lock(mutex_);
    if (thread_.joinable()) return false;
    stopping_ = false;
    callbacks_ = std::move(callbacks);
    thread_ = std::thread([this, folder, known = listRadios(folder)] { run(folder, known); });
    return true;
}

bool RadioWatcher::running() const {
    std::lock_guard lock(mutex_);
    return thread_.joinable();
}

void RadioWatcher::stop() {
    std::thread thread;
    {
        std::lock_guard lock(mutex_);
        if (!thread_.joinable()) return;
        thread = std::move(thread_);
        stopping_ = true;
        stopped_.notify_all();
    }
    thread.join();
}

void RadioWatcher::run(std::string folder, std::set<std::string> known) {
    RadioCallbacks callbacks;
    {
        std::lock_guard lock(mutex_);
        callbacks = callbacks_;
    }
    for (;;) {
        {
            std::unique_lock lock(mutex_);
            if (stopped_.wait_for(lock, std::chrono::milliseconds(kPollIntervalMs),
                                  [this] { return stopping_; }))
                break;
        }
        const std::set<std::string> now = listRadios(folder);
        for (const std::string& gone : known) {
            if (!now.count(gone) && callbacks.removalComplete) callbacks.removalComplete(gone);
        }
        for (const std::string& added : now) {
            if (!known.count(added) && callbacks.arrival) callbacks.arrival(added);
        }
        known = now;
    }
}

}  // namespace nimbrel
