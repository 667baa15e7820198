#pragma once

// A minimal container for driving a control in tests: a site that records
// property-changed notifications and errors and offers an ambient font, an
// event sink that records events (and may change by-reference arguments),
// and an in-memory property bag that can refuse one key.

#include "component/Container.h"
#include "component/Font.h"

#include <QStringList>

#include <functional>
#include <map>
#include <vector>

namespace testsupport {

using namespace component;

class TestSite : public RefCounted<IClientSite> {
public:
    HResult QueryInterface(const Guid& iid, void** out) override {
        if (iid == IID_IUnknown || iid == IID_IClientSite) {
            *out = static_cast<IClientSite*>(this);
            AddRef();
            return S_Ok;
        }
        *out = nullptr;
        return E_NoInterface;
    }
    void OnChanged(DispId id, const QString& name) override {
        changed.push_back(name);
        changedIds.push_back(id);
    }
    HResult GetAmbient(DispId id, Variant& value) override {
        if (id != DispIdAmbientFont || !ambientFont) return E_InvalidArg;
        value = Variant::object(ambientFont);
        ++ambientReads;
        return S_Ok;
    }
    void OnError(HResult code, const QString& text) override { errors.push_back({code, text}); }

    QStringList changed;
    std::vector<DispId> changedIds;
    std::vector<std::pair<HResult, QString>> errors;
    Ref<Font> ambientFont = Font::create({QStringLiteral("Arial"), 9.0f});
    int ambientReads = 0;
};

struct Event {
    DispId id;
    std::vector<Variant> args;
};

class TestSink : public RefCounted<IDispatch> {
public:
    HResult QueryInterface(const Guid& iid, void** out) override {
        if (iid == IID_IUnknown || iid == IID_IDispatch) {
            *out = static_cast<IDispatch*>(this);
            AddRef();
            return S_Ok;
        }
        *out = nullptr;
        return E_NoInterface;
    }
    HResult GetIDsOfNames(const QString&, DispId&) override { return Disp_E_UnknownName; }
    HResult Invoke(DispId id, InvokeKind, std::span<Variant> args, Variant*, ExcepInfo*) override {
        if (onEvent) onEvent(id, args);
        events.push_back({id, std::vector<Variant>(args.begin(), args.end())});
        return S_Ok;
    }
    int count(DispId id) const {
        int n = 0;
        for (const auto& e : events)
            n += e.id == id;
        return n;
    }
    const Event* last(DispId id) const {
        for (auto it = events.rbegin(); it != events.rend(); ++it)
            if (it->id == id) return &*it;
        return nullptr;
    }

    std::vector<Event> events;
    std::function<void(DispId, std::span<Variant>)> onEvent;
};

class TestBag : public RefCounted<IPropertyBag> {
public:
    HResult QueryInterface(const Guid& iid, void** out) override {
        if (iid == IID_IUnknown || iid == IID_IPropertyBag) {
            *out = static_cast<IPropertyBag*>(this);
            AddRef();
            return S_Ok;
        }
        *out = nullptr;
        return E_NoInterface;
    }
    HResult Read(const QString& name, Variant& value) override {
        reads.push_back(name);
        if (name == refuse) return E_Fail;
        for (const auto& [k, v] : entries)
            if (k == name) {
                value = v;
                return S_Ok;
            }
        return E_InvalidArg;
    }
    HResult Write(const QString& name, const Variant& value) override {
        writes.push_back(name);
        if (name == refuse) return E_Fail;
        for (auto& [k, v] : entries)
            if (k == name) {
                v = value;
                return S_Ok;
            }
        entries.emplace_back(name, value);
        return S_Ok;
    }
    bool has(const QString& name) const {
        for (const auto& e : entries)
            if (e.first == name) return true;
        return false;
    }
    Variant value(const QString& name) const {
        for (const auto& e : entries)
            if (e.first == name) return e.second;
        return {};
    }

    std::vector<std::pair<QString, Variant>> entries;
    QStringList reads, writes;
    QString refuse;
};

} // namespace testsupport
