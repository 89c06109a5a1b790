// tavorin-play: plays a generated clip through the video output plug-in into a window.
#include <csignal>
#include <iostream>
#include <string>

#include "player.h"
#include "player_options.h"

namespace {
void onSignal(int) { play::requestStop(); }
}  // namespace

int main(int argc, char** argv) {
  play::PlayerOptions options;
  std::string error;
  if (!play::parseOptions(argc, argv, &options, &error)) {
    std::cerr << "tavorin-play: " << error << "\n" << "Try 'tavorin-play --help'.\n";
    return play::kExitUsage;
  }
  if (options.help) {
    std::cout << play::usageText();
    return play::kExitOk;
  }
  std::signal(SIGINT, onSignal);
  std::signal(SIGTERM, onSignal);
  return play::runPlayer(options, std::cout, std::cerr);
}
