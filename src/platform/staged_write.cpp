#include "platform/staged_write.h"

#include "platform/save_set.h"

void writeReplacing(const std::string& path, const std::function<void(const std::string&)>& write) {
    if (SaveSet* set = SaveSet::current()) {
        set->write(path, write);
        return;
    }
    SaveSet set;
    set.write(path, write);
    set.commit();
}
