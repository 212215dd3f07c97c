// Writes the application's generated images into a resources folder:
//   velumar_make_resource_images <resources folder>
#include <cstdio>

#include "tools/resource_images/resource_images.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <resources folder>\n", argv[0]);
    return 2;
  }
  return resourceimages::writeResourceImages(argv[1]) ? 0 : 1;
}
