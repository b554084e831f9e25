#include "can/D2XX.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <mutex>

namespace vorta {

struct TFtDevice {
  int fd = -1;
  bool pty = false;
  // Set once a read or status call saw the line hang up: the device stays
  // failed until it is closed, as an unplugged converter does.
  std::atomic<bool> gone{false};
  std::mutex eventMutex;
  TAutoResetEvent* event = nullptr;
};

namespace {

constexpr int kWriteTimeoutMs = 20;
constexpr const char* kByIdFolder = "/dev/serial/by-id";

std::mutex pathsMutex;
std::vector<std::string> configuredPaths;

// Pseudo-terminal slaves (the Unix98 majors) accept any speed or none; a
// converter that refuses 1,000,000 baud is a real failure.
bool IsPseudoTerminal(int fd) {
  struct stat st {};
  if (fstat(fd, &st) != 0 || !S_ISCHR(st.st_mode)) return false;
  const unsigned m = major(st.st_rdev);
  return m >= 136 && m <= 143;
}

bool Usable(FT_HANDLE h) {
  return h != nullptr && h->fd >= 0;
}

FT_STATUS Failed(FT_HANDLE h) {
  h->gone = true;
  return FT_IO_ERROR;
}

bool HungUp(int fd) {
  pollfd p{fd, POLLIN, 0};
  return poll(&p, 1, 0) > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
}

FT_STATUS ApplyTermios(FT_HANDLE h, const termios& t) {
  if (tcsetattr(h->fd, TCSANOW, &t) == 0) return FT_OK;
  return errno == EIO ? Failed(h) : FT_IO_ERROR;
}

speed_t SpeedOf(std::uint32_t baud) {
  switch (baud) {
    case 9600:
      return B9600;
    case 19200:
      return B19200;
    case 38400:
      return B38400;
    case 57600:
      return B57600;
    case 115200:
      return B115200;
    case 230400:
      return B230400;
    case 460800:
      return B460800;
    case 500000:
      return B500000;
    case 921600:
      return B921600;
    case 1000000:
      return B1000000;
    case 2000000:
      return B2000000;
    case 3000000:
      return B3000000;
    default:
      return B0;
  }
}

void AskLowLatency(int fd) {
  serial_struct serial{};
  if (ioctl(fd, TIOCGSERIAL, &serial) != 0) return;
  serial.flags |= ASYNC_LOW_LATENCY;
  // Not every driver takes it; the line works without.
  (void)ioctl(fd, TIOCSSERIAL, &serial);
}

}  // namespace

void FT_SetConfiguredPaths(std::vector<std::string> paths) {
  std::lock_guard lock(pathsMutex);
  configuredPaths = std::move(paths);
}

std::vector<std::string> FT_DevicePaths() {
  std::vector<std::string> paths;
  {
    std::lock_guard lock(pathsMutex);
    paths = configuredPaths;
  }
  std::vector<std::string> found;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(kByIdFolder, ec)) {
    const std::string name = entry.path().filename().string();
    if (name.starts_with("usb-FTDI_")) found.push_back(entry.path().string());
  }
  std::sort(found.begin(), found.end());
  paths.insert(paths.end(), found.begin(), found.end());
  return paths;
}

FT_STATUS FT_ListDevices(std::uint32_t* count, void* /*arg2*/, std::uint32_t flags) {
  if (count == nullptr || flags != FT_LIST_NUMBER_ONLY) return FT_INVALID_PARAMETER;
  *count = static_cast<std::uint32_t>(FT_DevicePaths().size());
  return FT_OK;
}

