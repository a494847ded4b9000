#include "platform/SerialPortList.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/serial.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

namespace platform {

namespace {

bool startsWith(const std::string& text, const char* prefix) {
  return text.rfind(prefix, 0) == 0;
}

// Names in a folder; ENOENT and ENOTDIR give none when the folder is optional.
std::vector<std::string> folderEntries(const std::string& folder, bool optional) {
  DIR* dir = opendir(folder.c_str());
  if (!dir) {
    const int err = errno;
    if (optional && (err == ENOENT || err == ENOTDIR)) return {};
    throw SerialPortListError("cannot read " + folder + ": " + std::strerror(err), err);
  }
  std::vector<std::string> names;
  errno = 0;
  while (const dirent* entry = readdir(dir)) {
    const std::string name = entry->d_name;
    if (name != "." && name != "..") names.push_back(name);
    errno = 0;
  }
  const int err = errno;
  closedir(dir);
  if (err != 0) throw SerialPortListError("cannot read " + folder + ": " + std::strerror(err), err);
  return names;
}

// The kernel creates ttyS nodes for every possible UART; only those whose
// driver found a chip are serial ports. A node held exclusively by a program
// (this one included) is a port in use and counts.
bool hasUart(const std::string& path) {
  int fd;
  do {
    fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return errno == EBUSY;
  serial_struct info{};
  const bool real = ::ioctl(fd, TIOCGSERIAL, &info) == 0 && info.type != PORT_UNKNOWN;
  ::close(fd);
  return real;
}

}  // namespace

std::vector<std::string> systemSerialPorts(const std::string& root) {
  std::vector<std::string> ports;
  const std::filesystem::path dev = std::filesystem::path(root.empty() ? "/" : root) / "dev";
  for (const std::string& name : folderEntries(dev.string(), false)) {
    const std::string path = (dev / name).string();
    if (startsWith(name, "ttyUSB") || startsWith(name, "ttyACM")) {
      ports.push_back(path);
    } else if (startsWith(name, "ttyS") && name.size() > 4 && hasUart(path)) {
      ports.push_back(path);
    }
  }
  const std::filesystem::path byId = dev / "serial" / "by-id";
  for (const std::string& name : folderEntries(byId.string(), true)) ports.push_back((byId / name).string());
  return ports;
}

// The device paths say what they are; there is nothing to add.
std::map<std::string, std::string> serialPortDescriptions() {
  return {};
}

}  // namespace platform
