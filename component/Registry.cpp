#include "Registry.h"

#include "Container.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QTextStream>

#include <dlfcn.h>

namespace component {

namespace {

QString normalized(const QString& key) {
    QString k = key;
    k.replace(u'/', u'\\');
    while (k.endsWith(u'\\'))
        k.chop(1);
    return k.toLower();
}

// Values and key names are written escaped so any text survives a line format.
QString escape(const QString& s) {
    QString r;
    for (QChar c : s) {
        if (c == u'\\')
            r += QLatin1String("\\\\");
        else if (c == u'\n')
            r += QLatin1String("\\n");
        else if (c == u'=')
            r += QLatin1String("\\e");
        else if (c == u']')
            r += QLatin1String("\\r");
        else
            r += c;
    }
    return r;
}

QString unescape(const QString& s) {
    QString r;
    for (qsizetype i = 0; i < s.size(); ++i) {
        if (s[i] == u'\\' && i + 1 < s.size()) {
            const QChar n = s[++i];
            r += n == u'n' ? QChar(u'\n') : n == u'e' ? QChar(u'=') : n == u'r' ? QChar(u']') : n;
        } else {
            r += s[i];
        }
    }
    return r;
}

// Original spelling of each key, for writing.
std::map<QString, QString>& spellings() {
    static std::map<QString, QString> m;
    return m;
}

} // namespace

QString RegistrationStore::defaultPath() {
    const QString env = qEnvironmentVariable("KNOPLUX_REGISTRY");
    if (!env.isEmpty()) return env;
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (base.isEmpty()) base = QDir::homePath() + QLatin1String("/.config");
    return base + QLatin1String("/knoplux/registry.txt");
}

RegistrationStore::RegistrationStore(QString path) : m_path(std::move(path)) {
    QFile f(m_path);
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text)) return;
    QTextStream in(&f);
    in.setEncoding(QStringConverter::Utf8);
    QString current;
    while (!in.atEnd()) {
        const QString line = in.readLine();
        if (line.startsWith(u'[') && line.endsWith(u']')) {
            const QString key = unescape(line.mid(1, line.size() - 2));
            current = normalized(key);
            spellings()[current] = key;
            m_keys[current];
        } else if (!current.isEmpty()) {
            const qsizetype eq = line.indexOf(u'=');
            if (eq < 0) continue;
            m_keys[current][unescape(line.left(eq))] = unescape(line.mid(eq + 1));
        }
    }
}

bool RegistrationStore::hasKey(const QString& key) const {
    return m_keys.count(normalized(key));
}

std::optional<QString> RegistrationStore::value(const QString& key, const QString& name) const {
    const auto it = m_keys.find(normalized(key));
    if (it == m_keys.end()) return std::nullopt;
    const auto v = it->second.find(name);
    if (v == it->second.end()) return std::nullopt;
    return v->second;
}

void RegistrationStore::createKey(const QString& key) {
    // Like the platform's registry, a key brings its parent keys with it.
    QString spelled = QString(key).replace(u'/', u'\\');
    while (spelled.endsWith(u'\\'))
        spelled.chop(1);
    qsizetype from = 0;
    while (true) {
        const qsizetype sep = spelled.indexOf(u'\\', from);
        const QString part = sep < 0 ? spelled : spelled.left(sep);
        const QString k = normalized(part);
        if (!spellings().count(k)) spellings()[k] = part;
        m_keys[k];
        if (sep < 0) break;
        from = sep + 1;
    }
}

void RegistrationStore::setValue(const QString& key, const QString& name, const QString& value) {
    createKey(key);
    m_keys[normalized(key)][name] = value;
}

void RegistrationStore::removeTree(const QString& key) {
    const QString k = normalized(key);
    for (auto it = m_keys.begin(); it != m_keys.end();) {
        if (it->first == k || it->first.startsWith(k + u'\\'))
            it = m_keys.erase(it);
        else
            ++it;
    }
}

