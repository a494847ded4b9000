// The console program of runs without a window: `terso-run --run ORDERS`,
// with no window system at all (on Windows the console twin of terso.exe).
#include <string>
#include <vector>

#include "app/HeadlessRun.h"
#include "headless/CommandLine.h"

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  return app::Execute(headless::ParseCommandLine(args, false), "terso-run");
}
