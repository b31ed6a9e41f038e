// On Windows the settings store keeps its values in the registry.
#include "pipeline/settings_store.h"
#include "platform/registry_settings.h"

namespace nimbrel {

SettingsStore::SettingsStore() : SettingsStore(registrySettings()) {}

}  // namespace nimbrel