QStringList RegistrationStore::subKeys(const QString& key) const {
    const QString prefix = normalized(key) + u'\\';
    QStringList r;
    for (const auto& [k, values] : m_keys)
        if (k.startsWith(prefix) && !k.mid(prefix.size()).contains(u'\\'))
            r << k.mid(prefix.size());
    return r;
}

bool RegistrationStore::save() const {
    QDir().mkpath(QFileInfo(m_path).absolutePath());
    QSaveFile f(m_path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Text)) return false;
    QTextStream out(&f);
    out.setEncoding(QStringConverter::Utf8);
    for (const auto& [k, values] : m_keys) {
        const auto sp = spellings().find(k);
        out << '[' << escape(sp != spellings().end() ? sp->second : k) << "]\n";
        for (const auto& [name, value] : values)
            out << escape(name) << '=' << escape(value) << '\n';
    }
    out.flush();
    return f.commit();
}

// ---------------------------------------------------------------- creation

namespace {

using GetClassObjectFn = HResult (*)(const Guid*, const Guid*, void**);
using CanUnloadNowFn = HResult (*)();

struct LoadedLibrary {
    void* handle = nullptr;
    GetClassObjectFn getClassObject = nullptr;
    CanUnloadNowFn canUnloadNow = nullptr;
};

std::map<QString, LoadedLibrary>& libraries() {
    static std::map<QString, LoadedLibrary> m;
    return m;
}

} // namespace

HResult CLSIDFromProgID(const QString& progId, Guid& clsid) {
    const RegistrationStore store;
    const auto v = store.value(progId + QLatin1String("\\CLSID"));
    if (!v) return Co_E_ClassString;
    const auto g = Guid::parse(*v);
    if (!g) return Co_E_ClassString;
    clsid = *g;
    return S_Ok;
}

HResult CoGetClassObject(const Guid& clsid, const Guid& iid, void** out) {
    if (!out) return E_Pointer;
    *out = nullptr;
    const RegistrationStore store;
    const auto path = store.value(QLatin1String("CLSID\\") + clsid.toString() +
                                  QLatin1String("\\InprocServer32"));
    if (!path || path->isEmpty()) return RegDb_E_ClassNotReg;
    auto& lib = libraries()[*path];
    if (!lib.handle) {
        lib.handle = dlopen(QFile::encodeName(*path).constData(), RTLD_NOW | RTLD_LOCAL);
        if (!lib.handle) {
            libraries().erase(*path);
            return Co_E_DllNotFound;
        }
        lib.getClassObject =
            reinterpret_cast<GetClassObjectFn>(dlsym(lib.handle, "DllGetClassObject"));
        lib.canUnloadNow = reinterpret_cast<CanUnloadNowFn>(dlsym(lib.handle, "DllCanUnloadNow"));
        if (!lib.getClassObject) {
            dlclose(lib.handle);
            libraries().erase(*path);
            return Co_E_ErrorInDll;
        }
    }
    return lib.getClassObject(&clsid, &iid, out);
}

HResult CoCreateInstance(const Guid& clsid, const Guid& iid, void** out) {
    if (!out) return E_Pointer;
    *out = nullptr;
    void* f = nullptr;
    const HResult hr = CoGetClassObject(clsid, IID_IClassFactory, &f);
    if (failed(hr)) return hr;
    auto factory = Ref<IClassFactory>::adopt(static_cast<IClassFactory*>(f));
    return factory->CreateInstance(nullptr, iid, out);
}

HResult CoCanUnloadServer(const Guid& clsid) {
    const RegistrationStore store;
    const auto path = store.value(QLatin1String("CLSID\\") + clsid.toString() +
                                  QLatin1String("\\InprocServer32"));
    if (!path) return RegDb_E_ClassNotReg;
    const auto it = libraries().find(*path);
    if (it == libraries().end() || !it->second.canUnloadNow) return S_Ok;
    return it->second.canUnloadNow();
}

} // namespace component
