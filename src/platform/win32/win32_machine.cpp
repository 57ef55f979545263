#include "platform/win32/win32_machine.h"

#include <cstddef>
#include <cstring>

#include "platform/win32/win.h"

namespace ql {
namespace {

// {C0CF0640-5F6E-11D2-B677-00C0DFE4C1F4}: the flash driver's device interface class.
constexpr GUID kFlashDriverClass = {
    0xC0CF0640, 0x5F6E, 0x11D2, {0xB6, 0x77, 0x00, 0xC0, 0xDF, 0xE4, 0xC1, 0xF4}};

static_assert(sizeof(SP_DEVICE_INTERFACE_DATA) <= 64, "interface record does not fit");
// The detail record's size field is the platform's own: 5 for the packed 32-bit layout, 8 on
// x86_64, where the path follows the u32 size field at offset 4 all the same.
static_assert(sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A) == (sizeof(void*) == 8 ? 8 : 5));
static_assert(offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath) == kDetailPathOffset);

}  // namespace

Win32Machine::Win32Machine() {
  auto* data = reinterpret_cast<SP_DEVICE_INTERFACE_DATA*>(interface_);
  data->cbSize = sizeof(SP_DEVICE_INTERFACE_DATA);
}

bool Win32Machine::GetClassDevices(WindowHandle owner, DeviceSetHandle* set) {
  HDEVINFO h = SetupDiGetClassDevsA(&kFlashDriverClass, nullptr, static_cast<HWND>(owner),
                                    DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
  if (h == INVALID_HANDLE_VALUE) return false;
  *set = h;
  return true;
}

bool Win32Machine::EnumFirstInterface(DeviceSetHandle set, uint32_t* flags) {
  auto* data = reinterpret_cast<SP_DEVICE_INTERFACE_DATA*>(interface_);
  // The platform's own record size: 28 on a 32-bit build, 32 on x86_64.
  data->cbSize = sizeof(SP_DEVICE_INTERFACE_DATA);
  if (!SetupDiEnumDeviceInterfaces(set, nullptr, &kFlashDriverClass, /*MemberIndex=*/0, data)) {
    return false;
  }
  *flags = data->Flags;
  return true;
}

uint32_t Win32Machine::GetInterfaceDetailSize(DeviceSetHandle set) {
  auto* data = reinterpret_cast<SP_DEVICE_INTERFACE_DATA*>(interface_);
  DWORD required = 0;
  // Fails with a too-small buffer by design; only the size is wanted.
  SetupDiGetDeviceInterfaceDetailA(set, data, nullptr, 0, &required, nullptr);
  return required;
}

bool Win32Machine::GetInterfaceDetail(DeviceSetHandle set, uint8_t* record, uint32_t size) {
  auto* data = reinterpret_cast<SP_DEVICE_INTERFACE_DATA*>(interface_);
  if (size < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A)) return false;
  auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(record);
  // The fixed part's size as this platform lays it out: 5 on a 32-bit build, 8 on x86_64.
  detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
  return SetupDiGetDeviceInterfaceDetailA(set, data, detail, size, nullptr, nullptr) != FALSE;
}

void Win32Machine::DestroyDeviceSet(DeviceSetHandle set) {
  SetupDiDestroyDeviceInfoList(set);
}

bool Win32Machine::OpenDevice(const char* path, DeviceHandle* device) {
  HANDLE h = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                         nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  *device = h;
  return true;
}

bool Win32Machine::DeviceControl(DeviceHandle device, uint32_t code, const uint8_t* request,
                                 uint32_t requestSize, uint8_t* reply, uint32_t replySize,
                                 uint32_t* returned) {
  DWORD count = 0;
  const bool done = DeviceIoControl(device, code, const_cast<uint8_t*>(request), requestSize, reply,
                                    replySize, &count, nullptr) != FALSE;
  *returned = done ? static_cast<uint32_t>(count) : 0;
  return done;
}

PowerStatus Win32Machine::GetPowerStatus() {
  SYSTEM_POWER_STATUS s{};
  GetSystemPowerStatus(&s);
  return PowerStatus{s.ACLineStatus, s.BatteryFlag};
}

bool Win32Machine::EnableShutdownPrivilege() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) {
    return false;
  }
  TOKEN_PRIVILEGES tp{};
  LookupPrivilegeValueA(nullptr, "SeShutdownPrivilege", &tp.Privileges[0].Luid);
  tp.PrivilegeCount = 1;
  tp.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
  // TRUE with ERROR_NOT_ALL_ASSIGNED means the privilege was not granted: not a success.
  BOOL adjusted = AdjustTokenPrivileges(token, FALSE, &tp, 0, nullptr, nullptr);
  bool ok = adjusted != FALSE && GetLastError() == ERROR_SUCCESS;
  CloseHandle(token);
  return ok;
}

bool Win32Machine::ExitWindows(uint32_t flags) {
  return ExitWindowsEx(flags, 0) != FALSE;
}

void Win32Machine::ExitProcess(int exitCode) {
  ::ExitProcess(static_cast<UINT>(exitCode));
}

UtcTime Win32Machine::UtcNow() {
  SYSTEMTIME t;
  GetSystemTime(&t);
  return {t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds};
}

uint32_t Win32Machine::Milliseconds() {
  return GetTickCount();
}

void* Win32Allocator::AllocateZeroed(uint32_t size) {
  return HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, size);
}

void Win32Allocator::Free(void* block) {
  HeapFree(GetProcessHeap(), 0, block);
}

}  // namespace ql
