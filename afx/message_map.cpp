#include "afx/message_map.h"

const afx::MessageMap* CCmdTarget::GetThisMessageMap()
{
    static constexpr afx::MessageEntry none[] = {afx::MessageEntry{}};
    static constexpr afx::MessageMap map{nullptr, none};
    return &map;
}

bool CCmdTarget::DispatchToMaps(const afx::Message& message, LRESULT& result)
{
    for (const afx::MessageMap* map = GetMessageMap(); map; map = map->base ? map->base() : nullptr) {
        for (const afx::MessageEntry* entry = map->entries; entry->invoke; ++entry) {
            if (entry->Matches(message)) {
                result = entry->invoke(*this, message);
                return true;
            }
        }
    }
    return false;
}
