// scaled_reference FOLDER: writes the window picture of every scaled case (scaled_cases.h) as
// the resampling library computes it here, one file per case, for the Windows run to compare
// the DLL's windows with.
#include <cstdio>
#include <fstream>

#include "gdi/scaled_cases.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: scaled_reference FOLDER\n");
    return 2;
  }
  for (const scaled_cases::Case& c : scaled_cases::cases()) {
    const std::vector<uint32_t> picture = scaled_cases::expectedWindow(c);
    const std::string path = scaled_cases::referenceFile(argv[1], c);
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(picture.data()), std::streamsize(picture.size() * 4));
    if (!file.good()) {
      std::fprintf(stderr, "scaled_reference: cannot write %s\n", path.c_str());
      return 1;
    }
  }
  return 0;
}
