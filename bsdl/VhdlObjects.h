// The description objects the VHDL reader builds: entities with their generics,
// ports, signals, attributes and constants, component declarations, component
// instances and their association elements. Names are kept as written; the lists
// are sorted by upper-case name. Expressions stay text.
#pragma once

#include "bsdl/BsdlTypes.h"
#include "host/SortedStringList.h"
#include "plugin/frame/ReferencedObject.h"

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace bsdl {

class TVHDLParser;

// Upper-case copy of an ASCII name (the key of every declaration list).
std::string UpperName(std::string_view name);

// A list of objects sorted by name without regard to ASCII case, in the order of
// the library's sorted text lists: duplicates are kept, a new one before its
// equals (so objects added without a name come newest first). Adding and finding
// take logarithmic time whatever the list holds; an owning list frees its
// objects with itself.
template <class T, bool Owning> class TNamedList {
public:
    TNamedList() = default;
    TNamedList(const TNamedList&) = delete;
    TNamedList& operator=(const TNamedList&) = delete;

    T* Add(std::string_view key, T* object)
    {
        if constexpr (Owning) FOwned.emplace_back(object);
        std::string text(key);
        FItems.emplace_hint(FItems.lower_bound(text), std::move(text), object);
        FOrderValid = false;
        return object;
    }
    int Count() const { return static_cast<int>(FItems.size()); }
    T* Items(int index) const { return Entry(index).second; }
    const std::string& Keys(int index) const { return Entry(index).first; }
    // The first object under `key` (any letter case), or none.
    T* Find(std::string_view key) const
    {
        const auto found = FItems.lower_bound(std::string(key));
        return found != FItems.end() && host::CompareTextAscii(found->first, key) == 0 ? found->second : nullptr;
    }

private:
    struct TLess {
        bool operator()(const std::string& a, const std::string& b) const { return host::CompareTextAscii(a, b) < 0; }
    };
    using TMap = std::multimap<std::string, T*, TLess>;

    const typename TMap::value_type& Entry(int index) const
    {
        if (index < 0 || index >= Count()) host::ThrowListIndexError(index);
        if (!FOrderValid) {
            FOrder.clear();
            FOrder.reserve(FItems.size());
            for (const auto& item : FItems) FOrder.push_back(&item);
            FOrderValid = true;
        }
        return *FOrder[static_cast<size_t>(index)];
    }

    TMap FItems;
    mutable std::vector<const typename TMap::value_type*> FOrder;
    mutable bool FOrderValid = false;
    std::vector<std::unique_ptr<T>> FOwned;
};

template <class T> using TOwnedList = TNamedList<T, true>;
template <class T> using TRefList = TNamedList<T, false>;

// Base of every description object: where it was read.
class TVHDLObject : public tavrel::TImplementedDispatchObject {
public:
    // The position of the reader's current token (1-based), or 9999 without a reader.
    explicit TVHDLObject(TVHDLParser* parser);

    int32_t LineNumber = 9999;
    int32_t ColumnNumber = 9999;
    TVHDLParser* Parser = nullptr;

    virtual std::string GetState_StringDescriptor() const { return {}; }
};

enum TElementKind : uint8_t {
    eElementAbstract,
    eElementPortDeclaration,
    eElementGenericDeclaration,
    eElementPortMap,
    eElementGenericMap,
    eElementSignalDeclaration,
};
std::string_view ElementKindText(TElementKind kind);

enum TAttributeKind : uint8_t { eAttributeKind_None, eAttributeKind_Declaration, eAttributeKind_Specification };
enum TAttributeTarget : uint8_t {
    eAttributeTarget_None,
    eAttributeTarget_All,
    eAttributeTarget_Others,
    eAttributeTarget_List,
};

class TAssociationElement;

// A generic, port or signal declaration.
class TInterfaceElement : public TVHDLObject {
public:
    TInterfaceElement(TVHDLParser* parser, TElementKind kind) : TVHDLObject(parser), ElementKind(kind) {}

    TElementKind ElementKind;
    int32_t ElementIndex = 0;
    std::string FName;
    TPinElectrical FMode = eElectricIO;
    int32_t FArrayDirection = -1; // w_to or w_downto; -1: no range
    std::string SubTypeIndication;
    std::string DefaultValue;
    std::string Expression1; // low bound as written
    std::string Expression2; // high bound
    void* LinkedPin = nullptr;

    std::string GetState_StringDescriptor() const override;
    // The name as a schematic shows it: "D[7..0]", "A(N)", "B3".
    std::string GetState_AsSchematicId() const;

protected:
    virtual std::string_view Prefix() const { return {}; }
};

class TVHDLGeneric : public TInterfaceElement {
public:
    explicit TVHDLGeneric(TVHDLParser* parser) : TInterfaceElement(parser, eElementGenericDeclaration) {}

protected:
    std::string_view Prefix() const override { return "Generic "; }
};

// Signals and ports know the association elements mapped onto them (owned by
// their component instance).
class TVHDLSignal : public TInterfaceElement {
public:
    explicit TVHDLSignal(TVHDLParser* parser) : TInterfaceElement(parser, eElementSignalDeclaration) {}
    TRefList<TAssociationElement> MappedPorts;

protected:
    std::string_view Prefix() const override { return "Signal "; }
};

class TVHDLPort : public TInterfaceElement {
public:
    explicit TVHDLPort(TVHDLParser* parser) : TInterfaceElement(parser, eElementPortDeclaration) {}
    TRefList<TAssociationElement> MappedPorts;

protected:
    std::string_view Prefix() const override { return "Port "; }
};

class TVHDLAttribute : public TVHDLObject {
public:
    using TVHDLObject::TVHDLObject;

    std::string AttributeDesignator;
    TAttributeKind AttributeKind = eAttributeKind_None;
    std::string AttributeExpression;
    TAttributeTarget AttributeTarget = eAttributeTarget_None;
    int32_t AttributeTargetKind = -1; // word index of the entity class
    std::vector<std::string> TargetList;
    std::string AttributeTypeId;

    std::string GetState_StringDescriptor() const override { return "Attribute "; }
};

class TVHDLConstant : public TVHDLObject {
public:
    using TVHDLObject::TVHDLObject;

    std::vector<std::string> ConstantDesignators;
    std::string ConstantExpression;
    std::string ConstantTypeId;

    std::string GetState_StringDescriptor() const override { return "Constant "; }
};

class TComponentDeclaration;
class TComponentInstance;

class TEntity : public TVHDLObject {
public:
    using TVHDLObject::TVHDLObject;

    std::string Name;
    TOwnedList<TVHDLGeneric> Generics;
    TOwnedList<TVHDLAttribute> Attributes; // no key: the newest first
    TOwnedList<TVHDLConstant> Constants;   // no key: the newest first
    TOwnedList<TVHDLPort> Ports;
    TOwnedList<TVHDLSignal> Signals;
    TOwnedList<TComponentInstance> ComponentInstances;
    TOwnedList<TComponentDeclaration> ComponentDeclarations;
};

class TComponentDeclaration : public TEntity {
public:
    using TEntity::TEntity;
};

class TComponentInstance : public TVHDLObject {
public:
    using TVHDLObject::TVHDLObject;

    std::string Name;
    std::string ComponentType;
    TComponentDeclaration* ComponentDeclaration = nullptr;
    TOwnedList<TAssociationElement> GenericMap;
    TOwnedList<TAssociationElement> PortMap;
    TEntity* Entity = nullptr;
};

class TEntityInstance : public TComponentInstance {
public:
    using TComponentInstance::TComponentInstance;
    TEntity* EntityDeclaration = nullptr;
};

class TAssociationElement : public TVHDLObject {
public:
    TAssociationElement(TVHDLParser* parser, TElementKind kind) : TVHDLObject(parser), ElementKind(kind) {}

    TElementKind ElementKind;
    std::string FormalPart;
    std::string ActualPart;
    std::string Formal_Expression1, Formal_Expression2;
    int32_t Formal_ArrayDirection = -1;
    std::string Actual_Expression1, Actual_Expression2;
    int32_t Actual_ArrayDirection = -1;
    TInterfaceElement* SignalOrPort = nullptr; // the entity's signal or port named by the actual part
    TInterfaceElement* VHDLPort = nullptr;     // the declaration's port named by the formal part
    TComponentInstance* ComponentInstance = nullptr;

    std::string GetState_StringDescriptor() const override;
};

class TMappedPort : public TAssociationElement {
public:
    explicit TMappedPort(TVHDLParser* parser) : TAssociationElement(parser, eElementPortMap) {}
    void* LinkedPin = nullptr;
};

class TMappedGeneric : public TAssociationElement {
public:
    explicit TMappedGeneric(TVHDLParser* parser) : TAssociationElement(parser, eElementGenericMap) {}
};

// The entities of a run, keyed by upper-case name; the list owns them.
class TVHDLEntityList {
public:
    TVHDLEntityList() = default;
    TVHDLEntityList(const TVHDLEntityList&) = delete;
    TVHDLEntityList& operator=(const TVHDLEntityList&) = delete;

    TEntity* Add(std::string_view upperName, std::unique_ptr<TEntity> entity)
    {
        return FList.Add(upperName, entity.release());
    }
    int Count() const { return FList.Count(); }
    TEntity* Items(int index) const { return FList.Items(index); }
    TEntity* Find(std::string_view name) const { return FList.Find(name); }

private:
    TOwnedList<TEntity> FList;
};

} // namespace bsdl
