#pragma once

#include <QString>
#include <optional>

namespace platform {

// The per-user key store that stands in for HKEY_CURRENT_USER: one folder per key under
// $XDG_CONFIG_HOME/trovex/registry/HKEY_CURRENT_USER/ ($HOME/.config when the variable is unset,
// empty or not absolute). A key path names its levels separated by "\"; each level matches an
// existing folder name without regard to case, and a new level keeps the spelling it was created
// with. A string value is a UTF-8 file named after the value inside the key's folder; the default
// (unnamed) value is the file "@".
//
// Below trovex/registry nothing follows a symbolic link, to read, to write or to delete: each
// level is opened relative to its parent (platform::SafeFolder). A link where a key or a value
// should be is refused and reported, and it and its target are left as they are. Links above that
// folder (a linked ~/.config, say) are followed as usual.
//
// The functions that change the store return false on failure and, when error is given, put a
// message there that names the path and the system's reason.
class Registry {
public:
    // What is known of a key. Unknown means the store could not tell: a level could not be opened
    // or listed (no rights, say), or a symbolic link stands where a level should be. It never
    // means that the key is missing.
    enum class KeyState { Missing, Exists, Unknown };

    // The folder that stands for HKEY_CURRENT_USER, without a trailing "/".
    static QString rootFolder();

    // Whether the key exists and its folder can be opened for reading; for Unknown, error (when
    // given) says why.
    static KeyState keyState(const QString& keyPath, QString* error = nullptr);

    // keyState() == Exists.
    static bool keyExists(const QString& keyPath);

    // Creates the key and its missing parents. True when the key exists afterwards. Fails, making
    // nothing more, at a level that is a file or a link or that cannot be listed (a level spelled
    // otherwise may stand there, and a twin must not be made).
    static bool createKey(const QString& keyPath, QString* error = nullptr);

    // Writes a string value into an existing key; an empty name is the default value. The file is
    // replaced whole; a link or a folder at the value's name is refused.
    static bool setValue(const QString& keyPath, const QString& valueName, const QString& text,
                         QString* error = nullptr);

    // The text of a value, or nothing when the key or the value does not exist or cannot be read
    // (a link at the value's name included).
    static std::optional<QString> value(const QString& keyPath, const QString& valueName);

    // Deletes the key with all its sub-keys and values. Deleting a missing key succeeds; a key
    // whose state is Unknown is not deleted and fails. A link inside the key is left in place with
    // the keys that hold it, the rest is deleted, and the result is false.
    static bool deleteKeyTree(const QString& keyPath, QString* error = nullptr);
};

} // namespace platform
