#include "platform/Console.h"

#include <clocale>

namespace platform {

void useUtf8Console() {}

void useUserMessageLanguage() {
  std::setlocale(LC_MESSAGES, "");
}

}  // namespace platform
