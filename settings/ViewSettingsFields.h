#pragma once

#include <span>
#include <string>

#include "settings/SettingKeys.h"

namespace kestrel {

struct ViewSettings;

// The view's copy of a stored value, found by its descriptor: the one place that ties a key
// to its field, so dialogs bind controls to keys and nothing copies values field by field.
// Null when the key has no field of that type in the view's copy.
int* IntField(ViewSettings& settings, const SettingKey& key);
std::string* StringField(ViewSettings& settings, const SettingKey& key);
const int* IntField(const ViewSettings& settings, const SettingKey& key);
const std::string* StringField(const ViewSettings& settings, const SettingKey& key);

// Copies the values of the given keys from one copy to another.
void CopyFields(const ViewSettings& from, ViewSettings& to,
                std::span<const SettingKey* const> keys);

}  // namespace kestrel
