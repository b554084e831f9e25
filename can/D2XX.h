#pragma once
// The D2XX calls the USB adapter relies on, over Linux serial devices.
//
// Devices, by index: first the paths given by the configuration (in the order
// given, present or not, so an index keeps meaning the same line), then the
// FTDI converters under /dev/serial/by-id (usb-FTDI_*, sorted by name).
// A device is held exclusively (TIOCEXCL and a flock), as the library refuses
// a converter another program holds. Every call returns a status, FT_OK on
// success; the other values are our own.

#include <cstdint>
#include <string>
#include <vector>

#include "can/D2XXEvent.h"

namespace vorta {

struct TFtDevice;
using FT_HANDLE = TFtDevice*;
using FT_STATUS = std::uint32_t;

enum : FT_STATUS {
  FT_OK = 0,
  FT_INVALID_HANDLE = 1,
  FT_DEVICE_NOT_FOUND = 2,
  FT_DEVICE_NOT_OPENED = 3,
  FT_IO_ERROR = 4,
  FT_INSUFFICIENT_RESOURCES = 5,
  FT_INVALID_PARAMETER = 6,
  FT_INVALID_BAUD_RATE = 7,
  FT_OTHER_ERROR = 18,
};

inline constexpr std::uint32_t FT_LIST_NUMBER_ONLY = 0x80000000U;
inline constexpr std::uint32_t FT_EVENT_RXCHAR = 1;
inline constexpr std::uint8_t FT_BITS_8 = 8;
inline constexpr std::uint8_t FT_STOP_BITS_1 = 1;
inline constexpr std::uint8_t FT_STOP_BITS_2 = 2;
inline constexpr std::uint8_t FT_PARITY_NONE = 0;
inline constexpr std::uint16_t FT_FLOW_NONE = 0;

// Only the count (FT_LIST_NUMBER_ONLY) is offered: *count gets the number of
// devices; arg2 is unused.
FT_STATUS FT_ListDevices(std::uint32_t* count, void* arg2, std::uint32_t flags);
// Opens raw, 1,000,000 baud, 8 data bits, 2 stop bits, no parity, no flow
// control, low latency where the driver offers it.
FT_STATUS FT_Open(int index, FT_HANDLE* handle);
FT_STATUS FT_Close(FT_HANDLE handle);
// Discards what waits in both directions.
FT_STATUS FT_ResetDevice(FT_HANDLE handle);
FT_STATUS FT_SetBaudRate(FT_HANDLE handle, std::uint32_t baud);
FT_STATUS FT_SetDataCharacteristics(FT_HANDLE handle, std::uint8_t wordLength,
                                    std::uint8_t stopBits, std::uint8_t parity);
FT_STATUS FT_SetFlowControl(FT_HANDLE handle, std::uint16_t flow, std::uint8_t xon,
                            std::uint8_t xoff);
// mask FT_EVENT_RXCHAR: a wait on the event ends while bytes wait (or the
// device is gone); mask 0 detaches the event.
FT_STATUS FT_SetEventNotification(FT_HANDLE handle, std::uint32_t mask, TAutoResetEvent* event);
// Bytes waiting to be read and to be sent; eventStatus is always 0. Fails
// once the device has gone.
FT_STATUS FT_GetStatus(FT_HANDLE handle, std::uint32_t* rxBytes, std::uint32_t* txBytes,
                       std::uint32_t* eventStatus);
// Returns at once with up to count of the bytes that have arrived (a read
// timeout of 0). Fails once the device has gone (unplugged, line closed).
FT_STATUS FT_Read(FT_HANDLE handle, void* buffer, std::uint32_t count, std::uint32_t* read);
// Queues the bytes; when the line does not take them within a short write
// timeout, returns FT_OK with fewer written, as the library does.
FT_STATUS FT_Write(FT_HANDLE handle, const void* buffer, std::uint32_t count,
                   std::uint32_t* written);

// Our extension: the device paths from the configuration, listed first.
void FT_SetConfiguredPaths(std::vector<std::string> paths);
// The devices in index order, as FT_Open sees them.
std::vector<std::string> FT_DevicePaths();

}  // namespace vorta
