#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// A parsed JSON document that keeps what the server wrote: member order, duplicate members and
// every number's text exactly as written ("12.50" stays 12.50, "1e3" stays 1e3).
//
// The document keeps the text it was parsed from and parses it in place: strings are decoded
// where they stand and numbers are read where they stand, so no value's text is copied. Values
// are laid out in document order in fixed-size blocks, and member names are stored once per
// distinct name. A list reply of many thousands of objects thus costs a few hundred block
// allocations, small enough for the allocator to reuse from one reply to the next, instead of
// several allocations per value. TJsonValue is a cheap view into the document and must not
// outlive it.

enum class TJsonKind : std::uint8_t { Null, False, True, Number, String, Array, Object };

class TJsonDocument;

class TJsonValue {
public:
    TJsonKind Kind() const;
    bool IsObject() const { return Kind() == TJsonKind::Object; }
    bool IsArray() const { return Kind() == TJsonKind::Array; }

    // The string's text, or a number's text as written; empty for any other kind.
    std::string_view Text() const;

    // The number of elements of an array or members of an object; 0 for any other kind.
    std::size_t Size() const;

    // The first member named exactly AKey (letter case counts); nothing when there is none or
    // this value is not an object.
    std::optional<TJsonValue> Find(std::string_view AKey) const;

    // Visits the elements of an array, or the member values of an object, in document order.
    template <typename F>
    void ForEachChild(F&& AVisit) const;

    // Member names are stored once per document, each with a number: NameId is the number of
    // this member's name, and NameIdOf the number of AName in this document (nothing when no
    // member anywhere in the document has that name). Comparing numbers lets a reader of many
    // objects of one shape match members without comparing texts.
    std::uint32_t NameId() const;
    std::optional<std::uint32_t> NameIdOf(std::string_view AName) const;

private:
    friend class TJsonDocument;
    TJsonValue(const TJsonDocument* ADoc, std::uint32_t AIndex) : FDoc(ADoc), FIndex(AIndex) {}

    const TJsonDocument* FDoc;
    std::uint32_t FIndex;
};

class TJsonDocument {
public:
    // The deepest nesting of arrays and objects that is accepted; deeper text parses to nothing.
    static constexpr int MaxDepth = 256;

    // Exactly one JSON value, white space around it allowed; anything else gives nothing.
    // Never throws for bad input. The text is expected to be UTF-8; it is not validated again.
    static std::optional<TJsonDocument> Parse(std::string AUtf8);

    TJsonValue Root() const { return TJsonValue(this, 0); }

private:
    friend class TJsonValue;
    friend class TJsonBuilder;

    struct TNode {
        const char* Text = nullptr;  // string or number text, in FText
        std::uint32_t TextLength = 0;
        std::uint32_t KeyId = 0;  // index into FKeys, for a member of an object
        std::uint32_t ChildCount = 0;
        std::uint32_t SubtreeSize = 1;  // this node and all its descendants
        TJsonKind Kind = TJsonKind::Null;
    };

    static constexpr std::uint32_t NodesPerBlock = 2048;

    TNode& Node(std::uint32_t AIndex) {
        return FNodeBlocks[AIndex / NodesPerBlock][AIndex % NodesPerBlock];
    }
    const TNode& Node(std::uint32_t AIndex) const {
        return FNodeBlocks[AIndex / NodesPerBlock][AIndex % NodesPerBlock];
    }

    std::vector<std::unique_ptr<TNode[]>> FNodeBlocks;
    std::uint32_t FNodeCount = 0;
    // On the heap, so that the texts the values point into stay put when the document moves.
    std::unique_ptr<std::string> FText;
    std::vector<std::string> FKeys;
};

inline TJsonKind TJsonValue::Kind() const {
    return FDoc->Node(FIndex).Kind;
}

inline std::string_view TJsonValue::Text() const {
    const auto& node = FDoc->Node(FIndex);
    return {node.Text, node.TextLength};
}

inline std::size_t TJsonValue::Size() const {
    return FDoc->Node(FIndex).ChildCount;
}

inline std::uint32_t TJsonValue::NameId() const {
    return FDoc->Node(FIndex).KeyId;
}

template <typename F>
void TJsonValue::ForEachChild(F&& AVisit) const {
    const auto& node = FDoc->Node(FIndex);
    if (node.Kind != TJsonKind::Array && node.Kind != TJsonKind::Object) return;
    std::uint32_t child = FIndex + 1;
    for (std::uint32_t i = 0; i < node.ChildCount; ++i) {
        AVisit(TJsonValue(FDoc, child));
        child += FDoc->Node(child).SubtreeSize;
    }
}
