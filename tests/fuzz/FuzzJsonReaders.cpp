// The JSON document and the member readers on any bytes: each gives a value or nothing, never a
// crash, a hang or undefined behaviour.
#include <cstddef>
#include <cstdint>
#include <string>

#include "JsonDocument.h"
#include "uZelvanApi.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* AData, std::size_t ASize) {
    const auto doc = TJsonDocument::Parse(std::string(reinterpret_cast<const char*>(AData), ASize));
    if (!doc) return 0;
    const TJsonValue root = doc->Root();
    for (const char* key : {"id", "token", "pending", "success", "error", "max_id", ""}) {
        QString text;
        std::int32_t number = 0;
        bool flag = false;
        JsonGetStr(root, key, text);
        JsonGetInt(root, key, number);
        JsonGetBool(root, key, flag);
    }
    const TCertRequestItem item = JsonGetRequest(root);
    (void)item;
    return 0;
}
