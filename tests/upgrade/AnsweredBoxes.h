// Answers the upgrade's message boxes while it lives, recording each one.
#pragma once

#include "upgrade/UpgraderWindows.h"

#include <string>
#include <vector>

namespace bw::test {

struct AnsweredBoxes {
  TauMessageAnswer Answer = maNo;
  std::vector<std::string> Texts, Captions;
  TauMessageBoxHandler Previous;
  AnsweredBoxes() {
    Previous =
        SetUpgraderMessageBoxHandler([this](const std::string& text, const std::string& caption,
                                            TauMessageButtons, TauMessageIcon) {
          Texts.push_back(text);
          Captions.push_back(caption);
          return Answer;
        });
  }
  ~AnsweredBoxes() { SetUpgraderMessageBoxHandler(Previous); }
};

} // namespace bw::test
