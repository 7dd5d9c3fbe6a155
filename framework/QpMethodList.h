#pragma once
// A notification list of (code, object) pairs: the idle handlers, the deferred calls and the
// localizer's handlers. A pair compares equal only to the same member of the same object, so a
// registrant can find and remove exactly what it added.

#include <vector>

struct TQpMethod
{
    using Code = void (*)(void* object);
    Code code = nullptr;
    void* object = nullptr;

    void operator()() const { code(object); }
    friend bool operator==(const TQpMethod&, const TQpMethod&) = default;
};

// The method `Member` of `object`, called virtually when `Member` is virtual. Always name the
// member through the class that declares it, so that adding and removing give the same code.
template <auto Member, class T> TQpMethod MakeMethod(T* object)
{
    return {[](void* self) { (static_cast<T*>(self)->*Member)(); }, object};
}

class TQpMethodList
{
public:
    int Add(TQpMethod method);
    TQpMethod Get(int index) const { return m_items.at(static_cast<std::size_t>(index)); }
    // Removes the last entry equal to `method`; returns its index, -1 when there is none.
    int Remove(TQpMethod method);
    void Delete(int index);
    void Clear() { m_items.clear(); }
    int Count() const { return static_cast<int>(m_items.size()); }

    // Calls every entry in order. Handlers may add or remove entries while the pass runs: the
    // count is read afresh on every step and a removed entry is never called.
    void CallAll() const;

private:
    std::vector<TQpMethod> m_items;
};
