// Fast-write capture: chunks of any split land in the file whole and in
// order; with time stamps on, the file starts with a stamp, and removing the
// stamps at line starts gives back exactly the bytes received.
#include <cstdio>
#include <string>

#include "FuzzInput.h"
#include "app/CaptureFile.h"
#include "platform/ManualEventLoop.h"
#include "support/TempDir.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::FuzzInput in(data, size);
  const bool stamps = in.flag();
  const std::uint8_t splitSeed = in.byte();
  const std::string bytes = in.rest();

  // One capture file for the whole run, as the operator's: each input goes
  // to a newly named file, as an order or the orders editor names one.
  struct Window : app::CaptureFileView {
    app::CaptureOptions captureOptions() const override { return options; }
    void showCaptureFile() override {}
    void postFileNotice(int) override {}

    platform::ManualEventLoop loop;
    testing_support::TempDir dir;
    app::CaptureOptions options;
    app::CaptureFile capture{loop, *this};
  };
  static Window window;
  static unsigned long long files = 0;
  app::CaptureFile* capture = &window.capture;
  const std::string path = (window.dir / ("capture-" + std::to_string(++files) + ".txt")).string();
  capture->choose(path);
  window.options.fastWrite = true;
  window.options.insertTime = stamps;

  unsigned seed = splitSeed | 1u;
  for (std::size_t at = 0; at < bytes.size();) {
    seed = seed * 1103515245u + 12345u;
    const std::size_t n = std::min<std::size_t>(1 + (seed >> 16) % 23, bytes.size() - at);
    capture->FastWriteData(bytes.substr(at, n));
    at += n;
  }
  capture->CloseCaptureFile();
  window.loop.processPending();
  const std::string file = bytes.empty() ? std::string() : testing_support::TempDir::read(path);
  std::remove(path.c_str());

  if (!stamps) {
    FUZZ_CHECK(file == bytes);
    return 0;
  }
  // The stamp: date, TAB, time, TAB (the clock stands still here); the data
  // holds no TAB, so the stamp ends at the first line's last TAB.
  const std::size_t tab = file.rfind('\t', file.find('\n'));
  if (bytes.empty() || bytes.find('\t') != std::string::npos) return 0;
  FUZZ_CHECK(tab != std::string::npos);
  const std::string stamp = file.substr(0, tab + 1);
  std::string unstamped;
  bool lineStart = true;
  for (std::size_t i = 0; i < file.size();) {
    if (lineStart && file.compare(i, stamp.size(), stamp) == 0) i += stamp.size();
    lineStart = false;
    if (i >= file.size()) break;
    unstamped += file[i];
    // A stamp follows a CR LF, or an LF that ended a chunk.
    if (file[i] == '\n') lineStart = true;
    ++i;
  }
  FUZZ_CHECK(unstamped == bytes);
  FUZZ_CHECK(file.compare(0, stamp.size(), stamp) == 0);
  return 0;
}
