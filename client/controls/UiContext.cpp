#include "controls/UiContext.h"

#include "shell/app_paths.h"

namespace tavrin::controls {

UiContext UiContext::current() {
  return {platform::WindowSystem::instance(), &shell::theme_colors(),
          shell::to_path(shell::app_paths().theme_folder).string()};
}

}  // namespace tavrin::controls
