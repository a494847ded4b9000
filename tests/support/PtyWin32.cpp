#include "support/Pty.h"
#ifdef _WIN32  // the POSIX side is Pty.cpp

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <mutex>
#include <stdexcept>
#include <utility>
#include <vector>

namespace testing_support {

namespace {

std::vector<std::pair<std::string, std::string>> comPairs() {
  std::vector<std::pair<std::string, std::string>> pairs;
  const char* list = std::getenv("TERSO_TEST_COM_PAIRS");
  std::string text = list ? list : "";
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t comma = std::min(text.find(',', start), text.size());
    const std::string item = text.substr(start, comma - start);
    if (const std::size_t colon = item.find(':'); colon != std::string::npos)
      pairs.emplace_back(item.substr(0, colon), item.substr(colon + 1));
    start = comma + 1;
  }
  return pairs;
}

std::mutex pairsMutex;
std::vector<bool> pairsTaken;

}  // namespace

Pty::Pty() {
  const auto pairs = comPairs();
  {
    std::lock_guard lock(pairsMutex);
    pairsTaken.resize(pairs.size());
    for (std::size_t i = 0; i < pairs.size() && pair_ < 0; ++i)
      if (!pairsTaken[i]) {
        pairsTaken[i] = true;
        pair_ = static_cast<int>(i);
      }
  }
  if (pair_ < 0) throw std::runtime_error("no free COM port pair in TERSO_TEST_COM_PAIRS");
  slavePath_ = "\\\\.\\" + pairs[pair_].first;
  try {
    far_ = std::make_unique<platform::SerialDevice>("\\\\.\\" + pairs[pair_].second);
    far_->applyLineSettings(platform::SerialLineSettings{});
    far_->purge(true, true);
  } catch (...) {
    std::lock_guard lock(pairsMutex);
    pairsTaken[pair_] = false;
    throw;
  }
}

Pty::~Pty() {
  far_.reset();
  std::lock_guard lock(pairsMutex);
  pairsTaken[pair_] = false;
}

void Pty::send(const std::string& bytes) {
  if (far_) far_->write(bytes.data(), bytes.size());
}

void Pty::closeMaster() {
  far_.reset();
}

std::string Pty::receive(int waitMs, std::size_t atLeast) {
  std::string out;
  if (!far_) return out;
  char buffer[4096];
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
  // A wait of 0 looks once.
  while (out.size() < atLeast) {
    const auto left = std::max<long long>(
        0, std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count());
    if (WaitForSingleObject(far_->inputWaitHandle(), static_cast<DWORD>(left)) != WAIT_OBJECT_0) break;
    out.append(buffer, far_->readSome(buffer, sizeof buffer));
  }
  return out;
}

}  // namespace testing_support

#endif
