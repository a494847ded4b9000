// terso-scale: a pretend weighing scale for trying the terminal without one.
// It answers "SI" and "S" with weight lines over a pty (a COM port on
// Windows) or a loopback TCP port.
#ifdef _WIN32
#include <windows.h>
#else
#include <signal.h>
#include <unistd.h>
#endif

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <string>

#include "ScaleServer.h"

namespace {

scale::ScaleServer* running = nullptr;

#ifdef _WIN32
BOOL WINAPI onConsoleEvent(DWORD) {
  if (running) running->stop();
  return TRUE;
}

void stopOnSignals() { SetConsoleCtrlHandler(onConsoleEvent, TRUE); }
#else
void onSignal(int) {
  if (running) running->stop();
}

void stopOnSignals() {
  struct sigaction action {};
  action.sa_handler = onSignal;
  sigemptyset(&action.sa_mask);
  ::sigaction(SIGINT, &action, nullptr);
  ::sigaction(SIGTERM, &action, nullptr);
  ::signal(SIGPIPE, SIG_IGN);
}
#endif

void usage(std::FILE* out) {
  std::fputs(
#ifdef _WIN32
      "usage: terso-scale (--com COMn | --tcp PORT) [--stream RATE] [--quiet]\n"
      "  --com COMn      answer on this COM port (the scale's end of a null-modem pair)\n"
#else
      "usage: terso-scale [--link PATH] [--tcp PORT] [--stream RATE] [--quiet]\n"
      "  (no option)     open a pty and print its device path for the terminal\n"
      "  --link PATH     also make PATH a symbolic link to that device\n"
#endif
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

#ifndef _WIN32
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
#endif

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
#ifdef _WIN32
    } else if (arg == "--com" && hasValue) {
      options.comPort = argv[++i];
#else
    } else if (arg == "--link" && hasValue) {
      link = argv[++i];
#endif
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
#ifdef _WIN32
  if (options.comPort.empty() == (options.tcpPort < 0)) {
    std::fputs("terso-scale: give either --com or --tcp\n", stderr);
    usage(stderr);
    return 2;
  }
#endif

  try {
    scale::ScaleServer server(options, stderr);
    if (options.tcpPort >= 0) {
      std::printf("127.0.0.1:%d\n", server.tcpPort());
    } else {
#ifndef _WIN32
      if (!link.empty()) makeLink(link, server.slavePath());
#endif
      std::printf("%s\n", server.slavePath().c_str());
      if (!link.empty()) std::fprintf(stderr, "terso-scale: linked at %s\n", link.c_str());
    }
    std::fflush(stdout);

    running = &server;
    stopOnSignals();

#ifdef _WIN32
    server.run();
    running = nullptr;
#else
    try {
      server.run();
    } catch (...) {
      if (!link.empty()) removeLink(link, server.slavePath());
      throw;
    }
    running = nullptr;
    if (!link.empty()) removeLink(link, server.slavePath());
#endif
  } catch (const std::exception& e) {
    std::fprintf(stderr, "terso-scale: %s\n", e.what());
    return 1;
  }
  return 0;
}
