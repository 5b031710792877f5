#include "shell/Settings.h"

namespace quorvane {

AppState& App() {
  static AppState state;
  return state;
}

}  // namespace quorvane
