#include "JsonDocument.h"

#include <algorithm>
#include <limits>
#include <unordered_map>

#include <rapidjson/reader.h>

std::optional<TJsonValue> TJsonValue::Find(std::string_view AKey) const {
    const auto& node = FDoc->Node(FIndex);
    if (node.Kind != TJsonKind::Object) return std::nullopt;
    std::uint32_t child = FIndex + 1;
    for (std::uint32_t i = 0; i < node.ChildCount; ++i) {
        const auto& member = FDoc->Node(child);
        if (FDoc->FKeys[member.KeyId] == AKey) return TJsonValue(FDoc, child);
        child += member.SubtreeSize;
    }
    return std::nullopt;
}

std::optional<std::uint32_t> TJsonValue::NameIdOf(std::string_view AName) const {
    // Id 0 is the empty name of values that are not members; a real empty name has its own id.
    for (std::uint32_t id = 1; id < FDoc->FKeys.size(); ++id)
        if (FDoc->FKeys[id] == AName) return id;
    return std::nullopt;
}

// Receives RapidJSON's SAX events and lays the values out in document order. Parsing in place,
// RapidJSON hands out texts that point into the document's own copy of the reply.
class TJsonBuilder {
public:
    struct TNumber {
        std::size_t Offset;
        std::string Text;
    };

    explicit TJsonBuilder(TJsonDocument& ADoc, const std::vector<TNumber>& ANumbers)
        : FDoc(ADoc), FNumbers(ANumbers) {}

    // One parse in place; AError tells why it failed.
    static std::optional<TJsonDocument> Parse(std::string AUtf8,
                                              const std::vector<TNumber>& ANumbers,
                                              rapidjson::ParseErrorCode& AError);

    bool Null() { return Add(TJsonKind::Null); }
    bool Bool(bool AValue) { return Add(AValue ? TJsonKind::True : TJsonKind::False); }
    // With kParseNumbersAsStringsFlag every number arrives through RawNumber.
    bool Int(int) { return false; }
    bool Uint(unsigned) { return false; }
    bool Int64(std::int64_t) { return false; }
    bool Uint64(std::uint64_t) { return false; }
    bool Double(double) { return false; }
    bool RawNumber(const char* AText, rapidjson::SizeType ALength, bool) {
        // A number blanked out for the parser stands for its text as written, put back later.
        const auto offset = std::size_t(AText - FDoc.FText->data());
        if (FNumberAt < FNumbers.size() && FNumbers[FNumberAt].Offset == offset)
            ALength = rapidjson::SizeType(FNumbers[FNumberAt++].Text.size());
        return Add(TJsonKind::Number, AText, ALength);
    }
    bool String(const char* AText, rapidjson::SizeType ALength, bool) {
        return Add(TJsonKind::String, AText, ALength);
    }
    bool Key(const char* AText, rapidjson::SizeType ALength, bool) {
        FPendingKey = KeyId(std::string_view(AText, ALength));
        return true;
    }
    bool StartObject() { return Open(TJsonKind::Object); }
    bool EndObject(rapidjson::SizeType) { return Close(); }
    bool StartArray() { return Open(TJsonKind::Array); }
    bool EndArray(rapidjson::SizeType) { return Close(); }

private:
    // Objects of one list share their member names in the same order, so the name at the same
    // position of the previous object is tried before the table of all names.
    std::uint32_t KeyId(std::string_view AName) {
        const std::size_t position = FOpen.empty() ? 0 : FDoc.Node(FOpen.back()).ChildCount;
        if (position < FKeyByPosition.size()) {
            const std::uint32_t guess = FKeyByPosition[position];
            if (guess != 0 && FDoc.FKeys[guess] == AName) return guess;
        } else if (position < 64) {
            FKeyByPosition.resize(position + 1, 0);
        }
        auto [it, added] = FKeyIds.try_emplace(std::string(AName), 0);
        if (added) {
            it->second = static_cast<std::uint32_t>(FDoc.FKeys.size());
            FDoc.FKeys.push_back(it->first);
        }
        if (position < FKeyByPosition.size()) FKeyByPosition[position] = it->second;
        return it->second;
    }

    bool Add(TJsonKind AKind, const char* AText = nullptr, std::size_t ALength = 0) {
        if (ALength > std::numeric_limits<std::uint32_t>::max() ||
            FDoc.FNodeCount == std::numeric_limits<std::uint32_t>::max())
            return false;
        if (FDoc.FNodeCount % TJsonDocument::NodesPerBlock == 0)
            FDoc.FNodeBlocks.emplace_back(new TJsonDocument::TNode[TJsonDocument::NodesPerBlock]);
        TJsonDocument::TNode& node = FDoc.Node(FDoc.FNodeCount++);
        node.Kind = AKind;
        node.Text = AText;
        node.TextLength = static_cast<std::uint32_t>(ALength);
        node.KeyId = FPendingKey;
        FPendingKey = 0;
        if (!FOpen.empty()) ++FDoc.Node(FOpen.back()).ChildCount;
        return true;
    }

