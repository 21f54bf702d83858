// The windows the program carries, described field by field. The resource
// generator turns each description into the image stored in the program.
#pragma once

#include <vector>

#include "window/core/resource_image_builder.h"

namespace korvex::resources {

// Every image, with its resource name ("KORVE002_RSC").
struct NamedImage {
  const char* resource_name;
  rsc::ImageSpec spec;
};

std::vector<NamedImage> ProgramWindowImages();

}  // namespace korvex::resources
