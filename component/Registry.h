#pragma once

#include "Guid.h"
#include "Unknown.h"

#include <QString>

#include <map>
#include <optional>

namespace component {

// The registration store: keys (paths such as "CLSID\{...}\InprocServer32")
// with named values, the empty name being the key's default value. Kept in a
// text file under the user's configuration folder, or the file named by the
// environment variable KNOPLUX_REGISTRY (tests point it elsewhere).
class RegistrationStore {
public:
    // The store's file: $KNOPLUX_REGISTRY, else $XDG_CONFIG_HOME/knoplux/registry.txt,
    // else ~/.config/knoplux/registry.txt.
    static QString defaultPath();

    // Loads the file; a missing file is an empty store.
    explicit RegistrationStore(QString path = defaultPath());

    bool hasKey(const QString& key) const;
    std::optional<QString> value(const QString& key, const QString& name = {}) const;
    // Creates the key (and its parents' absence does not matter) and sets a value.
    void setValue(const QString& key, const QString& name, const QString& value);
    void createKey(const QString& key);
    // Removes the key and every key below it.
    void removeTree(const QString& key);
    // Keys directly below the given one.
    QStringList subKeys(const QString& key) const;

    // Writes the file atomically; false when it cannot be written.
    bool save() const;
    const QString& path() const { return m_path; }

private:
    QString m_path;
    // Key paths compare without regard to case, as the platform's do.
    std::map<QString, std::map<QString, QString>> m_keys;
};

// Creating objects through the store: the class id's in-process server is
// loaded, asked for its class factory, and the factory creates the object.
// Libraries stay loaded for the life of the process.
HResult CLSIDFromProgID(const QString& progId, Guid& clsid);
HResult CoGetClassObject(const Guid& clsid, const Guid& iid, void** out);
HResult CoCreateInstance(const Guid& clsid, const Guid& iid, void** out);
// Asks the in-process server of a class, once loaded, whether it could be
// unloaded now (S_Ok) or still has live objects or locks (S_False).
HResult CoCanUnloadServer(const Guid& clsid);

} // namespace component