FT_STATUS FT_Open(int index, FT_HANDLE* handle) {
  if (handle == nullptr) return FT_INVALID_PARAMETER;
  *handle = nullptr;
  const std::vector<std::string> paths = FT_DevicePaths();
  if (index < 0 || static_cast<std::size_t>(index) >= paths.size()) return FT_DEVICE_NOT_FOUND;

  const int fd = open(paths[index].c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return errno == ENOENT || errno == ENXIO ? FT_DEVICE_NOT_FOUND : FT_DEVICE_NOT_OPENED;
  // TIOCEXCL keeps other programs out; the lock also keeps out a second copy
  // of ours running as root, whom TIOCEXCL lets through.
  if (!isatty(fd) || flock(fd, LOCK_EX | LOCK_NB) != 0 || ioctl(fd, TIOCEXCL) != 0) {
    close(fd);
    return FT_DEVICE_NOT_OPENED;
  }
  auto* device = new TFtDevice;
  device->fd = fd;
  device->pty = IsPseudoTerminal(fd);

  termios t{};
  if (tcgetattr(fd, &t) != 0) {
    FT_Close(device);
    return FT_DEVICE_NOT_OPENED;
  }
  cfmakeraw(&t);
  t.c_cflag |= CLOCAL | CREAD;
  t.c_iflag &= ~(IXON | IXOFF | IXANY);
  t.c_cc[VMIN] = 1;
  t.c_cc[VTIME] = 0;
  if (ApplyTermios(device, t) != FT_OK || FT_SetBaudRate(device, 1000000) != FT_OK ||
      FT_SetDataCharacteristics(device, FT_BITS_8, FT_STOP_BITS_2, FT_PARITY_NONE) != FT_OK ||
      FT_SetFlowControl(device, FT_FLOW_NONE, 0, 0) != FT_OK) {
    FT_Close(device);
    return FT_DEVICE_NOT_OPENED;
  }
  AskLowLatency(fd);
  *handle = device;
  return FT_OK;
}

FT_STATUS FT_Close(FT_HANDLE handle) {
  if (handle == nullptr) return FT_INVALID_HANDLE;
  {
    std::lock_guard lock(handle->eventMutex);
    if (handle->event != nullptr) handle->event->Unwatch(handle->fd);
    handle->event = nullptr;
  }
  if (handle->fd >= 0) {
    // The exclusive mode outlives our descriptor while another one (the
    // converter simulator's) keeps the line open: drop it, or a reopen fails.
    (void)ioctl(handle->fd, TIOCNXCL);
    close(handle->fd);
  }
  delete handle;
  return FT_OK;
}

FT_STATUS FT_ResetDevice(FT_HANDLE handle) {
  if (!Usable(handle)) return FT_INVALID_HANDLE;
  if (handle->gone) return FT_IO_ERROR;
  if (tcflush(handle->fd, TCIOFLUSH) != 0) return Failed(handle);
  return FT_OK;
}

FT_STATUS FT_SetBaudRate(FT_HANDLE handle, std::uint32_t baud) {
  if (!Usable(handle)) return FT_INVALID_HANDLE;
  const speed_t speed = SpeedOf(baud);
  if (speed == B0) return FT_INVALID_BAUD_RATE;
  termios t{};
  if (tcgetattr(handle->fd, &t) != 0) return FT_IO_ERROR;
  if (cfsetispeed(&t, speed) != 0 || cfsetospeed(&t, speed) != 0) {
    return handle->pty ? FT_OK : FT_INVALID_BAUD_RATE;
  }
  const FT_STATUS status = ApplyTermios(handle, t);
  if (status != FT_OK && handle->pty && !handle->gone) return FT_OK;
  return status == FT_OK ? FT_OK : FT_INVALID_BAUD_RATE;
}

FT_STATUS FT_SetDataCharacteristics(FT_HANDLE handle, std::uint8_t wordLength,
                                    std::uint8_t stopBits, std::uint8_t parity) {
  if (!Usable(handle)) return FT_INVALID_HANDLE;
  if (wordLength != 7 && wordLength != 8) return FT_INVALID_PARAMETER;
  if (stopBits != FT_STOP_BITS_1 && stopBits != FT_STOP_BITS_2) return FT_INVALID_PARAMETER;
  if (parity > 2) return FT_INVALID_PARAMETER;  // none, odd, even
  termios t{};
  if (tcgetattr(handle->fd, &t) != 0) return FT_IO_ERROR;
  t.c_cflag &= ~(CSIZE | CSTOPB | PARENB | PARODD);
  t.c_cflag |= wordLength == 8 ? CS8 : CS7;
  if (stopBits == FT_STOP_BITS_2) t.c_cflag |= CSTOPB;
  if (parity != 0) t.c_cflag |= PARENB | (parity == 1 ? PARODD : 0);
  return ApplyTermios(handle, t);
}

FT_STATUS FT_SetFlowControl(FT_HANDLE handle, std::uint16_t flow, std::uint8_t /*xon*/,
                            std::uint8_t /*xoff*/) {
  if (!Usable(handle)) return FT_INVALID_HANDLE;
  // Only "none" is needed; the converter has no handshake lines wired.
  if (flow != FT_FLOW_NONE) return FT_INVALID_PARAMETER;
  termios t{};
  if (tcgetattr(handle->fd, &t) != 0) return FT_IO_ERROR;
  t.c_cflag &= ~CRTSCTS;
  t.c_iflag &= ~(IXON | IXOFF | IXANY);
  return ApplyTermios(handle, t);
}

FT_STATUS FT_SetEventNotification(FT_HANDLE handle, std::uint32_t mask, TAutoResetEvent* event) {
  if (!Usable(handle)) return FT_INVALID_HANDLE;
  if (mask != 0 && (event == nullptr || !event->Valid())) return FT_INVALID_PARAMETER;
  std::lock_guard lock(handle->eventMutex);
  if (handle->event != nullptr) handle->event->Unwatch(handle->fd);
  handle->event = nullptr;
  if ((mask & FT_EVENT_RXCHAR) != 0) {
    handle->event = event;
    event->Watch(handle->fd);
  }
  return FT_OK;
}

FT_STATUS FT_GetStatus(FT_HANDLE handle, std::uint32_t* rxBytes, std::uint32_t* txBytes,
                       std::uint32_t* eventStatus) {
  if (!Usable(handle)) return FT_INVALID_HANDLE;
  if (handle->gone) return FT_IO_ERROR;
  int rx = 0;
  if (ioctl(handle->fd, FIONREAD, &rx) != 0) return Failed(handle);
  // Bytes that arrived before the hang-up can still be read; after them the
  // device reports its loss.
  if (rx == 0 && HungUp(handle->fd)) return Failed(handle);
  int tx = 0;
  if (ioctl(handle->fd, TIOCOUTQ, &tx) != 0) tx = 0;
  if (rxBytes != nullptr) *rxBytes = static_cast<std::uint32_t>(std::max(rx, 0));
  if (txBytes != nullptr) *txBytes = static_cast<std::uint32_t>(std::max(tx, 0));
  if (eventStatus != nullptr) *eventStatus = 0;
  return FT_OK;
}

FT_STATUS FT_Read(FT_HANDLE handle, void* buffer, std::uint32_t count, std::uint32_t* read) {
  if (!Usable(handle)) return FT_INVALID_HANDLE;
  if (read != nullptr) *read = 0;
  if (buffer == nullptr || read == nullptr) return FT_INVALID_PARAMETER;
  if (handle->gone) return FT_IO_ERROR;
  auto* out = static_cast<std::uint8_t*>(buffer);
  std::uint32_t got = 0;
  while (got < count) {
    const ssize_t n = ::read(handle->fd, out + got, count - got);
    if (n > 0) {
      got += static_cast<std::uint32_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
    // EOF or EIO: the line hung up. What came before it is still handed out.
    handle->gone = true;
    if (got == 0) return FT_IO_ERROR;
    break;
  }
  *read = got;
  return FT_OK;
}

FT_STATUS FT_Write(FT_HANDLE handle, const void* buffer, std::uint32_t count,
                   std::uint32_t* written) {
  if (!Usable(handle)) return FT_INVALID_HANDLE;
  if (written != nullptr) *written = 0;
  if (buffer == nullptr) return FT_INVALID_PARAMETER;
  if (handle->gone) return FT_IO_ERROR;
  const auto* in = static_cast<const std::uint8_t*>(buffer);
  std::uint32_t done = 0;
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::milliseconds(kWriteTimeoutMs);
  while (done < count) {
    const ssize_t n = ::write(handle->fd, in + done, count - done);
    if (n > 0) {
      done += static_cast<std::uint32_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      // The line is not taking bytes: wait a little, then report what went.
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0) break;
      pollfd p{handle->fd, POLLOUT, 0};
      const int r = poll(&p, 1, static_cast<int>(left.count()));
      if (r > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) return Failed(handle);
      if (r > 0) continue;
      break;
    }
    return Failed(handle);
  }
  if (written != nullptr) *written = done;
  return FT_OK;
}

}  // namespace vorta
