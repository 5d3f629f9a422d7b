#include <cstdio>

#include "zel/platform/prompter.h"

namespace zel::platform {

PromptAnswer ConsolePrompter::Show(const std::string& caption, const std::string& text,
                                   PromptButtons, int, PromptAnswer) {
  std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
  return answer_;
}

}  // namespace zel::platform
