#pragma once

#include <QString>
#include <optional>

namespace platform {

// The per-user key store that stands in for HKEY_CURRENT_USER: one folder per key under
// $XDG_CONFIG_HOME/trovex/registry/HKEY_CURRENT_USER/ ($HOME/.config when the variable is unset or
// empty). A key path names its levels separated by "\"; each level matches an existing folder
// name without regard to case, and a new level keeps the spelling it was created with. A string
// value is a UTF-8 file named after the value inside the key's folder; the default (unnamed)
// value is the file "@".
//
// The functions that change the store return false on failure and, when error is given, put a
// message there that names the path and the system's reason.
class Registry {
public:
    // The folder that stands for HKEY_CURRENT_USER, without a trailing "/".
    static QString rootFolder();

    // True when every level of the key exists and the key's folder can be opened for reading.
    static bool keyExists(const QString& keyPath);

    // Creates the key and its missing parents. True when the key exists afterwards.
    static bool createKey(const QString& keyPath, QString* error = nullptr);

    // Writes a string value into an existing key; an empty name is the default value.
    static bool setValue(const QString& keyPath, const QString& valueName, const QString& text,
                         QString* error = nullptr);

    // The text of a value, or nothing when the key or the value does not exist or cannot be read.
    static std::optional<QString> value(const QString& keyPath, const QString& valueName);

    // Deletes the key with all its sub-keys and values. Deleting a missing key succeeds.
    static bool deleteKeyTree(const QString& keyPath, QString* error = nullptr);
};

} // namespace platform
