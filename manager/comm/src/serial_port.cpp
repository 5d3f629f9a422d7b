#include "zel/comm/serial_port.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <unistd.h>

#include <array>

namespace zel::comm {

namespace {

constexpr std::array<speed_t, 10> kSpeeds = {B300,  B600,   B1200,  B2400,  B4800,
                                             B9600, B19200, B38400, B57600, B115200};

// Unix98 pty slaves have majors 136-143; older BSD-style slaves 3.
bool IsPtyDevice(int fd, const std::string& path) {
  struct stat st {};
  if (fstat(fd, &st) == 0 && S_ISCHR(st.st_mode)) {
    unsigned maj = major(st.st_rdev);
    if ((maj >= 136 && maj <= 143) || maj == 3) return true;
  }
  return path.rfind("/dev/pts/", 0) == 0;
}

}  // namespace

SerialPort::SerialPort(int fd, std::string device, bool is_pty)
    : FdTransport(fd), device_(std::move(device)), isPty_(is_pty) {}

int SerialPort::Open(const std::string& device, std::unique_ptr<SerialPort>* out) {
  if (device.empty()) return kNoSuchPort;
  int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    switch (errno) {
      case ENOENT:
      case ENODEV:
      case ENXIO:
      case ENOTDIR:
      case EIO:  // a ttyS node without a UART behind it
        return kNoSuchPort;
      case EBUSY:
        return kPortInUse;
      default:
        return kOpenFailed;
    }
  }
  if (!isatty(fd)) {
    ::close(fd);
    return kNoSuchPort;
  }
  // One user at a time: an advisory lock (seen by every process that locks, root included)
  // and the terminal's exclusive mode (keeps out other openers that do not lock).
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    int e = errno;
    ::close(fd);
    return e == EWOULDBLOCK ? kPortInUse : kOpenFailed;
  }
  ::ioctl(fd, TIOCEXCL);
  termios tio{};
  if (::tcgetattr(fd, &tio) != 0) {
    ::close(fd);
    return kOpenFailed;
  }
  ::cfmakeraw(&tio);
  tio.c_cflag |= CLOCAL | CREAD;
  tio.c_cflag &= ~(CSTOPB | PARENB | CRTSCTS);
  tio.c_cflag = (tio.c_cflag & ~CSIZE) | CS8;
  tio.c_iflag &= ~(IXON | IXOFF | IXANY);
  tio.c_cc[VMIN] = 0;
  tio.c_cc[VTIME] = 0;
  if (::tcsetattr(fd, TCSANOW, &tio) != 0) {
    ::close(fd);
    return kOpenFailed;
  }
  const bool pty = IsPtyDevice(fd, device);
  out->reset(new SerialPort(fd, device, pty));
  return kOpened;
}

bool SerialPort::SetBaud(int baud_code) {
  if (!IsOpen() || baud_code < 0 || baud_code >= static_cast<int>(kSpeeds.size())) return false;
  termios tio{};
  if (::tcgetattr(fd(), &tio) != 0) return false;
  speed_t s = kSpeeds[static_cast<size_t>(baud_code)];
  if (::cfsetispeed(&tio, s) != 0 || ::cfsetospeed(&tio, s) != 0) return false;
  return ::tcsetattr(fd(), TCSANOW, &tio) == 0;
}

bool SerialPort::SetLine(int bit, bool on) {
  if (!IsOpen()) return false;
  if (::ioctl(fd(), on ? TIOCMBIS : TIOCMBIC, &bit) == 0) return true;
  // A pty has no modem-control lines; the request is meaningless there, not an error.
  return isPty_;
}

bool SerialPort::SetDtr(bool on) { return SetLine(TIOCM_DTR, on); }
bool SerialPort::SetRts(bool on) { return SetLine(TIOCM_RTS, on); }

bool SerialPort::SetHandshake(char mode) {
  if (!IsOpen() || (mode != 'H' && mode != 'N')) return false;
  termios tio{};
  if (::tcgetattr(fd(), &tio) != 0) return false;
  if (mode == 'H')
    tio.c_cflag |= CRTSCTS;
  else
    tio.c_cflag &= ~CRTSCTS;
  return ::tcsetattr(fd(), TCSANOW, &tio) == 0;
}

}  // namespace zel::comm
