#include "config/ConfigOptions.h"

namespace config {

TConfigOptions ConfigOptions;

}  // namespace config
