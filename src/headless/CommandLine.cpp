#include "headless/CommandLine.h"

namespace headless {
namespace {

CommandLine refused(std::string why) {
  CommandLine line;
  line.action = CommandLine::Action::Refused;
  line.error = std::move(why);
  return line;
}

// Qt's own options of a window program (QGuiApplication, QApplication): the
// window program hands them to Qt; with a value, or without one.
bool qtOption(const std::string& arg, bool& takesValue) {
  static const char* const withValue[] = {"platform", "platformpluginpath", "platformtheme", "plugin",
                                          "qwindowgeometry", "qwindowicon", "qwindowtitle", "style",
                                          "stylesheet", "session", "display", "geometry", "title", "name"};
  static const char* const alone[] = {"reverse", "nograb", "dograb", "sync", "widgetcount"};
  std::string name = arg.substr(arg.rfind("--", 0) == 0 ? 2 : 1);
  const bool inlineValue = name.find('=') != std::string::npos;
  name = name.substr(0, name.find('='));
  for (const char* n : withValue)
    if (name == n) {
      takesValue = !inlineValue;
      return true;
    }
  for (const char* n : alone)
    if (name == n && !inlineValue) {
      takesValue = false;
      return true;
    }
  return false;
}

}  // namespace

CommandLine ParseCommandLine(const std::vector<std::string>& args, bool windowProgram) {
  CommandLine line;
  bool help = false, version = false, run = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    std::string arg = args[i];
    bool qtTakesValue = false;
    if (windowProgram && arg.size() > 1 && arg[0] == '-' && qtOption(arg, qtTakesValue)) {
      if (qtTakesValue) ++i;
      continue;
    }
    // "--csv=wyniki.csv" as well as "--csv wyniki.csv".
    std::string value;
    bool inlineValue = false;
    if (arg.rfind("--", 0) == 0) {
      if (const auto eq = arg.find('='); eq != std::string::npos) {
        value = arg.substr(eq + 1);
        arg.resize(eq);
        inlineValue = true;
      }
    }
    const bool takesValue = arg == "--run" || arg == "--csv" || arg == "--mqtt" || arg == "--station";
    if (inlineValue && !takesValue) return refused("opcja " + arg + " nie przyjmuje wartości");
    if (takesValue && !inlineValue && i + 1 < args.size()) value = args[++i];
    if (takesValue && value.empty()) return refused("opcja " + arg + " wymaga wartości");
    if (takesValue) {
      std::string& target = arg == "--run"    ? line.orders
                            : arg == "--csv"  ? line.csv
                            : arg == "--mqtt" ? line.mqtt
                                              : line.station;
      if (!target.empty()) return refused("opcja " + arg + " podana dwa razy");
      target = value;
      run = run || arg == "--run";
    } else if (arg == "--quiet" || arg == "-q") {
      line.quiet = true;
    } else if (arg == "--help" || arg == "-h") {
      help = true;
    } else if (arg == "--version") {
      version = true;
    } else if (!arg.empty() && arg[0] == '-') {
      return refused("nieznana opcja: " + arg);
    } else {
      return refused("nieoczekiwany argument: " + arg);
    }
  }
  if (help) {
    line.action = CommandLine::Action::Help;
  } else if (version) {
    line.action = CommandLine::Action::Version;
  } else if (run) {
    line.action = CommandLine::Action::Run;
  } else if (!line.csv.empty() || line.quiet || !line.mqtt.empty() || !line.station.empty()) {
    return refused("opcje --csv, --quiet, --mqtt i --station działają tylko z --run");
  } else if (!windowProgram) {
    return refused("brak opcji --run PLIK_ROZKAZÓW (--help wyjaśnia)");
  }
  return line;
}

std::string HelpText(const std::string& program) {
  return "Użycie: " + program +
         " [--run PLIK_ROZKAZÓW [--csv PLIK] [--quiet] [--mqtt URL --station NAZWA]] | --help | --version\n"
         "\n"
         "Bez opcji " +
         (program == "terso" ? std::string("otwiera okno terminala.") : "przypomina tylko o opcji --run.") +
         "\n"
         "  --run PLIK   wykonuje pomiar automatyczny z pliku rozkazów bez okna, jak Ctrl+A\n"
         "               w oknie, z ustawieniami okna (config.xml, Kestrel.ini)\n"
         "  --csv PLIK   odczyty do pliku CSV zamiast na standardowe wyjście\n"
         "  --quiet      bez komunikatów o przebiegu na standardowym wyjściu błędów\n"
         "  --mqtt URL   odczyty także do brokera MQTT, mqtt://[użytkownik[:hasło]@]host[:port]/PREFIKS\n"
         "  --station NAZWA  nazwa stanowiska w tematach MQTT (z --mqtt)\n"
         "  --help       ten opis\n"
         "  --version    wersja programu\n"
         "\n"
         "Kody wyjścia: 0 pomiar zakończony, 1 pomiar przerwany (błąd rozkazu, portu,\n"
         "serwera urządzeń, Ctrl+C, SIGTERM), 2 zły wiersz poleceń, plik rozkazów lub adres MQTT.\n";
}

std::string VersionText(const std::string& program) {
  return program + " " TERSO_VERSION "\n";
}

}  // namespace headless
