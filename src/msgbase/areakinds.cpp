// Registration of the storage kinds listed in areakinds.inc.
#include "msgbase/messagearea.h"

namespace orbisk {

#define ORBISK_AREA_KIND(registerFn) void registerFn();
#include "msgbase/areakinds.inc"
#undef ORBISK_AREA_KIND

void registerBuiltInAreaKinds() {
#define ORBISK_AREA_KIND(registerFn) registerFn();
#include "msgbase/areakinds.inc"
#undef ORBISK_AREA_KIND
}

}  // namespace orbisk
