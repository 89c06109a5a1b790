// Writes two records through the logger, as the library does, and prints whether the logging
// library was found.
#include <cstdio>

#include "logging/logger.h"

int main() {
  KMC::Logger* logger = KMC::Logger::instance();
  KMC::Logger::write(logger, "Rendering", "KMC::VideoOutput<class KMC::Tavorin>::create", 1034,
                     "Video Renderer Creation");
  KMC::Logger::write(logger, "Cache", "KSDSOLD::Database::ExecSQL", 826, "SQLITE ERROR: %d\n%s", 26,
                     "file is not a database");
  std::printf("loaded=%d same=%d\n", logger->isLoaded() ? 1 : 0, KMC::Logger::instance() == logger ? 1 : 0);
  return 0;
}
