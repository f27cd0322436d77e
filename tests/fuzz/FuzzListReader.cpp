// The list reader, which reads every object in one pass and shares recurring texts, must give
// exactly what the plain record reader gives for each element.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "JsonDocument.h"
#include "uZelvanApi.h"

namespace {

bool Same(const TCertRequestItem& A, const TCertRequestItem& B) {
    return A.ID == B.ID && A.StudentID == B.StudentID && A.StudentName == B.StudentName &&
           A.ClassName == B.ClassName && A.BirthDate == B.BirthDate &&
           A.RequestDate == B.RequestDate && A.Requester == B.Requester && A.Status == B.Status &&
           A.CompletedDate == B.CompletedDate && A.CompletedBy == B.CompletedBy &&
           A.Notes == B.Notes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* AData, std::size_t ASize) {
    const auto doc = TJsonDocument::Parse(std::string(reinterpret_cast<const char*>(AData), ASize));
    if (!doc || !doc->Root().IsArray()) return 0;
    TCertRequestList list;
    JsonGetRequests(doc->Root(), list);
    if (list.size() != doc->Root().Size()) std::abort();
    std::size_t index = 0;
    doc->Root().ForEachChild([&](const TJsonValue& AElement) {
        const TCertRequestItem expected =
            AElement.IsObject() ? JsonGetRequest(AElement) : TCertRequestItem();
        if (!Same(list[index++], expected)) std::abort();
    });
    return 0;
}
