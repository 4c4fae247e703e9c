#include "platform/registry.h"
#include "platform/registry_file.h"

namespace platform {

std::unique_ptr<Registry> openSystemRegistry() {
  return RegistryFile::fromFile(registryFilePath());
}

}  // namespace platform
