#pragma once
// The command line of both programs: the window program (`terso`) and the
// console one (`terso-run`). It is read before any window system is touched,
// so that a run, the help and the version need no display.
#include <string>
#include <vector>

namespace headless {

struct CommandLine {
  enum class Action {
    Window,   // no options: the window (the console program refuses this)
    Run,      // --run ORDERS
    Help,     // --help
    Version,  // --version
    Refused,  // a wrong command line: error says why
  };
  Action action = Action::Window;
  std::string orders;  // UTF-8 paths
  std::string csv;
  // The plant link: the broker's URL and the station's name (UTF-8).
  std::string mqtt;
  std::string station;
  bool quiet = false;
  std::string error;  // UTF-8, one line
};

// args without the program's name. The console program has no window to
// show: with no options it is refused.
CommandLine ParseCommandLine(const std::vector<std::string>& args, bool windowProgram);

// The texts of --help and --version (UTF-8), ended by a line feed.
std::string HelpText(const std::string& program);
std::string VersionText(const std::string& program);

}  // namespace headless