    bool Open(TJsonKind AKind) {
        if (static_cast<int>(FOpen.size()) >= TJsonDocument::MaxDepth || !Add(AKind)) return false;
        FOpen.push_back(FDoc.FNodeCount - 1);
        return true;
    }

    bool Close() {
        const std::uint32_t index = FOpen.back();
        FOpen.pop_back();
        FDoc.Node(index).SubtreeSize = FDoc.FNodeCount - index;
        return true;
    }

    TJsonDocument& FDoc;
    const std::vector<TNumber>& FNumbers;  // blanked out, in document order
    std::size_t FNumberAt = 0;
    std::vector<std::uint32_t> FOpen;  // indices of the arrays and objects not yet closed
    std::uint32_t FPendingKey = 0;
    std::unordered_map<std::string, std::uint32_t> FKeyIds;
    std::vector<std::uint32_t> FKeyByPosition;
};

namespace {

// Every number outside the strings, replaced by "0" and blanks of the same length; the texts
// are returned in document order.
std::vector<TJsonBuilder::TNumber> BlankOutNumbers(std::string& AText) {
    std::vector<TJsonBuilder::TNumber> numbers;
    const auto isNumberChar = [](char c) {
        return (c >= '0' && c <= '9') || c == '-' || c == '+' || c == '.' || c == 'e' || c == 'E';
    };
    for (std::size_t i = 0; i < AText.size();) {
        const char c = AText[i];
        if (c == '"') {
            for (++i; i < AText.size() && AText[i] != '"'; ++i)
                if (AText[i] == '\\') ++i;
            ++i;
        } else if (c == '-' || (c >= '0' && c <= '9')) {
            std::size_t end = i;
            while (end < AText.size() && isNumberChar(AText[end])) ++end;
            numbers.push_back({i, AText.substr(i, end - i)});
            AText[i] = '0';
            std::fill(AText.begin() + std::ptrdiff_t(i) + 1, AText.begin() + std::ptrdiff_t(end),
                      ' ');
            i = end;
        } else {
            ++i;
        }
    }
    return numbers;
}

}  // namespace

std::optional<TJsonDocument> TJsonDocument::Parse(std::string AUtf8) {
    // RapidJSON refuses a number too large for a double even when it hands numbers over as
    // text, which would void the whole reply for one odd member. Such a reply is parsed again
    // with its numbers blanked out, and their texts put back where the values point.
    std::string spare = AUtf8;
    rapidjson::ParseErrorCode error = rapidjson::kParseErrorNone;
    if (auto doc = TJsonBuilder::Parse(std::move(AUtf8), {}, error)) return doc;
    if (error != rapidjson::kParseErrorNumberTooBig) return std::nullopt;
    const auto numbers = BlankOutNumbers(spare);
    auto doc = TJsonBuilder::Parse(std::move(spare), numbers, error);
    if (doc)
        for (const auto& number : numbers)
            doc->FText->replace(number.Offset, number.Text.size(), number.Text);
    return doc;
}

std::optional<TJsonDocument> TJsonBuilder::Parse(std::string AUtf8,
                                                 const std::vector<TNumber>& ANumbers,
                                                 rapidjson::ParseErrorCode& AError) {
    TJsonDocument doc;
    doc.FText = std::make_unique<std::string>(std::move(AUtf8));
    doc.FKeys.emplace_back();  // id 0: no name, for values that are not members
    TJsonBuilder builder(doc, ANumbers);
    rapidjson::InsituStringStream stream(doc.FText->data());
    rapidjson::Reader reader;
    // The recursive parser calls StartObject and StartArray before it descends, so the depth
    // bound of the builder also bounds the parser's recursion. UTF-8 is not validated again
    // here: replies are strictly decoded before they are parsed.
    constexpr unsigned flags = rapidjson::kParseNumbersAsStringsFlag | rapidjson::kParseInsituFlag;
    AError = reader.Parse<flags>(stream, builder).Code();
    if (AError != rapidjson::kParseErrorNone) return std::nullopt;
    // RapidJSON takes a NUL byte for the end of the text; whatever follows one is garbage.
    if (stream.Tell() != doc.FText->size()) return std::nullopt;
    return doc;
}
