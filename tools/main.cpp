// terso-scale: a pretend weighing scale for trying the terminal without one.
// It answers "SI" and "S" with weight lines over a pty or a loopback TCP port.
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <string>

#include "ScaleServer.h"

namespace {

scale::ScaleServer* running = nullptr;

void onSignal(int) {
  if (running) running->stop();
}

void usage(std::FILE* out) {
  std::fputs(
      "usage: terso-scale [--link PATH] [--tcp PORT] [--stream RATE] [--quiet]\n"
      "  (no option)     open a pty and print its device path for the terminal\n"
      "  --link PATH     also make PATH a symbolic link to that device\n"
      "  --tcp PORT      listen on 127.0.0.1:PORT instead (0: any free port; the port is printed)\n"
      "  --stream RATE   send weight lines continuously, RATE lines a second (up to 1000)\n"
      "  --quiet         do not log each order on stderr\n"
      "Orders end with CR, LF or CR LF: \"SI\" gives the weight now, \"S\" the next stable\n"
      "weight, anything else \"ES\".\n",
      out);
}

bool parseNumber(const char* text, double low, double high, double& value) {
  char* end = nullptr;
  errno = 0;
  value = std::strtod(text, &end);
  return *text && end && !*end && errno == 0 && value >= low && value <= high;
}

// Makes link point at target; an existing symbolic link is replaced, anything
// else at that path is left alone.
void makeLink(const std::string& link, const std::string& target) {
  char old[4096];
  if (::readlink(link.c_str(), old, sizeof old) < 0 && errno != ENOENT)
    throw std::runtime_error(link + " exists and is not a symbolic link; it is left alone");
  const std::string temporary = link + ".tmp" + std::to_string(::getpid());
  if (::symlink(target.c_str(), temporary.c_str()) != 0 || ::rename(temporary.c_str(), link.c_str()) != 0) {
    const int error = errno;
    ::unlink(temporary.c_str());
    throw std::runtime_error("cannot link " + link + ": " + std::strerror(error));
  }
}

// Removes the link only while it still points at our device.
void removeLink(const std::string& link, const std::string& target) {
  char old[4096];
  const ssize_t n = ::readlink(link.c_str(), old, sizeof old);
  if (n > 0 && std::string(old, static_cast<std::size_t>(n)) == target) ::unlink(link.c_str());
}

}  // namespace

int main(int argc, char** argv) {
  scale::ServerOptions options;
  std::string link;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool hasValue = i + 1 < argc;
    double value = 0;
    if (arg == "--help" || arg == "-h") {
      usage(stdout);
      return 0;
    } else if (arg == "--quiet" || arg == "-q") {
      options.logOrders = false;
    } else if (arg == "--link" && hasValue) {
      link = argv[++i];
    } else if (arg == "--tcp" && hasValue && parseNumber(argv[i + 1], 0, 65535, value) &&
               value == int(value)) {
      options.tcpPort = static_cast<int>(value);
      ++i;
    } else if (arg == "--stream" && hasValue && parseNumber(argv[i + 1], 0, 1000, value)) {
      options.streamRate = value;
      ++i;
    } else {
      std::fprintf(stderr, "terso-scale: bad argument \"%s\"\n", arg.c_str());
      usage(stderr);
      return 2;
    }
  }
  if (!link.empty() && options.tcpPort >= 0) {
    std::fputs("terso-scale: --link is for the pty, not with --tcp\n", stderr);
    return 2;
  }

  try {
    scale::ScaleServer server(options, stderr);
    if (options.tcpPort >= 0) {
      std::printf("127.0.0.1:%d\n", server.tcpPort());
    } else {
      if (!link.empty()) makeLink(link, server.slavePath());
      std::printf("%s\n", server.slavePath().c_str());
      if (!link.empty()) std::fprintf(stderr, "terso-scale: linked at %s\n", link.c_str());
    }
    std::fflush(stdout);

    running = &server;
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
    ::signal(SIGPIPE, SIG_IGN);

    try {
      server.run();
    } catch (...) {
      if (!link.empty()) removeLink(link, server.slavePath());
      throw;
    }
    running = nullptr;
    if (!link.empty()) removeLink(link, server.slavePath());
  } catch (const std::exception& e) {
    std::fprintf(stderr, "terso-scale: %s\n", e.what());
    return 1;
  }
  return 0;
}
